#include "package/package_checks.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <unordered_map>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "formats/crypto/crc32.h"
#include "formats/crypto/range_digests.h"
#include "package/byte_access.h"
#include "package/item_check.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "package/package_records.h"

namespace zelt {

using zelt::pkg::bytes;
using zelt::pkg::load_u16;
using zelt::pkg::load_u32;

namespace {

struct PropertyRef {
    const uint8_t* value = nullptr;
    uint16_t length = 0;
};

// Walks the property stream the way the verification reads it: every property header
// and value must lie before `end`, and the walk must not end past the manifest.
int32_t walk_properties(const uint8_t* p, uint64_t manifest_offset, uint64_t end, PropertyRef& version,
                        PropertyRef& required, VerifyWork& work) {
    uint64_t pos = sizeof(zelpkg_file_header_t);
    while (pos < manifest_offset) {
        ++work.steps;
        if (pos + sizeof(zelpkg_property_t) > end) return HVXRETVAL_INVALID_PROP_STREAM;
        const uint8_t id = p[pos];
        const uint16_t len = load_u16(p + pos + 1);
        pos += sizeof(zelpkg_property_t);
        if (id == ZELPKG_PROP_END) break;
        if (id == ZELPKG_PROP_PKG_VERSION && version.value == nullptr) version = {p + pos, len};
        if (id == ZELPKG_PROP_REQUIRED_PKG && required.value == nullptr) required = {p + pos, len};
        pos += len;
        if (pos > end) return HVXRETVAL_INVALID_PROP_STREAM;
    }
    if (pos > manifest_offset) return HVXRETVAL_INVALID_PROP_STREAM;
    return HVXRETVAL_SUCCESS;
}

// The package's required version must be of the same length as its own version and
// compare strictly below it.
int32_t check_prerequisite(const PropertyRef& version, const PropertyRef& required) {
    if (version.value == nullptr || required.value == nullptr) return HVXRETVAL_SUCCESS;
    if (version.length != required.length) return HVXRETVAL_INVALID_PREREQUISITE;
    if (std::memcmp(required.value, version.value, version.length) >= 0) return HVXRETVAL_INVALID_PREREQUISITE;
    return HVXRETVAL_SUCCESS;
}

uint64_t item_key(const zelnvm_directory_entry_t& e) {
    return (static_cast<uint64_t>(e.type) << 32) | (static_cast<uint64_t>(e.ordinal) << 16) | e.ext;
}

bool same_entry(const zelnvm_directory_entry_t& a, const zelnvm_directory_entry_t& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

void read_record(const uint8_t* p, uint64_t offset, uint32_t meta_len, uint32_t dir_len, zelpkg_manifest_item_t& r) {
    std::memset(&r, 0, sizeof(r));
    std::memcpy(&r.metadata, p + offset, std::min<size_t>(sizeof(r.metadata), meta_len));
    std::memcpy(&r.direntry, p + offset + meta_len, std::min<size_t>(sizeof(r.direntry), dir_len));
}

// Data ranges of the records checked so far, by start. None shares a byte with
// another, so the item checks over them read each byte of the package at most once.
class DataRanges {
public:
    // Adds [start, start + length) (length > 0); false, and nothing added, when it
    // shares a byte with a range already held. Only the neighbours by start can.
    bool add(uint64_t start, uint64_t length) {
        const uint64_t stop = start + length;
        const auto next = ranges_.lower_bound(start);
        if (next != ranges_.end() && next->first < stop) return false;
        if (next != ranges_.begin() && std::prev(next)->second > start) return false;
        ranges_.emplace_hint(next, start, stop);
        return true;
    }

private:
    std::map<uint64_t, uint64_t> ranges_;  // start -> end
};

}  // namespace

int32_t zelpkgVerify(const void* pkg, size_t length, int32_t* item_index, VerifyWork* work_out) {
    int32_t scratch_index;
    int32_t& index = item_index != nullptr ? *item_index : scratch_index;
    index = -1;
    VerifyWork scratch_work;
    VerifyWork& work = work_out != nullptr ? *work_out : scratch_work;

    const uint8_t* p = bytes(pkg);
    if (p == nullptr || length < sizeof(zelpkg_file_header_t)) return HVXRETVAL_INVALID_FILE_HEADER;
    const uint32_t trailer_length = load_u32(p + 4);
    const uint32_t manifest_offset = load_u32(p + 8);
    if (load_u32(p) != ZELPKG_FILE_SIG || manifest_offset < sizeof(zelpkg_file_header_t) ||
        manifest_offset > length || trailer_length > length - manifest_offset)
        return HVXRETVAL_INVALID_FILE_HEADER;
    const uint64_t end = length - trailer_length;

    PropertyRef version, required;
    int32_t rc = walk_properties(p, manifest_offset, end, version, required, work);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    rc = check_prerequisite(version, required);
    if (rc != HVXRETVAL_SUCCESS) return rc;

    if (end - manifest_offset < sizeof(zelpkg_manifest_header)) return HVXRETVAL_INVALID_MANIFEST;
    const uint8_t* m = p + manifest_offset;
    const uint32_t manifest_length = load_u32(m + 4);
    const uint32_t items = load_u32(m + 8);
    const uint32_t meta_len = load_u32(m + 12);
    const uint32_t dir_len = load_u32(m + 16);
    if (load_u32(m) != ZELPKG_MANIFEST_SIG || manifest_length > end - manifest_offset || dir_len > length ||
        meta_len > length)
        return HVXRETVAL_INVALID_MANIFEST;
    index = 0;

    const uint64_t stride = static_cast<uint64_t>(meta_len) + dir_len;
    const uint64_t records = static_cast<uint64_t>(manifest_offset) + manifest_length;
    // Item data starts after the manifest header and the records that lie before the
    // trailer (a record that does not is refused when the walk reaches it).
    const uint64_t fitting = stride == 0 ? items : std::min<uint64_t>(items, (end - records) / stride);
    const uint64_t data_floor =
        std::max<uint64_t>(records + fitting * stride, uint64_t{manifest_offset} + sizeof(zelpkg_manifest_header));

    // First record of each (type, ordinal, ext), for the duplicate rule.
    std::unordered_map<uint64_t, zelpkg_manifest_item_t> first_of;
    DataRanges ranges;
    zelpkg_manifest_item_t r;
    // The records are walked first, and the data of the sound ones before the first
    // unsound record is verified after: every checksum and signed digest is computed
    // in one pass over the package, and the failures are still reported in record order.
    struct ToVerify {
        uint32_t index;
        zelnvm_directory_entry_t entry;
    };
    std::vector<ToVerify> to_verify;
    int32_t record_rc = HVXRETVAL_SUCCESS;
    uint32_t record_index = 0;
    for (uint32_t i = 0; i < items && record_rc == HVXRETVAL_SUCCESS; ++i) {
        record_index = i;
        record_rc = [&]() -> int32_t {
            ++work.steps;
            if (i == ZELPKG_MAX_ITEMS) return HVXRETVAL_INVALID_MANIFEST;
            const uint64_t offset = records + i * stride;
            if (offset + stride > end) return HVXRETVAL_INVALID_MANIFEST;
            read_record(p, offset, meta_len, dir_len, r);
            const zelnvm_directory_entry_t& e = r.direntry;
            const uint8_t directive = r.metadata.directive;
            if (directive == ZELPKG_ITEM_PATCH_IF_PRESENT && zelt::is_patch_forbidden_type(e.type))
                return HVXRETVAL_INVALID_DIRECTIVE;
            if (directive != ZELPKG_ITEM_REMOVE_IF_PRESENT && e.item_length == 0) return HVXRETVAL_ZERO_LENGTH_ITEM;
            if (e.item_length < e.data_length) return HVXRETVAL_INVALID_DATA_LENGTH;
            if (e.data_length != 0) {
                if (e.item_location > end || end - e.item_location < e.data_length) return HVXRETVAL_INVALID_MANIFEST;
                if (e.item_location < data_floor) return HVXRETVAL_INVALID_DATA_OFFSET;
                if (!ranges.add(e.item_location, e.data_length)) return HVXRETVAL_OVERLAPPING_ITEM;
                if (directive != ZELPKG_ITEM_PATCH_IF_PRESENT) {
                    work.steps += e.data_length;
                    to_verify.push_back({i, e});
                }
            }
            auto [first, inserted] = first_of.try_emplace(item_key(e), r);
            if (!inserted && !same_entry(first->second.direntry, e) && first->second.metadata.directive == directive)
                return HVXRETVAL_DUPLICATE_ITEM;
            return HVXRETVAL_SUCCESS;
        }();
    }

    // One pass: each item's digests, and the package checksum when every record was
    // sound and the package has a trailer.
    const bool whole_file_crc = record_rc == HVXRETVAL_SUCCESS && trailer_length >= sizeof(zelpkg_file_trailer_t);
    std::vector<crypto::RangeDigest> digests;
    digests.reserve(to_verify.size() + 1);
    for (const ToVerify& v : to_verify) digests.push_back(zelt::pkg::item_digests_wanted(v.entry));
    if (whole_file_crc) {
        crypto::RangeDigest file;
        file.end = end;
        file.crc_mark = end;
        digests.push_back(file);
        work.steps += end;
    }
    const bool digested = crypto::compute_range_digests({p, length}, digests);
    for (size_t k = 0; k < to_verify.size(); ++k) {
        index = static_cast<int32_t>(to_verify[k].index);
        rc = digested ? zelt::pkg::verify_item_in_package(pkg, length, to_verify[k].entry, digests[k])
                      : zelt::pkg::verify_item_in_package(pkg, length, to_verify[k].entry);
        if (rc != HVXRETVAL_SUCCESS) return rc;
    }
    if (record_rc != HVXRETVAL_SUCCESS) {
        index = static_cast<int32_t>(record_index);
        return record_rc;
    }

    index = -1;
    if (!whole_file_crc) return HVXRETVAL_SUCCESS;
    const uint32_t crc = digested ? digests.back().crc : file_crc32(p, end);
    if (crc != load_u32(p + length - 4)) return HVXRETVAL_INVALID_CHECKSUM;
    return HVXRETVAL_SUCCESS;
}

namespace {

// A property value of up to `capacity` bytes (little-endian), or `fallback` when the
// property is absent or does not lie within the stream.
uint32_t small_property(const void* pkg, size_t length, uint8_t id, size_t capacity, uint32_t fallback) {
    uint8_t v[4] = {};
    if (zelpkgGetProperty(pkg, length, id, v, capacity) < 0) return fallback;
    return load_u32(v);
}

}  // namespace

int32_t zelpkgDeviceMatch(const void* pkg, size_t length, const zelt_pci_id_t& id, int chip_rev) {
    if (zelpkgGetHeader(pkg, length, nullptr) != HVXRETVAL_SUCCESS) return HVXRETVAL_SUCCESS;

    const uint8_t* ids = nullptr;
    const int32_t ids_len = zelpkgGetPropertyPtr(pkg, length, ZELPKG_PROP_DEVICE_IDS, &ids);
    if (ids_len >= 2) {
        bool found = false;
        for (int32_t i = 0; i + 1 < ids_len && !found; i += 2) found = load_u16(ids + i) == id.device;
        if (!found) return HVXRETVAL_UNSUPPORTED_DEVICE_ID;
    }

    const uint32_t min_rev = small_property(pkg, length, ZELPKG_PROP_MIN_CHIP_REV, 1, 0);
    const uint32_t max_rev = small_property(pkg, length, ZELPKG_PROP_MAX_CHIP_REV, 1, 255);
    if (chip_rev != -1 && (chip_rev < static_cast<int>(min_rev) || chip_rev > static_cast<int>(max_rev)))
        return HVXRETVAL_UNSUPPORTED_CHIP_REV;

    const uint32_t subsys_vendor = small_property(pkg, length, ZELPKG_PROP_SUBSYS_VENDOR, 2, 0xFFFF);
    if (subsys_vendor != 0xFFFF && id.subsys_vendor != 0xFFFF && subsys_vendor != id.subsys_vendor)
        return HVXRETVAL_UNSUPPORTED_SUBSYS_VENDOR;
    const uint32_t subsys = small_property(pkg, length, ZELPKG_PROP_SUBSYS_ID, 2, 0xFFFF);
    if (subsys != 0xFFFF && id.subsys != 0xFFFF && subsys != id.subsys) return HVXRETVAL_UNSUPPORTED_SUBSYS_ID;
    return HVXRETVAL_SUCCESS;
}

bool zelpkgPrerequisitesMet(const void* pkg, size_t length, const char* installed_version, char* required,
                            size_t capacity) {
    if (zelpkgGetHeader(pkg, length, nullptr) != HVXRETVAL_SUCCESS) return true;
    const uint8_t* value = nullptr;
    const int32_t len = zelpkgGetPropertyPtr(pkg, length, ZELPKG_PROP_REQUIRED_PKG, &value);
    if (len <= 0) return true;
    if (required != nullptr && capacity > 0) {
        std::memset(required, 0, capacity);
        std::memcpy(required, value, std::min<size_t>(capacity - 1, static_cast<size_t>(len)));
    }
    // The required text may hold NULs or lack one; compare as bounded strings.
    const char* installed = installed_version != nullptr ? installed_version : "";
    const char* req = reinterpret_cast<const char*>(value);
    for (int32_t i = 0; i < len; ++i) {
        const unsigned char a = static_cast<unsigned char>(installed[i]);
        const unsigned char b = static_cast<unsigned char>(req[i]);
        if (a != b) return a > b;
        if (a == 0) break;
    }
    return true;
}

bool zelpkgRequireOnboardConfig(const void* pkg, size_t length) {
    return zelpkgGetPropertyPtr(pkg, length, ZELPKG_PROP_REQUIRE_ONBOARD_CFG, nullptr) > 0;
}

bool zelpkgLivePatchPkg(const void* pkg, size_t length) {
    return zelpkgGetPropertyPtr(pkg, length, ZELPKG_PROP_LIVEPATCH_PKG, nullptr) > 0;
}

ConfigPackageResult zelpkgClassifyConfigPackage(const void* pkg, size_t length, int device_type, bool recovery,
                                                bool force) {
    constexpr uint32_t kMaxItems = 100;
    ConfigPackageResult result;
    zelpkg_manifest_item_t items[kMaxItems];
    const int32_t n = zelpkgGetItems(pkg, length, kMaxItems, items);
    if (n < 0) return result;
    uint32_t count = 0;
    if (zelpkgGetItemCount(pkg, length, &count) != HVXRETVAL_SUCCESS) return result;
    result.item_count = count;
    auto has = [&](unsigned type) {
        return std::any_of(items, items + n, [type](const zelpkg_manifest_item_t& it) { return it.direntry.type == type; });
    };
    if (device_type < ZELT_DEVICE_TYPE_KESTRA) {
        const bool cfg_items = has(ZEL_DIR_TYPE_SHARED_CFG) && has(ZEL_DIR_TYPE_PORT_CFG) && has(ZEL_DIR_TYPE_FUNC_CFG);
        result.is_config = cfg_items && (recovery || !has(ZEL_DIR_TYPE_CHIMP_PATCH));
        return result;
    }
    if (count == 1 && n >= 1 && items[0].direntry.type == ZEL_DIR_TYPE_SYSTEM_CFG) {
        result.is_config = true;
        result.system_cfg_backup = true;
    } else if (count == 1 && n >= 1 && items[0].direntry.type == ZEL_DIR_TYPE_FACTORY_CFG) {
        result.is_config = true;
    } else if (count >= 1 && count <= 3 && n >= 1 && items[0].direntry.type == ZEL_DIR_TYPE_ONBOARD_CFG) {
        result.is_config = true;
    } else if (recovery && force && count > 1) {
        result.is_config = has(ZEL_DIR_TYPE_FACTORY_CFG);
    }
    return result;
}

}  // namespace zelt
