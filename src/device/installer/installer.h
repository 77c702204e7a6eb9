// Installing a package on an adapter, and the adapter's install log.
//
// The host never writes a package's items itself: it stages the whole package in the
// NVM update item and asks the adapter's firmware to install it; the firmware applies
// each item's directive and adds an entry to its install log (directory type 1). The
// host then reports new log entries to the system log once and keeps the log short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/image/package_log.h"

#include "common/result.h"
#include "host/file_snapshot.h"
#include "transport/function.h"

namespace zelt::device {

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

// Installs the package `pkg` on function `fn`:
//  1. finds the update staging item (type 2, ordinal 0, ext 0). When the directory
//     cannot be read (a failure other than "not found") on the function whose device
//     id is ZELT_ACCESS_CHECK_DEVICE_ID, gives access_denied() (the command layer
//     tells the user to retry later); other failures are returned as they are;
//  2. when the item is absent or smaller than the package, creates it from the
//     package's own update record: the larger of its item_length and the package
//     length rounded up to 4096 (no update record: zelpkgFindItem's result; a
//     failed creation gives its result);
//  3. stages and installs the package through the function's channel and returns that
//     result unchanged.
// The staging item could not be looked up because another agent holds it: the driver's
// refusal, reported as HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE (-41).
Result access_denied();
bool is_access_denied(const Result& result);

// `snapshot`, when given and holding exactly `pkg`'s bytes, is handed to the channel
// to stage as it is (Channel::install_snapshot).
Result zeltnvmInstallPackage(const transport::Function& fn, std::span<const uint8_t> pkg, uint32_t install_type,
                             uint16_t pci_device_id, const host::FileSnapshot* snapshot = nullptr);

// The size a staging item created for `pkg` gets: the larger of the item_length of the
// package's own update record and the package length rounded up to whole
// ZELTNVM_STAGING_UNITs. The record lookup's failure when the package has none;
// HVXRETVAL_INVALID_LENGTH when the size does not fit 32 bits.
ResultOr<uint32_t> zeltnvmStagingItemSize(std::span<const uint8_t> pkg);

// Whether the NVM has room to stage `pkg`, read without writing anything.
struct StagingRoom {
    uint32_t needed = 0;       // bytes the staged package takes in the NVM
    uint32_t available = 0;    // bytes it can have there
    bool fits = false;
    bool reuses_item = false;  // the staging item the NVM holds is large enough as it is
};
// The staging item the installation would use: the one in the NVM when it holds the
// package (needed: the package length; available: the item's length), else a new one
// of zeltnvmStagingItemSize (available: the NVM's free bytes plus the old item's,
// which the new one replaces; defragmenting makes the free bytes one run). The
// directory's or the firmware's failure, or the size's, as it is.
ResultOr<StagingRoom> zeltnvmStagingRoom(const transport::Function& fn, std::span<const uint8_t> pkg);

// Reports each log entry flagged "F" to the system log once (then flags it "0"),
// drops the oldest entries until at most ZELTNVM_PKG_LOG_LIMIT bytes remain, and writes
// the log back (length rounded up to 4, zero-filled). Returns the write's result; an
// empty log is not written and gives HVXRETVAL_INVALID_LENGTH_PARAMETER. A log that
// cannot be read, or whose entry claims more than an install log can hold, is not
// written either and gives that failure.
Result zeltnvmReadAndUpdatePackageLog(const transport::Function& fn);

// The install log item's data (type 1, ordinal 0, ext 0), read through the function's
// channel; empty when the item is absent, empty, unreadable or claims more than an
// install log can hold.
std::string zeltnvmReadPackageLog(const transport::Function& fn);

// Writes `text` as the install log item (attribute 0) through the function's channel,
// its length rounded up to 4 with zeros. No entry past the text survives. An empty
// text is not written and gives HVXRETVAL_INVALID_LENGTH_PARAMETER; otherwise the
// write's result.
Result zeltnvmWritePackageLog(const transport::Function& fn, const std::string& text);

// The log text as it is written back: each entry flagged "F" is formatted with
// Format_Log_string (naming the device `label`) into `reports` and flipped to "0",
// then the oldest entries are dropped until at most `limit` bytes remain. Trailing
// erased (0xFF) and zero bytes of `data` are not part of the text.
std::string zeltnvmUpdatePackageLogText(std::string_view label, const uint8_t* data, size_t length, size_t limit,
                                        std::vector<std::string>& reports);

// The system-log text of one entry (fields 0, 1, 2 and 4 of its first 128
// characters): a success or failure sentence naming the device `label`. Returns its
// length.
int Format_Log_string(std::string_view label, const char* entry, std::string& out);

}  // namespace zelt::device
