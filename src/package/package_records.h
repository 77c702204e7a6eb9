// Byte layout of a firmware package file, shared by the tool, the simulated firmware
// (which installs staged packages) and the package builder.
//
// All multi-byte fields are little-endian; the records are packed and are copied in
// and out of byte buffers with memcpy, never addressed in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/directory_entry.h"

namespace zelt {

// "PKG0" as a little-endian u32.
constexpr uint32_t ZELPKG_FILE_SIG = 0x30474B50;
// "Man0" as a little-endian u32.
constexpr uint32_t ZELPKG_MANIFEST_SIG = 0x306E614D;

#pragma pack(push, 1)

struct zelpkg_file_header_t {
    uint32_t sig;              // ZELPKG_FILE_SIG
    uint32_t trailer_length;   // bytes of the trailer at the end of the file
    uint32_t manifest_offset;  // offset of the manifest header; the property stream lies before it
};
static_assert(sizeof(zelpkg_file_header_t) == 12);
static_assert(offsetof(zelpkg_file_header_t, sig) == 0);
static_assert(offsetof(zelpkg_file_header_t, trailer_length) == 4);
static_assert(offsetof(zelpkg_file_header_t, manifest_offset) == 8);

struct zelpkg_manifest_header {
    uint32_t sig;                   // ZELPKG_MANIFEST_SIG
    uint32_t length;                // bytes of this header; item records follow it
    uint32_t items;                 // number of item records
    uint32_t item_metadata_length;  // bytes of each record's metadata part
    uint32_t item_direntry_length;  // bytes of each record's directory-entry part
};
static_assert(sizeof(zelpkg_manifest_header) == 20);
static_assert(offsetof(zelpkg_manifest_header, length) == 4);
static_assert(offsetof(zelpkg_manifest_header, items) == 8);
static_assert(offsetof(zelpkg_manifest_header, item_metadata_length) == 12);
static_assert(offsetof(zelpkg_manifest_header, item_direntry_length) == 16);

constexpr size_t ZELPKG_ITEM_DESCRIPTION_SIZE = 63;

struct zelpkg_item_metadata_t {
    uint8_t directive;                               // zelpkg_item_directive
    char description[ZELPKG_ITEM_DESCRIPTION_SIZE];  // NUL-terminated
};
static_assert(sizeof(zelpkg_item_metadata_t) == 64);
static_assert(offsetof(zelpkg_item_metadata_t, description) == 1);

struct zelpkg_manifest_item_t {
    zelpkg_item_metadata_t metadata;
    zelnvm_directory_entry_t direntry;
};
static_assert(sizeof(zelpkg_manifest_item_t) == 88);
static_assert(offsetof(zelpkg_manifest_item_t, direntry) == 64);

// Header of one property in the property stream; `length` value bytes follow it.
struct zelpkg_property_t {
    uint8_t id;
    uint16_t length;
};
static_assert(sizeof(zelpkg_property_t) == 3);
static_assert(offsetof(zelpkg_property_t, length) == 1);

struct zelpkg_file_trailer_t {
    uint32_t chksum;  // CRC-32 of every byte before the trailer
};
static_assert(sizeof(zelpkg_file_trailer_t) == 4);

#pragma pack(pop)

// Sizes the writer uses for the manifest header and the two parts of a record.
constexpr uint32_t ZELPKG_MANIFEST_LENGTH = sizeof(zelpkg_manifest_header);
constexpr uint32_t ZELPKG_METADATA_LENGTH = sizeof(zelpkg_item_metadata_t);
constexpr uint32_t ZELPKG_DIRENTRY_LENGTH = sizeof(zelnvm_directory_entry_t);
constexpr uint32_t ZELPKG_TRAILER_LENGTH = sizeof(zelpkg_file_trailer_t);

enum zelpkg_item_directive : uint8_t {
    ZELPKG_ITEM_ALWAYS_INSTALL = 0,
    ZELPKG_ITEM_REPLACE_IF_PRESENT = 1,
    ZELPKG_ITEM_CREATE_IF_ABSENT = 2,
    ZELPKG_ITEM_REMOVE_IF_PRESENT = 3,
    ZELPKG_ITEM_PATCH_IF_PRESENT = 4,
    ZELPKG_ITEM_DIRECTIVE_NOT_AVAIL = 255,
};

enum zelpkg_property_id : uint8_t {
    ZELPKG_PROP_END = 0,
    ZELPKG_PROP_PKG_DESCRIPTION = 1,
    ZELPKG_PROP_DEVICE_IDS = 2,
    ZELPKG_PROP_MIN_CHIP_REV = 3,
    ZELPKG_PROP_MAX_CHIP_REV = 4,
    ZELPKG_PROP_CREATED_BY = 5,
    ZELPKG_PROP_CREATED_ON = 6,
    ZELPKG_PROP_UPDATED_BY = 7,
    ZELPKG_PROP_UPDATED_ON = 8,
    ZELPKG_PROP_PKG_VERSION = 9,
    ZELPKG_PROP_SUBSYS_VENDOR = 10,
    ZELPKG_PROP_SUBSYS_ID = 11,
    ZELPKG_PROP_CREATED_WITH = 12,
    ZELPKG_PROP_UPDATED_WITH = 13,
    ZELPKG_PROP_ORIG_DESCRIPTION = 14,
    ZELPKG_PROP_ORIG_VERSION = 15,
    ZELPKG_PROP_ORIG_CHECKSUM = 16,
    ZELPKG_PROP_REQUIRED_PKG = 20,
    ZELPKG_PROP_REQUIRE_ONBOARD_CFG = 21,
    ZELPKG_PROP_SUPPORTED_VRS = 22,
    ZELPKG_PROP_LIVEPATCH_PKG = 23,
};

// Largest value a property can hold (its length is a u16).
constexpr uint32_t ZELPKG_MAX_PROPERTY_LENGTH = 0xFFFF;

// Most records a package may carry. The adapter names the record that failed an
// installation in one byte, so a record at index 256 or beyond could not be told
// apart from an earlier one; the NVM directory the items go to holds far fewer.
constexpr uint32_t ZELPKG_MAX_ITEMS = 256;

}  // namespace zelt
