// Item classes and item verification as the package code needs them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/directory_entry.h"

namespace zelt::pkg {

// Firmware images with the signed header: types 3, 4, 10 to 18, 58 and 66.
bool is_signed_firmware_type(unsigned type);

// Types whose image must end in a component trailer: 6 to 9, 19, 21, 22 and 27.
bool is_trailer_type(unsigned type);

// Types that may not carry the Patch directive: the signed firmware types, the
// trailer types and the secure-boot images 61 to 63.
bool is_patch_forbidden_type(unsigned type);

// Item verification of the entry's data_length bytes at item_location of the package
// (the caller has checked that they lie within it).
int32_t verify_item_in_package(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry);

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
