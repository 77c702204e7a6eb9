// The firmware's own checks of an item image before it is installed or patched: the
// data checksum, signed firmware images, component trailers, secure-boot headers and
// VPD. CRC-32 comes from zlib and the RSA/SHA-256 signature check from OpenSSL, so the
// firmware judges an image with code apart from the tool that built or sent it.
#pragma once

#include <cstdint>
#include <span>

#include "common/directory_entry.h"

namespace zelt::sim {

// CRC-32 (reflected 0xEDB88320, start and final complement) of the bytes.
uint32_t firmware_crc32(std::span<const uint8_t> bytes);

// True when `signature` (256 bytes) is an RSASSA-PKCS1-v1_5 SHA-256 signature of
// `message` under the public key compiled into the firmware.
bool firmware_signature_valid(std::span<const uint8_t> message, std::span<const uint8_t> signature);

// True when `image` is a signed firmware image of this adapter family: its header, its
// CRC-32 and its signature.
bool firmware_signed_image_valid(std::span<const uint8_t> image);

// True when `image` (the entry's data_length bytes) passes every check its entry
// calls for.
bool firmware_item_valid(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry);

}  // namespace zelt::sim
