// The NVM directory entry as the firmware reports it, and the item attribute and
// extension flags.
#pragma once

#include <cstdint>

#include "wire/wire_layout.h"

// The first 24 bytes of each entry of the firmware's directory answer. Entries may be
// longer on the wire; the directory answer gives the stride.
struct zelnvm_directory_entry_t {
    uint16_t type;           // zelnvm_directory_type; 0 marks a deleted entry
    uint16_t ordinal;        // instance among items of the same type
    uint16_t ext;            // extension flags (ZEL_DIR_EXT_*)
    uint16_t attr;           // attribute flags (ZEL_DIR_ATTR_*)
    uint32_t item_location;  // byte address of the item in the NVM
    uint32_t item_length;    // bytes allocated to the item
    uint32_t data_length;    // bytes of valid data
    uint32_t data_chksum;
};
ZELT_WIRE_SIZE(zelnvm_directory_entry_t, 24);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, type, 0);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, ordinal, 2);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, ext, 4);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, attr, 6);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, item_location, 8);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, item_length, 12);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, data_length, 16);
ZELT_WIRE_FIELD(zelnvm_directory_entry_t, data_chksum, 20);

inline constexpr uint16_t ZEL_DIR_EXT_INACTIVE = 0x0001;
inline constexpr uint16_t ZEL_DIR_EXT_UPDATE = 0x0002;

inline constexpr uint16_t ZEL_DIR_ATTR_NO_CHKSUM = 0x0001;
inline constexpr uint16_t ZEL_DIR_ATTR_PROP_STREAM = 0x0002;
inline constexpr uint16_t ZEL_DIR_ATTR_IPV4 = 0x0004;
inline constexpr uint16_t ZEL_DIR_ATTR_IPV6 = 0x0008;
inline constexpr uint16_t ZEL_DIR_ATTR_TRAILER = 0x0010;

// Size of the buffer the directory answer is read into.
inline constexpr uint32_t ZEL_DIR_ANSWER_BUFFER_SIZE = 4096;
