#include "package/package_writer.h"

#include <cstring>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "package/byte_access.h"
#include "package/item_check.h"
#include "package/package_properties.h"

namespace zelt {

bool zelpkg_memory_output::truncate() {
    bytes_.clear();
    pos_ = 0;
    return true;
}

bool zelpkg_memory_output::write(const void* data, size_t size) {
    if (pos_ + size > bytes_.size()) bytes_.resize(pos_ + size);
    if (size > 0) std::memcpy(bytes_.data() + pos_, data, size);
    pos_ += size;
    return true;
}

bool zelpkg_memory_output::skip(size_t size) {
    pos_ += size;
    if (pos_ > bytes_.size()) bytes_.resize(pos_);
    return true;
}

namespace {

using zelt::is_patch_forbidden_type;
using zelt::is_signed_firmware_type;
using zelt::is_trailer_type;

// Writes to the output and keeps the CRC-32 of everything written so far.
class CrcWriter {
public:
    explicit CrcWriter(zelpkg_output& out) : out_(out) {}

    int32_t write(const void* data, size_t size) {
        if (size == 0) return HVXRETVAL_SUCCESS;
        if (!out_.write(data, size)) return HVXRETVAL_FILE_WRITE_FAILURE;
        crc_ = crc32i(crc_, data, size) ^ 0xFFFFFFFFu;
        return HVXRETVAL_SUCCESS;
    }

    int32_t skip(size_t size) {
        if (!out_.skip(size)) return HVXRETVAL_FILE_SEEK_FAILURE;
        static const uint8_t zeros[256] = {};
        for (size_t left = size; left > 0;) {
            const size_t n = left < sizeof(zeros) ? left : sizeof(zeros);
            crc_ = crc32i(crc_, zeros, n) ^ 0xFFFFFFFFu;
            left -= n;
        }
        return HVXRETVAL_SUCCESS;
    }

    int32_t zeros(size_t size) {
        static const uint8_t pad[4] = {};
        return write(pad, size);
    }

