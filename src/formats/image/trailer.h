// Component trailer: the last 32 bytes (or 288, with an RSA signature) of an image,
// carrying the image's version, its directory type and a CRC-32 of the image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/image/image_records.h"

namespace zelt {

// Checks that the image of `length` bytes at image (+ offset) ends in a well-formed
// trailer: 0 when it does; HVXRETVAL_INVALID_LENGTH_PARAMETER (-10) for an image
// shorter than 32 bytes or a trailer_length below 32 or above the image length;
// HVXRETVAL_INVALID_SIGNATURE (-21) when the base does not carry "Trlr". When
// `trailer` is given it is zeroed and filled: the base always, rsa_sig when
// trailer_length is 288 or more.
int zeltnvmComponentTrailerParse(const uint8_t* image, size_t length, zelnvm_component_trailer_t* trailer);
int zeltnvmComponentTrailerParseAtOffset(const uint8_t* buffer, size_t offset, size_t length,
                                         zelnvm_component_trailer_t* trailer);

// Verifies the trailer of the image of `length` bytes: shape (-10, -21 as above), the
// CRC-32 of every byte before the chksum field (HVXRETVAL_INVALID_ITEM_CHECKSUM, -27),
// the presence of a signature (HVXRETVAL_INVALID_TRAILER, -25, for a 32-byte trailer)
// and the RSA signature over every byte before the 288-byte trailer (-29, or -1).
int zeltnvmComponentTrailerVerify(const uint8_t* image, size_t length);
int zeltnvmComponentTrailerVerifyAtOffset(const uint8_t* buffer, size_t offset, size_t length);

}  // namespace zelt
