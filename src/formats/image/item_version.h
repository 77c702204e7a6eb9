// Versions of NVM item images. Each kind of image keeps its version somewhere else:
// the firmware header or its extended header, the expansion-ROM structures, a few
// header bytes of configuration images, the secure-boot header, the install log's last
// entry, or the component trailer. Selector 0 asks for the primary version, 1 for the
// secondary; the install log also answers 2 (package checksum) and 3 (description).
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/image/image_records.h"

namespace zelt {

// The raw version of an image of directory type `dir_type` with attribute flags `attr`
// (bit 0x0010: the image ends in a component trailer). `raw_length` gives the capacity
// of `raw` and receives the bytes used; `format` receives the zelnvm_version_format.
// Results: 0; HVXRETVAL_UNSUPPORTED_DETAIL (-62) for a selector the type lacks;
// HVXRETVAL_VERSION_INFO_NOT_FOUND (-88) when the image holds no such version;
// HVXRETVAL_INVALID_LENGTH_PARAMETER (-10) when it is shorter than the header holding
// the version; HVXRETVAL_INVALID_SIGNATURE (-21) for an expansion ROM without its
// signature; HVXRETVAL_HEADER_NOT_FOUND (-86) for a firmware header whose extended
// header lies outside the image; HVXRETVAL_INVALID_DATA_LENGTH (-28) for a trailer whose
// version_length exceeds its 16 version bytes; HVXRETVAL_INSUFFICIENT_SPACE (-4) when
// the version does not fit `raw` (an expansion-ROM image list stops at the capacity
// instead); HVXRETVAL_INVALID_POINTER_PARAMETER (-11) for missing outputs.
int zeltnvmGetItemBufVersion(unsigned dir_type, const uint8_t* image, size_t image_length, int selector,
                             uint8_t* raw, size_t* raw_length, int* format, uint16_t attr);

// The same version as text, in `text` of `capacity` bytes (always NUL-terminated,
// cleared first, left empty on failure). An expansion ROM listing more than 16 images
// gives HVXRETVAL_INSUFFICIENT_SPACE (-4).
int zeltnvmGetItemBufVersionString(unsigned dir_type, const uint8_t* image, size_t image_length, int selector,
                                   char* text, size_t capacity, uint16_t attr);

// Formats raw version bytes: ASCII as it is; DEC as raw_length / 2 little-endian u16
// numbers in decimal joined by "."; HEX as "0x" and two upper-case hex digits per byte;
// MULTI as "NAME:major.minor.revision.0" per 8-byte entry joined by ", " (names "PXE",
// "FCODE", "EFI", else the code type in decimal); any other format "??" and the bytes
// in hex. Cut to `capacity` - 1 characters and NUL-terminated. Returns `text`.
char* zeltnvmVersionString(const uint8_t* raw, size_t raw_length, int format, char* text, size_t capacity);

// True for the directory types whose items carry a version that can be read from the
// adapter: 1, 3, 4, 6 to 19, 21, 22, 27, 58, 61, 62, 63, 66.
bool zeltnvmItemTypeHasVersion(unsigned dir_type);

// Which bytes of an NVM item to read to learn its version, so that large images are
// not read whole: sets [offset, offset + length) inside the item's data_length bytes.
// Then read those bytes and pass them to zeltnvmGetItemBufVersionString with the same
// type, selector and attribute flags. Results: 0; HVXRETVAL_UNSUPPORTED_DETAIL (-62)
// for a type without a version; HVXRETVAL_HEADER_NOT_FOUND (-86) for a configuration
// image shorter than its version header; HVXRETVAL_TRAILER_NOT_FOUND (-85) for a
// trailer image shorter than a signed trailer; HVXRETVAL_INVALID_DATA_LENGTH (-28) for
// an item shorter than 8 bytes read whole.
int zeltnvmItemVersionReadRange(unsigned dir_type, uint16_t attr, size_t data_length, int selector, size_t* offset,
                                size_t* length);

}  // namespace zelt
