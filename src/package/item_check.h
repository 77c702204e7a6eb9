// Item verification as the package code needs it (the item classes by type are in
// common/directory_types.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/directory_entry.h"
#include "formats/crypto/range_digests.h"

namespace zelt::pkg {

// Item verification of the entry's data_length bytes at item_location of the package
// (the caller has checked that they lie within it).
int32_t verify_item_in_package(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry);

// What one pass over the package computes for the item (its checksums and signed
// digest), and the same verification with those results in place of passes of its own.
crypto::RangeDigest item_digests_wanted(const zelnvm_directory_entry_t& entry);
int32_t verify_item_in_package(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry,
                               const crypto::RangeDigest& digests);

}  // namespace zelt::pkg

namespace zelt::pkg {

// True when the image ends in a well-formed component trailer.
bool has_component_trailer(const void* data, size_t length);

// The component trailer check (checksum and signature).
int32_t verify_component_trailer(const void* data, size_t length);

// The signed firmware image check.
int32_t verify_signed_firmware(const void* data, size_t length);

}  // namespace zelt::pkg

#include <string>

namespace zelt::pkg {

// Version text of an item image for a selector (0 primary, 1 and up secondary); a
// negative result when the image has none.
int32_t item_version_text(unsigned type, const uint8_t* data, size_t length, int selector, uint16_t attr,
                          std::string& text);

// Appends the firmware image header report; its result.
int32_t firmware_header_report(const uint8_t* data, size_t length, std::string& out);

// Extension and attribute flag names ("Inactive Update ", "No-Chksum Trailer ", ...).
std::string extension_flag_names(uint16_t ext);
std::string attribute_flag_names(uint16_t attr);

}  // namespace zelt::pkg
