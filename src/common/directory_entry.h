// One entry of the adapter's NVM directory: the item's identity (type, ordinal,
// extension), its attributes, where it lives and how much of it holds data. The same
// 24 bytes describe an item inside a firmware package.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

#pragma pack(push, 1)
struct zelnvm_directory_entry_t {
    uint16_t type;           // zelnvm_directory_type; 0 marks a deleted or unused entry
    uint16_t ordinal;        // instance number among items of the same type
    uint16_t ext;            // extension flags
    uint16_t attr;           // attribute flags
    uint32_t item_location;  // byte address in the NVM (file offset inside a package)
    uint32_t item_length;    // bytes allocated to the item
    uint32_t data_length;    // bytes of valid data
    uint32_t data_chksum;    // CRC-32 of the data
};
#pragma pack(pop)
static_assert(sizeof(zelnvm_directory_entry_t) == 24);
static_assert(offsetof(zelnvm_directory_entry_t, ordinal) == 2);
static_assert(offsetof(zelnvm_directory_entry_t, ext) == 4);
static_assert(offsetof(zelnvm_directory_entry_t, attr) == 6);
static_assert(offsetof(zelnvm_directory_entry_t, item_location) == 8);
static_assert(offsetof(zelnvm_directory_entry_t, item_length) == 12);
static_assert(offsetof(zelnvm_directory_entry_t, data_length) == 16);
static_assert(offsetof(zelnvm_directory_entry_t, data_chksum) == 20);

// Extension flag bits.
constexpr uint16_t ZEL_DIR_EXT_INACTIVE = 0x0001;
constexpr uint16_t ZEL_DIR_EXT_UPDATE = 0x0002;

// Attribute flag bits.
constexpr uint16_t ZEL_DIR_ATTR_NO_CHKSUM = 0x0001;
constexpr uint16_t ZEL_DIR_ATTR_PROP_STREAM = 0x0002;
constexpr uint16_t ZEL_DIR_ATTR_IPV4 = 0x0004;
constexpr uint16_t ZEL_DIR_ATTR_IPV6 = 0x0008;
constexpr uint16_t ZEL_DIR_ATTR_TRAILER = 0x0010;

}  // namespace zelt
