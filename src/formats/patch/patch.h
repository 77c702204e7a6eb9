// Patch texts: the short texts a package item carries instead of an image, saying
// which bytes or bits of the item already in the NVM change, and the diff that writes
// such texts by comparing two images.
//
// A patch text is a sequence of lines separated by '\n' (the first 511 characters of
// each line count), ended by the end of the text or a zero byte. A line that matches
// none of the forms is ignored, so free text serves as a comment.
//
// Binary patch lines (offsets hexadecimal; values decimal, 0x-hex or 0-octal, signed
// or unsigned 64-bit):
//   "Bit <n> at <offset> = <0|1>"        set or clear bit n (0..7) of a byte
//   "<w> bits at <offset> = <value>"     store the low w bits (8, 16, 32 or 64) of the
//                                        value little-endian
// Text after the value (such as the "\t; <label> <old value>" comment written by the
// diff) is ignored.
//
// VPD patch lines set one keyword of the read-only (prefix R, the default) or the
// read-write (prefix W) VPD resource to a quoted text of 1 to 255 characters:
//   R.PN = Text,"value"   R.PN = "value"   PN = Text,"value"   PN = "value"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/hvxretval.h"

namespace zelt {

// Applies binary patch lines to `image` (room for `capacity` bytes, of which the first
// `data_len` are in use), in order. Returns the new data length (it grows to cover
// every byte written), or the first failure, with the lines before it applied:
//   HVXRETVAL_INVALID_DATA_LENGTH     data_len above capacity;
//   HVXRETVAL_INVALID_BIT_PARAMETER   a bit number above 7, or a width other than 8,
//                                     16, 32 or 64;
//   HVXRETVAL_INVALID_PARAMETER_VALUE a bit value other than 0 or 1, or a value that
//                                     does not fit 64 bits;
//   HVXRETVAL_INVALID_OFFSET_PARAMETER a write that would pass `capacity`.
int32_t zeltnvmPatch(uint8_t* image, size_t capacity, size_t data_len, const char* text,
                     size_t text_len);

// Applies VPD patch lines to a VPD resource list (the item after its 4-byte format
// revision) of `len` bytes with vpd_put_field, then recomputes the VPD-R checksum.
// Returns the new used length of the resource list (vpd_get_length), or:
// HVXRETVAL_INVALID_TAG for a prefix other than R or W, or the failure of
// vpd_put_field, vpd_put_checksum or vpd_get_length. After a failure the buffer must
// not be stored.
int32_t zeltnvmPatchVPD(uint8_t* vpd, size_t len, const char* text, size_t text_len);

// True for the diff unit sizes 1 (bits), 8, 16, 32 and 64.
bool zeltnvmValidDiffSize(unsigned unit);

// Appends to `out` the binary patch lines that turn `original` into `modified`,
// comparing units of `unit` bits (1: single bits). A unit that differs is written
// with the comment "\t; <label> <original value>"; a unit beyond the end of the
// original is written without it (in bit units such bytes count as unchanged). When
// the modified image does not end on a unit boundary its last bytes are compared as
// 8-bit units. Returns the number of lines, or HVXRETVAL_INVALID_PARAMETER_VALUE for
// a unit size not in the list (nothing is written).
int32_t zeltnvmDiff(std::string& out, unsigned unit, const uint8_t* original, size_t original_len,
                    const uint8_t* modified, size_t modified_len, const char* label);

}  // namespace zelt
