#include "package/pldm_wrapper.h"

#include <algorithm>
#include <cstring>

#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "package/byte_access.h"
#include "package/package_reader.h"

namespace zelt {

using zelt::pkg::bytes;
using zelt::pkg::load_u16;
using zelt::pkg::load_u32;

int32_t zelpkgPldmPackageOffset(const void* file, size_t length, size_t* offset) {
    *offset = 0;
    const uint8_t* p = bytes(file);
    if (p == nullptr || length <= 35) return HVXRETVAL_SUCCESS;
    if (std::memcmp(p, ZELPKG_PLDM_IDENTIFIER, sizeof(ZELPKG_PLDM_IDENTIFIER)) != 0 ||
        p[16] != ZELPKG_PLDM_FORMAT_REVISION)
        return HVXRETVAL_SUCCESS;
    const size_t size = load_u16(p + 17);
    // The header ends with its own 4-byte checksum.
    if (length < size || size < 4) return HVXRETVAL_INVALID_FILE_HEADER;
    if (file_crc32(p, size - 4) != load_u32(p + size - 4)) return HVXRETVAL_INVALID_CHECKSUM;
    *offset = size;
    return HVXRETVAL_SUCCESS;
}

namespace {

template <class Bytes>
int32_t load_package(Bytes& file) {
    size_t offset = 0;
    int32_t rc = zelpkgPldmPackageOffset(file.data(), file.size(), &offset);
    if (rc == HVXRETVAL_SUCCESS) {
        if (offset > 0) file.erase(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offset));
        rc = zelpkgGetHeader(file.data(), file.size(), nullptr);
    }
    if (rc != HVXRETVAL_SUCCESS) {
        file.clear();
        file.shrink_to_fit();
    }
    return rc;
}

}  // namespace

int32_t zelpkgLoadPackage(std::vector<uint8_t>& file) { return load_package(file); }

int32_t zelpkgLoadPackage(ByteBuffer& file) { return load_package(file); }

namespace {

void put_u8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_text(std::vector<uint8_t>& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

// Descriptor types of a device record.
constexpr uint16_t kDescriptorPciVendor = 0x0000;
constexpr uint16_t kDescriptorPciDevice = 0x0100;

}  // namespace

std::vector<uint8_t> zelpkgPldmWrap(const uint8_t* pkg, size_t length, std::string_view version,
                                    uint16_t vendor_id, const std::vector<uint16_t>& device_ids) {
    if (version.size() > 255) version = version.substr(0, 255);
    std::vector<uint8_t> h;
    h.insert(h.end(), std::begin(ZELPKG_PLDM_IDENTIFIER), std::end(ZELPKG_PLDM_IDENTIFIER));
    put_u8(h, ZELPKG_PLDM_FORMAT_REVISION);
    const size_t size_at = h.size();
    put_u16(h, 0);                         // header size, set below
    h.insert(h.end(), 13, 0);              // release time: not given
    put_u16(h, 8);                         // one byte of component bitmap
    put_u8(h, 1);                          // ASCII version text
    put_u8(h, static_cast<uint8_t>(version.size()));
    put_text(h, version);

    // One device record: vendor id and each device id as descriptors.
    std::vector<uint8_t> rec;
    const size_t descriptors = 1 + device_ids.size();
    put_u8(rec, static_cast<uint8_t>(std::min<size_t>(descriptors, 255)));
    put_u32(rec, 0);                       // update option flags
    put_u8(rec, 1);                        // ASCII image-set version text
    put_u8(rec, static_cast<uint8_t>(version.size()));
    put_u16(rec, 0);                       // no device package data
    put_u8(rec, 0x01);                     // applies to component 0
    put_text(rec, version);
    put_u16(rec, kDescriptorPciVendor);
    put_u16(rec, 2);
    put_u16(rec, vendor_id);
    for (size_t i = 0; i + 1 < descriptors && i < 254; ++i) {
        put_u16(rec, kDescriptorPciDevice);
        put_u16(rec, 2);
        put_u16(rec, device_ids[i]);
    }
    put_u8(h, 1);                          // one device record
    put_u16(h, static_cast<uint16_t>(rec.size() + 2));
    h.insert(h.end(), rec.begin(), rec.end());

    // One component: the package, placed directly after the header.
    put_u16(h, 1);
    put_u16(h, 0x000A);                    // classification: firmware
    put_u16(h, 0x0001);                    // component identifier
    put_u32(h, 0xFFFFFFFF);                // comparison stamp: not used
    put_u16(h, 0);                         // options
    put_u16(h, 0);                         // activation method
    const size_t location_at = h.size();
    put_u32(h, 0);                         // location, set below
    put_u32(h, static_cast<uint32_t>(length));
    put_u8(h, 1);
    put_u8(h, static_cast<uint8_t>(version.size()));
    put_text(h, version);

    const size_t header_size = h.size() + 4;
    zelt::pkg::store_u16(h.data() + size_at, static_cast<uint16_t>(header_size));
    zelt::pkg::store_u32(h.data() + location_at, static_cast<uint32_t>(header_size));
    put_u32(h, file_crc32(h.data(), h.size()));
    h.insert(h.end(), pkg, pkg + length);
    return h;
}

}  // namespace zelt
