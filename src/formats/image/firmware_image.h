// Signed firmware images (directory types 3, 4, 10 to 18, 58 and 66): the header at
// offset 0, the body, a 256-byte RSA signature over header and body, and a CRC-32
// over everything before it. Also the secure-boot image header check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "formats/image/byte_view.h"
#include "formats/image/image_records.h"

namespace zelt {

// Directory type that a header codeType names; 0 for any other code type.
uint16_t zeltnvmCodeTypeToDirType(uint8_t code_type);

// Appends the header report ("%22s : ..." lines) to `out`. 0; or
// HVXRETVAL_INVALID_FILE_HEADER (-20) for an image shorter than the header,
// HVXRETVAL_INVALID_SIGNATURE (-21) for a wrong signature, HVXRETVAL_HEADER_NOT_FOUND
// (-86) when the header names an extended header that does not lie inside the image;
// the lines up to the failure are appended all the same.
int zeltnvmViewApeBinHdr(const uint8_t* image, size_t length, std::string* out);

// Signed firmware image check, in order: length below 32 (HVXRETVAL_INVALID_DATA_LENGTH,
// -28), header signature (-21), device family (-20), CRC-32 (HVXRETVAL_INVALID_CHECKSUM,
// -26), length below 288 (-28), RSA signature (-29, or -1).
int zeltnvmVerifyFirmware(const uint8_t* image, size_t length);

// The same check with the image's CRC-32 (of all but its last 4 bytes) and the SHA-256
// of its signed part (all but its last 260 bytes) computed beforehand by the caller.
int zeltnvmVerifyFirmwareDigested(const uint8_t* image, size_t length, uint32_t image_crc,
                                  std::span<const uint8_t, 32> signed_digest);

// 0 when the 64-byte secure-boot header carries its Tag and MagicNumber, else
// HVXRETVAL_INVALID_SIGNATURE (-21).
int zeltnvmVerifySBIHeader(const uint8_t* header);

namespace image {

// The header of a firmware image; false when the image is shorter than it.
bool load_firmware_header(Bytes image, apebinHeader* header);

// The extended header a firmware header points to; false when the header has none or
// it does not lie wholly inside the image.
bool load_extended_header(Bytes image, const apebinHeader& header, Ext_Bin_Header* ext);

// True when the header names an extended header.
inline bool has_extended_header(const apebinHeader& header) {
    return (header.flags & APEBIN_FLAG_EXT_HEADER) != 0;
}

}  // namespace image

}  // namespace zelt
