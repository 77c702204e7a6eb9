// Verification of an NVM item image against its directory entry: data checksum, the
// image's own checksum and signature, secure-boot header shape, VPD structure, and
// whether the content is the directory type the entry claims.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/directory_entry.h"
#include "formats/crypto/range_digests.h"

namespace zelt {

// Directory type that the content of the image shows: the type named by a firmware
// header's code type (images longer than 28 bytes with the firmware signature and this
// adapter family), else the dir_type of a well-formed component trailer, else 0.
uint16_t zeltnvmAutodetectDirectoryType(const uint8_t* image, size_t length);
uint16_t zeltnvmAutodetectDirectoryTypeAtOffset(const uint8_t* buffer, size_t offset, size_t length);

// 0 when an image whose content shows `inferred_type` may be stored as `claimed_type`:
// any claim when nothing was inferred, an equal claim, or boot code (4) claimed as the
// second boot code type (18). Else HVXRETVAL_INVALID_TYPE_PARAMETER (-13).
int zeltnvmCheckDirectoryType(unsigned claimed_type, unsigned inferred_type);

// Verifies the image of entry.data_length bytes (which must all lie within the
// `available` bytes at `image`; else HVXRETVAL_INVALID_DATA_LENGTH, -28):
//  1. unless the type is 62, 63, 78 or 79 or the entry has the No-Chksum attribute, the
//     CRC-32 of the data must equal entry.data_chksum (HVXRETVAL_INVALID_CHECKSUM, -26);
//  2. by type: signed firmware types: the firmware image check and the type check;
//     6 to 9, 19, 21, 22, 27: the Trailer attribute (else HVXRETVAL_TRAILER_NOT_FOUND,
//     -85), the component trailer check and the type check; 61 to 63: the secure-boot
//     header (at 256 for 61, at 0 otherwise; -21, or -28 when the image is too short to
//     hold it); 5: the VPD check; every other type passes.
int zeltnvmVerifyItem(const uint8_t* image, size_t available, const zelnvm_directory_entry_t& entry);

// The same for an image at `offset` inside a larger buffer of `buffer_length` bytes
// (an item inside a package).
int zeltnvmVerifyItemAtOffset(const uint8_t* buffer, size_t buffer_length, size_t offset,
                              const zelnvm_directory_entry_t& entry);

// The checksums and the signed digest of an item's data, computed beforehand over the
// buffer that holds it, so that a caller verifying many items reads each byte once:
// item_digest_range gives what to compute for the item at `offset`, and the check
// below takes the computed range in place of passes of its own.
crypto::RangeDigest item_digest_range(uint64_t offset, const zelnvm_directory_entry_t& entry);
int zeltnvmVerifyItemAtOffset(const uint8_t* buffer, size_t buffer_length, size_t offset,
                              const zelnvm_directory_entry_t& entry, const crypto::RangeDigest& digests);

}  // namespace zelt
