#include "package/package_reader.h"

#include <algorithm>
#include <cstring>

#include "common/hvxretval.h"
#include "package/byte_access.h"
#include "package/item_check.h"

namespace zelt {

using zelt::pkg::bytes;
using zelt::pkg::load_u32;

namespace {

// Header fields of a package whose header is valid.
struct Layout {
    zelpkg_file_header_t header{};
    uint64_t end = 0;  // start of the trailer
};

int32_t check_header(const void* pkg, size_t length, Layout& out) {
    if (pkg == nullptr || length < sizeof(zelpkg_file_header_t)) return HVXRETVAL_INVALID_LENGTH;
    const uint8_t* p = bytes(pkg);
    zelpkg_file_header_t h;
    h.sig = load_u32(p);
    h.trailer_length = load_u32(p + 4);
    h.manifest_offset = load_u32(p + 8);
    if (h.sig != ZELPKG_FILE_SIG) return HVXRETVAL_INVALID_SIGNATURE;
    if (h.manifest_offset < sizeof(zelpkg_file_header_t) || h.manifest_offset > length ||
        h.trailer_length > length - h.manifest_offset)
        return HVXRETVAL_INVALID_FILE_HEADER;
    out.header = h;
    out.end = length - h.trailer_length;
    return HVXRETVAL_SUCCESS;
}

struct ManifestLayout : Layout {
    zelpkg_manifest_header manifest{};
};

int32_t check_manifest(const void* pkg, size_t length, ManifestLayout& out) {
    int32_t rc = check_header(pkg, length, out);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    const uint64_t start = out.header.manifest_offset;
    if (out.end < start || out.end - start < sizeof(zelpkg_manifest_header)) return HVXRETVAL_INVALID_MANIFEST;
    const uint8_t* m = bytes(pkg) + start;
    zelpkg_manifest_header mh;
    mh.sig = load_u32(m);
    mh.length = load_u32(m + 4);
    mh.items = load_u32(m + 8);
    mh.item_metadata_length = load_u32(m + 12);
    mh.item_direntry_length = load_u32(m + 16);
    if (mh.sig != ZELPKG_MANIFEST_SIG) return HVXRETVAL_INVALID_SIGNATURE;
    if (mh.length > out.end - start) return HVXRETVAL_INVALID_MANIFEST;
    out.manifest = mh;
    return HVXRETVAL_SUCCESS;
}

// Copies record `index` whose bounds were checked by the caller.
void copy_record(const uint8_t* p, uint64_t offset, const zelpkg_manifest_header& mh, zelpkg_manifest_item_t* item) {
    std::memset(item, 0, sizeof(*item));
    const size_t meta = std::min<size_t>(sizeof(item->metadata), mh.item_metadata_length);
    const size_t dir = std::min<size_t>(sizeof(item->direntry), mh.item_direntry_length);
    std::memcpy(&item->metadata, p + offset, meta);
    std::memcpy(&item->direntry, p + offset + mh.item_metadata_length, dir);
}

}  // namespace

int32_t zelpkgGetHeader(const void* pkg, size_t length, zelpkg_file_header_t* header) {
    Layout l;
    int32_t rc = check_header(pkg, length, l);
    if (rc == HVXRETVAL_SUCCESS && header != nullptr) *header = l.header;
    return rc;
}

int32_t zelpkgGetChecksum(const void* pkg, size_t length, uint32_t* chksum) {
    if (chksum == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    Layout l;
    int32_t rc = check_header(pkg, length, l);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    if (l.header.trailer_length < sizeof(zelpkg_file_trailer_t)) return HVXRETVAL_INVALID_TRAILER;
    *chksum = load_u32(bytes(pkg) + length - 4);
    return HVXRETVAL_SUCCESS;
}

int32_t zelpkgGetPropertyStreamLength(const void* pkg, size_t length, uint32_t* stream_length) {
    Layout l;
    int32_t rc = check_header(pkg, length, l);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    if (stream_length != nullptr) *stream_length = l.header.manifest_offset - sizeof(zelpkg_file_header_t);
    return HVXRETVAL_SUCCESS;
}

int32_t zelpkgGetPropertyStream(const void* pkg, size_t length, size_t capacity, void* stream) {
    Layout l;
    int32_t rc = check_header(pkg, length, l);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    const size_t n = l.header.manifest_offset - sizeof(zelpkg_file_header_t);
    if (capacity < n) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (n > 0) {
        if (stream == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
        std::memcpy(stream, bytes(pkg) + sizeof(zelpkg_file_header_t), n);
    }
    return HVXRETVAL_SUCCESS;
}

int32_t zelpkgGetManifestHeader(const void* pkg, size_t length, zelpkg_manifest_header* manifest) {
    ManifestLayout l;
    int32_t rc = check_manifest(pkg, length, l);
    if (rc == HVXRETVAL_SUCCESS && manifest != nullptr) *manifest = l.manifest;
    return rc;
}

int32_t zelpkgGetItemCount(const void* pkg, size_t length, uint32_t* count) {
    ManifestLayout l;
    int32_t rc = check_manifest(pkg, length, l);
    if (rc == HVXRETVAL_SUCCESS && count != nullptr) *count = l.manifest.items;
    return rc;
}

int32_t zelpkgGetItemsAt(const void* pkg, size_t length, uint32_t first, uint32_t max_count,
                         zelpkg_manifest_item_t* items) {
    ManifestLayout l;
    int32_t rc = check_manifest(pkg, length, l);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    const zelpkg_manifest_header& mh = l.manifest;
    if (mh.item_direntry_length > length || mh.item_metadata_length > length) return HVXRETVAL_INVALID_MANIFEST;
    if (max_count == 0 || first >= mh.items) return 0;
    if (items == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    const uint64_t stride = static_cast<uint64_t>(mh.item_metadata_length) + mh.item_direntry_length;
    const uint64_t records = static_cast<uint64_t>(l.header.manifest_offset) + mh.length;
    int32_t copied = 0;
    for (uint64_t i = first; i < mh.items && static_cast<uint32_t>(copied) < max_count; ++i) {
        const uint64_t offset = records + i * stride;
        if (offset + stride > l.end) return HVXRETVAL_INVALID_MANIFEST;
        copy_record(bytes(pkg), offset, mh, &items[copied]);
        ++copied;
    }
    return copied;
}

int32_t zelpkgGetItems(const void* pkg, size_t length, uint32_t max_count, zelpkg_manifest_item_t* items) {
    return zelpkgGetItemsAt(pkg, length, 0, max_count, items);
}

int32_t zelpkgGetItem(const void* pkg, size_t length, uint32_t index, zelpkg_manifest_item_t* item) {
    return zelpkgGetItemsAt(pkg, length, index, 1, item);
}

int32_t zelpkgFindItemIndex(const void* pkg, size_t length, uint16_t type, uint16_t ordinal, uint16_t ext,
                            zelpkg_manifest_item_t* item, uint32_t* index) {
    ManifestLayout l;
    int32_t rc = check_manifest(pkg, length, l);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    if (l.manifest.items == 0) return HVXRETVAL_ITEM_NOT_FOUND;
    zelpkg_manifest_item_t record;
    // Records of zero length are all alike: the first answers for every one of them, so
    // a manifest claiming billions of them is not walked record by record.
    const bool empty_records = l.manifest.item_metadata_length == 0 && l.manifest.item_direntry_length == 0;
    for (uint32_t i = 0;; ++i) {
        if (empty_records && i > 0) return 1;
        rc = zelpkgGetItem(pkg, length, i, &record);
        if (rc < 0) return rc;
        if (rc == 0) return 1;
        if (record.direntry.type == type && record.direntry.ordinal == ordinal && record.direntry.ext == ext) {
            if (item != nullptr) *item = record;
            if (index != nullptr) *index = i;
            return 0;
        }
    }
}

int32_t zelpkgFindItem(const void* pkg, size_t length, uint16_t type, uint16_t ordinal, uint16_t ext,
                       zelpkg_manifest_item_t* item) {
    return zelpkgFindItemIndex(pkg, length, type, ordinal, ext, item, nullptr);
}

bool zelpkgItemDataInBounds(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry) {
    Layout l;
    if (check_header(pkg, length, l) != HVXRETVAL_SUCCESS) return false;
    return entry.item_location <= l.end && l.end - entry.item_location >= entry.data_length;
}

int32_t zelpkgReadItem(const void* pkg, size_t length, uint16_t type, uint16_t ordinal, uint16_t ext, void* data,
                       size_t capacity, bool verify) {
    zelpkg_manifest_item_t item;
    int32_t rc = zelpkgFindItem(pkg, length, type, ordinal, ext, &item);
    if (rc != 0) return rc;
    const zelnvm_directory_entry_t& e = item.direntry;
    if (data != nullptr && capacity < e.data_length) return HVXRETVAL_INSUFFICIENT_SPACE;
    if (!zelpkgItemDataInBounds(pkg, length, e)) return HVXRETVAL_INVALID_MANIFEST;
    if (verify) {
        rc = zelt::pkg::verify_item_in_package(pkg, length, e);
        if (rc != HVXRETVAL_SUCCESS) return rc;
    }
    if (data != nullptr && e.data_length > 0) std::memcpy(data, bytes(pkg) + e.item_location, e.data_length);
    return static_cast<int32_t>(e.data_length);
}

}  // namespace zelt
