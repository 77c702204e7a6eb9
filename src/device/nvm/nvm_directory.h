// The adapter's NVM directory, read by firmware message: the raw listing, the whole
// directory as 24-byte entries, lookups by identity, and the texts of the extension
// and attribute flags.
//
// Results are 0 (or, for lookups, a directory index of 0 or more) on success and a
// negative hvxretval on failure: a failure of the firmware messages reads as
// HVXRETVAL_FAILURE (-1), so that no failure can be mistaken for an index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/directory_entry.h"
#include "common/result.h"
#include "transport/function.h"

// Lookups by identity accept a directory of at most this many entries.
inline constexpr uint32_t ZELTNVM_DIR_LOOKUP_MAX_ENTRIES = 100;

namespace zelt::device {

// The raw directory: asks for the entry count and entry length, then for the entries
// into `entries` (`size` bytes). `count` and `entry_size` are set whenever the count
// message succeeded. Results: 0; -1 when the count is 0 or a message fails; -28 when
// an entry is shorter than the 24-byte record; -4 when count x entry_size exceeds
// `size` (the entries are then not asked for; call again with a larger buffer).
int32_t zeltnvm_linux_GetDirEntries(const transport::Function& fn, uint32_t* count, uint32_t* entry_size,
                                    uint8_t* entries, uint32_t size);

}  // namespace zelt::device

// Walks a raw directory answer of `count` entries spaced `entry_size` bytes apart and
// appends the first 24 bytes of each to `entries`. -28 when an entry is shorter than
// the record or the entries do not lie within the `raw_size` bytes at `raw`.
int32_t zeltnvmParseDirectory(const uint8_t* raw, size_t raw_size, uint32_t count, uint32_t entry_size,
                              std::vector<zelt::zelnvm_directory_entry_t>& entries);

namespace zelt::device {

// The whole directory as records, in index order (the first 24 bytes of each raw
// entry). The answer is read into a 4096-byte buffer, or a larger one when the
// directory needs it.
int32_t zeltnvmListDirectory(const transport::Function& fn, std::vector<zelnvm_directory_entry_t>& entries);

// The whole directory. `count` is always set (0 when the directory cannot be read);
// the entries are copied into `entries` when it is given, which needs room for `max`
// records: -4 when `max` is smaller than the count. -3 on allocation failure.
int32_t zeltnvmGetDir(const transport::Function& fn, uint32_t* count, zelnvm_directory_entry_t* entries, uint32_t max);

// The first entry whose type, ordinal and ext all match: its index, and a copy of it
// in `entry` when given (zeroed first). -80 when absent; -4 when the directory has
// more than ZELTNVM_DIR_LOOKUP_MAX_ENTRIES entries; -3 on allocation failure.
ResultOr<uint32_t> zeltnvmGetDirEntry(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                      zelnvm_directory_entry_t* entry);

}  // namespace zelt::device

// The same search over a directory already read (no device access): the index or
// the failure as above.
int32_t zeltnvmFindDirEntry(const std::vector<zelt::zelnvm_directory_entry_t>& entries, uint16_t type, uint16_t ordinal,
                            uint16_t ext, zelt::zelnvm_directory_entry_t* entry);

// "Inactive " and "Update " for extension bits 0 and 1, in that order.
std::string zeltnvmExtensionFlags(uint16_t ext);
// "No-Chksum ", "Prop-Stream ", "IPv4 ", "IPv6 " and "Trailer " for attribute bits 0 to 4.
std::string zeltnvmAttributeFlags(uint16_t attr);

// The same operations for callers that hold only a device name (the function is
// looked up from it first; a name that resolves to no function fails as a failed
// message does, -1). The index lookup returns the index or the failure's integer.
int32_t zeltnvm_linux_GetDirEntries(const char* dev, uint32_t* count, uint32_t* entry_size, uint8_t* entries,
                                    uint32_t size);
int32_t zeltnvmListDirectory(const char* dev, std::vector<zelt::zelnvm_directory_entry_t>& entries);
int32_t zeltnvmGetDir(const char* dev, uint32_t* count, zelt::zelnvm_directory_entry_t* entries, uint32_t max);
int32_t zeltnvmGetDirEntry(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext,
                           zelt::zelnvm_directory_entry_t* entry);