    uint32_t crc() const { return crc_ ^ 0xFFFFFFFFu; }

private:
    zelpkg_output& out_;
    uint32_t crc_ = ZELT_CRC32_INIT;
};

int32_t check_stream_prerequisite(const void* stream, uint32_t stream_length) {
    if (stream == nullptr || stream_length == 0) return HVXRETVAL_SUCCESS;
    const uint8_t* version = nullptr;
    const uint8_t* required = nullptr;
    const int32_t vlen = zelpkgGetPropertyPtr(stream, stream_length, ZELPKG_PROP_PKG_VERSION, &version);
    const int32_t rlen = zelpkgGetPropertyPtr(stream, stream_length, ZELPKG_PROP_REQUIRED_PKG, &required);
    if (vlen < 0 || rlen < 0) return HVXRETVAL_SUCCESS;
    if (vlen != rlen || std::memcmp(required, version, static_cast<size_t>(vlen)) >= 0)
        return HVXRETVAL_INVALID_PREREQUISITE;
    return HVXRETVAL_SUCCESS;
}

// Checks one record's data before it is written and sets its Trailer attribute.
int32_t check_item(zelpkg_manifest_item_t& item, const void* data, bool verify) {
    zelnvm_directory_entry_t& e = item.direntry;
    const unsigned type = e.type;
    if (item.metadata.directive == ZELPKG_ITEM_REMOVE_IF_PRESENT || type == 0 || (type >= 61 && type <= 63))
        return HVXRETVAL_SUCCESS;
    if (is_patch_forbidden_type(type)) {
        if (item.metadata.directive == ZELPKG_ITEM_PATCH_IF_PRESENT) return HVXRETVAL_INVALID_DIRECTIVE;
        if (verify && is_signed_firmware_type(type)) {
            const int32_t rc = zelt::pkg::verify_signed_firmware(data, data != nullptr ? e.data_length : 0);
            if (rc != HVXRETVAL_SUCCESS) return rc;
        }
    }
    const size_t len = data != nullptr ? e.data_length : 0;
    if (zelt::pkg::has_component_trailer(data, len)) {
        if (verify) {
            const int32_t rc = zelt::pkg::verify_component_trailer(data, len);
            if (rc != HVXRETVAL_SUCCESS) return rc;
        }
        e.attr |= ZEL_DIR_ATTR_TRAILER;
        return HVXRETVAL_SUCCESS;
    }
    if (verify && is_trailer_type(type)) return HVXRETVAL_INVALID_TRAILER;
    if (e.attr & ZEL_DIR_ATTR_TRAILER) return HVXRETVAL_TRAILER_NOT_FOUND;
    return HVXRETVAL_SUCCESS;
}

uint64_t padded(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

}  // namespace

int32_t zelpkgCreate(zelpkg_output& out, uint32_t stream_length, const void* stream, uint32_t count,
                     zelpkg_manifest_item_t* items, const void* const* data, int32_t* problem_index, bool verify) {
    int32_t scratch;
    int32_t& problem = problem_index != nullptr ? *problem_index : scratch;
    problem = -1;
    if (count > 0 && items == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;

    int32_t rc = check_stream_prerequisite(stream, stream_length);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    if (static_cast<uint64_t>(stream_length) + sizeof(zelpkg_file_header_t) > UINT32_MAX)
        return HVXRETVAL_INVALID_LENGTH_PARAMETER;

    if (!out.truncate()) return HVXRETVAL_FILE_TRUNCATE_FAILURE;
    uint32_t records = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (items[i].direntry.type != 0) ++records;

    CrcWriter w(out);
    uint8_t header[sizeof(zelpkg_file_header_t)];
    zelt::pkg::store_u32(header, ZELPKG_FILE_SIG);
    zelt::pkg::store_u32(header + 4, ZELPKG_TRAILER_LENGTH);
    zelt::pkg::store_u32(header + 8, static_cast<uint32_t>(sizeof(header) + stream_length));
    if ((rc = w.write(header, sizeof(header))) != HVXRETVAL_SUCCESS) return rc;
    rc = stream != nullptr ? w.write(stream, stream_length) : w.skip(stream_length);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    uint8_t manifest[sizeof(zelpkg_manifest_header)];
    zelt::pkg::store_u32(manifest, ZELPKG_MANIFEST_SIG);
    zelt::pkg::store_u32(manifest + 4, ZELPKG_MANIFEST_LENGTH);
    zelt::pkg::store_u32(manifest + 8, records);
    zelt::pkg::store_u32(manifest + 12, ZELPKG_METADATA_LENGTH);
    zelt::pkg::store_u32(manifest + 16, ZELPKG_DIRENTRY_LENGTH);
    if ((rc = w.write(manifest, sizeof(manifest))) != HVXRETVAL_SUCCESS) return rc;

    uint64_t data_pos = out.position() + static_cast<uint64_t>(records) * sizeof(zelpkg_manifest_item_t);

    for (uint32_t i = 0; i < count; ++i) {
        problem = static_cast<int32_t>(i);
        rc = check_item(items[i], data != nullptr ? data[i] : nullptr, verify);
        if (rc != HVXRETVAL_SUCCESS) return rc;
    }

    for (uint32_t i = 0; i < count; ++i) {
        problem = static_cast<int32_t>(i);
        zelpkg_manifest_item_t& item = items[i];
        zelnvm_directory_entry_t& e = item.direntry;
        if (e.type == 0) continue;
        if (item.metadata.directive != ZELPKG_ITEM_REMOVE_IF_PRESENT && e.item_length == 0)
            return HVXRETVAL_ZERO_LENGTH_ITEM;
        if (e.item_length < e.data_length) return HVXRETVAL_INVALID_DATA_LENGTH;
        if (e.data_length > 0) {
            const void* d = data != nullptr ? data[i] : nullptr;
            if (d == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
            if (data_pos > UINT32_MAX) return HVXRETVAL_INVALID_DATA_LENGTH;
            e.item_location = static_cast<uint32_t>(data_pos);
            e.data_chksum = file_crc32(d, e.data_length);
            data_pos += padded(e.data_length);
        } else {
            e.item_location = 0;
        }
        if ((rc = w.write(&item, sizeof(item))) != HVXRETVAL_SUCCESS) return rc;
    }

    for (uint32_t i = 0; i < count; ++i) {
        problem = static_cast<int32_t>(i);
        const zelnvm_directory_entry_t& e = items[i].direntry;
        if (e.type == 0 || e.data_length == 0) continue;
        if ((rc = w.write(data[i], e.data_length)) != HVXRETVAL_SUCCESS) return rc;
        if ((rc = w.zeros(padded(e.data_length) - e.data_length)) != HVXRETVAL_SUCCESS) return rc;
    }

    problem = -1;
    if (out.position() != data_pos) return HVXRETVAL_FILE_WRITE_FAILURE;
    uint8_t trailer[sizeof(zelpkg_file_trailer_t)];
    zelt::pkg::store_u32(trailer, w.crc());
    if (!out.write(trailer, sizeof(trailer))) return HVXRETVAL_FILE_WRITE_FAILURE;
    return HVXRETVAL_SUCCESS;
}

}  // namespace zelt
