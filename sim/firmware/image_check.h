// The firmware's own checks of an item image before it is installed or patched: the
// data checksum, signed firmware images, component trailers, secure-boot headers and
// VPD. The RSA/SHA-256 signature check comes from OpenSSL, so the firmware judges an
// image's signature with code apart from the tool that built or sent it; the CRC-32 is
// the project's folding CRC, which its own tests hold against zlib's.
#pragma once

#include <cstdint>
#include <span>

#include "common/directory_entry.h"

namespace zelt::sim {

// CRC-32 (reflected 0xEDB88320, start and final complement) of the bytes.
uint32_t firmware_crc32(std::span<const uint8_t> bytes);

// The same CRC continued over more bytes: `crc` is the CRC-32 of what came before.
uint32_t firmware_crc32_continue(uint32_t crc, std::span<const uint8_t> bytes);

// The CRC-32 of bytes b from the CRC-32 of a followed by b (`crc_ab`), the CRC-32 of a
// and the length of b: one pass that notes the running CRC at some offsets gives the
// CRC of every range between two of them.
uint32_t firmware_crc32_of_suffix(uint32_t crc_ab, uint32_t crc_a, uint64_t len_b);

// The CRC-32 of an image without its last 4 bytes (where a firmware image and a
// component trailer keep their own CRC) and of the whole image.
struct ImageCrcs {
    uint32_t head = 0;
    uint32_t whole = 0;
};
ImageCrcs firmware_image_crcs(std::span<const uint8_t> image);

// True when `signature` (256 bytes) is an RSASSA-PKCS1-v1_5 SHA-256 signature of
// `message` under the public key compiled into the firmware.
bool firmware_signature_valid(std::span<const uint8_t> message, std::span<const uint8_t> signature);

// True when `image` is a signed firmware image of this adapter family: its header, its
// CRC-32 and its signature.
bool firmware_signed_image_valid(std::span<const uint8_t> image);

// True when `image` (the entry's data_length bytes) passes every check its entry
// calls for.
bool firmware_item_valid(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry);
// The same with the image's CRCs already known (taken in a pass over more bytes).
bool firmware_item_valid(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry,
                         const ImageCrcs& crcs);

// Every check of firmware_item_valid but the signatures (checksums, CRCs, headers,
// trailers, the VPD), for copies of items whose signatures are judged again where the
// copies are installed or booted.
bool firmware_item_sound(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry,
                         const ImageCrcs& crcs);

}  // namespace zelt::sim
