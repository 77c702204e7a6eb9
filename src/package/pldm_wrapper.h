// The firmware update package header that may precede a package file: recognised
// and stripped when a package is loaded, written by the package builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/byte_buffer.h"

namespace zelt {

// Identifier of the header's format version 1.0, in file byte order.
inline constexpr uint8_t ZELPKG_PLDM_IDENTIFIER[16] = {0xF0, 0x18, 0x87, 0x8C, 0xCB, 0x7D, 0x49, 0x43,
                                                       0x98, 0x00, 0xA0, 0x2F, 0x05, 0x9A, 0xCA, 0x02};
inline constexpr uint8_t ZELPKG_PLDM_FORMAT_REVISION = 1;

#pragma pack(push, 1)
// The fixed start of the header; the rest up to PackageHeaderSize is variable.
struct zelpkg_pldm_header_prefix_t {
    uint8_t identifier[16];
    uint8_t format_revision;
    uint16_t header_size;         // bytes from the start of the file to the wrapped package
    uint8_t release_time[13];     // timestamp of the release
    uint16_t bitmap_bit_length;   // bits of each record's applicable-components bitmap
    uint8_t version_string_type;  // 1: ASCII
    uint8_t version_string_length;
};
#pragma pack(pop)
static_assert(sizeof(zelpkg_pldm_header_prefix_t) == 36);
static_assert(offsetof(zelpkg_pldm_header_prefix_t, format_revision) == 16);
static_assert(offsetof(zelpkg_pldm_header_prefix_t, header_size) == 17);

// Where the package proper starts in a file. 0 for a file without the header (or too
// short to hold one); the header size for a wrapped file. INVALID_FILE_HEADER when the
// file is shorter than the declared header, INVALID_CHECKSUM when the header's CRC-32
// (its last 4 bytes) does not match.
int32_t zelpkgPldmPackageOffset(const void* file, size_t length, size_t* offset);

// Makes a package out of a file's bytes as read: strips the header when there is one
// (so the result begins with "PKG0") and checks the package's file header. 0 on
// success; on failure `file` is cleared and the result returned.
int32_t zelpkgLoadPackage(std::vector<uint8_t>& file);
int32_t zelpkgLoadPackage(ByteBuffer& file);

// Wraps a package in the header: one device record naming the vendor and device ids,
// one component (the package itself), the version text (at most 255 bytes).
std::vector<uint8_t> zelpkgPldmWrap(const uint8_t* pkg, size_t length, std::string_view version,
                                    uint16_t vendor_id, const std::vector<uint16_t>& device_ids);

}  // namespace zelt
