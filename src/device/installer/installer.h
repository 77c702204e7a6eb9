// Installing a package on an adapter, and the adapter's install log.
//
// The host never writes a package's items itself: it stages the whole package in the
// NVM update item and asks the adapter's firmware to install it; the firmware applies
// each item's directive and adds an entry to its install log (directory type 1). The
// host then reports new log entries to the system log once and keeps the log short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/image/package_log.h"

// Size unit of a staging item created for a package.
inline constexpr uint32_t ZELTNVM_STAGING_UNIT = 4096;
// Attribute of a staging item created for a package (No-Chksum).
inline constexpr uint16_t ZELTNVM_STAGING_ATTR = 0x0001;
// The install log keeps at most this many bytes of whole entries when rewritten.
inline constexpr size_t ZELTNVM_PKG_LOG_LIMIT = 4096;
// Extra room allocated past the log item's length when it is read.
inline constexpr size_t ZELTNVM_PKG_LOG_SLACK = 512;
// Characters of an entry handed to Format_Log_string, and considered by it.
inline constexpr size_t ZELTNVM_PKG_LOG_ENTRY_MAX = 1023;
inline constexpr size_t ZELTNVM_PKG_LOG_FORMAT_MAX = 128;

// Installs the package `pkg` (`length` bytes) on `dev`:
//  1. finds the update staging item (type 2, ordinal 0, ext 0); -41 on the function
//     whose device id is ZELT_ACCESS_CHECK_DEVICE_ID prints "Access Denied. Please
//     retry later." and returns -41; other failures but "not found" are returned;
//  2. when the item is absent or smaller than the package, creates it from the
//     package's own update record: the larger of its item_length and the package
//     length rounded up to 4096 (no update record: zelpkgFindItem's result; a
//     negative creation result is returned);
//  3. stages and installs by firmware message for a function reached through the PCI
//     window, else through the Ethernet driver's flash command (which sets
//     *reboot_needed on success), and returns that result unchanged.
// `item_index` (when given) is always set to -1.
int32_t zeltnvmInstallPackage(const char* dev, const uint8_t* pkg, uint32_t length, int* item_index,
                              int* reboot_needed, uint32_t install_type, uint16_t pci_device_id);

// Reports each log entry flagged "F" to the system log once (then flags it "0"),
// drops the oldest entries until at most ZELTNVM_PKG_LOG_LIMIT bytes remain, and writes
// the log back (length rounded up to 4, zero-filled). Returns the write's result; an
// empty log is not written and gives HVXRETVAL_INVALID_LENGTH_PARAMETER. `pkg` and
// `length` are not used.
int32_t zeltnvmReadAndUpdatePackageLog(const char* dev, const uint8_t* pkg, uint32_t length);

// The install log item's data (type 1, ordinal 0, ext 0), read by message for a
// function reached through the PCI window and through the driver otherwise; empty when
// the item is absent, empty or unreadable.
std::string zeltnvmReadPackageLog(const char* dev);

// Writes `text` as the install log item (attribute 0) by the same road, its length
// rounded up to 4 with zeros. By message the zeros also cover the item's old data, so
// no entry past the text survives. An empty text is not written and gives
// HVXRETVAL_INVALID_LENGTH_PARAMETER; otherwise the write's result.
int32_t zeltnvmWritePackageLog(const char* dev, const std::string& text);

// The log text as it is written back: each entry flagged "F" is formatted with
// Format_Log_string into `reports` and flipped to "0", then the oldest entries are
// dropped until at most `limit` bytes remain. Trailing erased (0xFF) and zero bytes
// of `data` are not part of the text.
std::string zeltnvmUpdatePackageLogText(const char* dev, const uint8_t* data, size_t length, size_t limit,
                                        std::vector<std::string>& reports);

// The system-log text of one entry (fields 0, 1, 2 and 4 of its first 128
// characters): a success or failure sentence naming the device. Returns its length.
int Format_Log_string(const char* dev, const char* entry, std::string& out);

// Field `position` of the last entry that is not a live-patch entry, at most 255
// characters, in a buffer that the next call overwrites; nullptr when none has it.
const char* zeltnvmParsePackageLog(int position, const uint8_t* data, size_t length);
