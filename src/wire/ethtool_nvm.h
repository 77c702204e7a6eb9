// How the Ethernet driver's ethtool interface carries NVM operations: the EEPROM
// commands' magic, offset and len words encode directory reads, writes and erases;
// the flash command names a package file in the firmware directory.
//
// The standard records (ethtool_eeprom, ethtool_flash, ethtool_dump,
// ethtool_drvinfo) come from <linux/ethtool.h>; their layouts are pinned here.
#pragma once

#include <linux/ethtool.h>
#include <linux/sockios.h>

#include <cstdint>

#include "wire/wire_layout.h"

namespace zelt {

ZELT_WIRE_SIZE(ethtool_eeprom, 16);
ZELT_WIRE_FIELD(ethtool_eeprom, cmd, 0);
ZELT_WIRE_FIELD(ethtool_eeprom, magic, 4);
ZELT_WIRE_FIELD(ethtool_eeprom, offset, 8);
ZELT_WIRE_FIELD(ethtool_eeprom, len, 12);
ZELT_WIRE_FIELD(ethtool_eeprom, data, 16);

ZELT_WIRE_SIZE(ethtool_flash, 136);
ZELT_WIRE_FIELD(ethtool_flash, cmd, 0);
ZELT_WIRE_FIELD(ethtool_flash, region, 4);
ZELT_WIRE_FIELD(ethtool_flash, data, 8);

ZELT_WIRE_SIZE(ethtool_dump, 16);
ZELT_WIRE_FIELD(ethtool_dump, cmd, 0);
ZELT_WIRE_FIELD(ethtool_dump, version, 4);
ZELT_WIRE_FIELD(ethtool_dump, flag, 8);
ZELT_WIRE_FIELD(ethtool_dump, len, 12);
ZELT_WIRE_FIELD(ethtool_dump, data, 16);

ZELT_WIRE_SIZE(ethtool_drvinfo, 196);
ZELT_WIRE_FIELD(ethtool_drvinfo, driver, 4);
ZELT_WIRE_FIELD(ethtool_drvinfo, version, 36);
ZELT_WIRE_FIELD(ethtool_drvinfo, fw_version, 68);
ZELT_WIRE_FIELD(ethtool_drvinfo, bus_info, 100);

ZELT_WIRE_SIZE(ethtool_value, 8);

// An EEPROM request lives in a buffer of this size: the 16-byte head and at most
// ZELT_ETHTOOL_NVM_PIECE data bytes.
inline constexpr uint32_t ZELT_ETHTOOL_EEPROM_BUFFER = 4096;
inline constexpr uint32_t ZELT_ETHTOOL_NVM_PIECE = ZELT_ETHTOOL_EEPROM_BUFFER - sizeof(ethtool_eeprom);
static_assert(ZELT_ETHTOOL_NVM_PIECE == 4080);

// Highest directory index an erase can name.
inline constexpr uint32_t ZELT_ETHTOOL_MAX_ERASE_INDEX = 254;
inline constexpr uint32_t ZELT_ETHTOOL_ERASE_MAGIC_BASE = 0xFFFF0E00;
// Byte offsets in an item are limited to 24 bits by the read encoding.
inline constexpr uint32_t ZELT_ETHTOOL_MAX_ITEM_OFFSET = 0x00FFFFFF;

// Read of an item (GEEPROM, magic 0): the directory index plus one in the top byte,
// the byte offset in the low 24 bits.
constexpr uint32_t ethtoolNvmReadOffset(uint32_t index, uint32_t byte_offset) {
    return ((index + 1) << 24) + byte_offset;
}
// Write of an item (SEEPROM).
constexpr uint32_t ethtoolNvmWriteMagic(uint16_t dir_type, uint16_t dir_ext) {
    return (static_cast<uint32_t>(dir_type) << 16) | dir_ext;
}
constexpr uint32_t ethtoolNvmWriteOffset(uint16_t dir_ordinal, uint16_t dir_attr) {
    return (static_cast<uint32_t>(dir_ordinal) << 16) | dir_attr;
}
// Erase of a directory entry (SEEPROM, len 1): the offset is the complement of the magic.
constexpr uint32_t ethtoolNvmEraseMagic(uint32_t index) { return ZELT_ETHTOOL_ERASE_MAGIC_BASE | (index + 1); }
constexpr uint32_t ethtoolNvmEraseOffset(uint32_t index) { return ~ethtoolNvmEraseMagic(index); }
static_assert(ethtoolNvmEraseMagic(254) == 0xFFFF0EFF && ethtoolNvmEraseOffset(254) == 0x0000F100);

// The driver's side of the SEEPROM encodings: an erase is recognised by its magic
// prefix, its complementary offset and a length of 1; anything else is a write.
constexpr bool ethtoolNvmIsErase(uint32_t magic, uint32_t offset, uint32_t len) {
    return (magic & 0xFFFFFF00u) == ZELT_ETHTOOL_ERASE_MAGIC_BASE && offset == ~magic && len == 1;
}
constexpr uint32_t ethtoolNvmEraseIndex(uint32_t magic) { return (magic & 0xFFu) - 1; }

// Flash of a package: the install type shifted into the upper half when it lies in
// 1..0xFFFE, otherwise passed unchanged.
constexpr uint32_t ethtoolFlashPackageRegion(uint32_t install_type) {
    return (install_type >= 1 && install_type <= 0xFFFE) ? install_type << 16 : install_type;
}
static_assert(ethtoolFlashPackageRegion(2) == 0x00020000 && ethtoolFlashPackageRegion(0) == 0 &&
              ethtoolFlashPackageRegion(0xFFFF) == 0xFFFF);

// Firmware directory of the host and the name a package is flashed under.
inline constexpr const char* ZELT_FIRMWARE_DIR = "/lib/firmware/";
inline constexpr const char* ZELT_FLASH_PACKAGE_NAME = "hvxupdate.pkg";
inline constexpr const char* ZELT_FLASH_PACKAGE_PATH = "/lib/firmware/hvxupdate.pkg";

// The Ethernet driver's name, and the marker before the installed package version in
// its firmware version text ("<running firmware>/pkg <package version>").
inline constexpr const char* ZELT_EN_DRIVER_NAME = "zelt_en";
inline constexpr const char* ZELT_EN_PKG_MARKER = "pkg ";

// Crash dump through the dump commands.
inline constexpr uint32_t ZELT_ETHTOOL_DUMP_FLAG_OFF = 0;
inline constexpr uint32_t ZELT_ETHTOOL_DUMP_FLAG_CRASH = 1;

// Module EEPROM bytes read for cable information.
inline constexpr uint32_t ZELT_MODULE_ID_SFP = 3;
inline constexpr uint32_t ZELT_MODULE_CABLE_LENGTH_SFP = 18;
inline constexpr uint32_t ZELT_MODULE_CABLE_LENGTH_QSFP = 146;
inline constexpr uint32_t ZELT_MODULE_CABLE_LENGTH_ALT = 108;
inline constexpr uint32_t ZELT_MODULE_AWG = 109;
inline constexpr uint32_t ZELT_MODULE_INSERTION_LOSS_SFP = 110;
inline constexpr uint32_t ZELT_MODULE_INSERTION_LOSS_QSFP = 238;
inline constexpr uint32_t ZELT_MODULE_VENDOR_NAME = 148;
inline constexpr uint32_t ZELT_MODULE_VENDOR_NAME_LEN = 16;

}  // namespace zelt
