// The adapter's NVM directory, read by firmware message: the raw listing, the whole
// directory as 24-byte entries, lookups by identity, and the texts of the extension
// and attribute flags.
//
// A failed message keeps its own result, so a lookup's "not found"
// (HVXRETVAL_ITEM_NOT_FOUND) is never confused with a directory that could not be
// read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/directory_entry.h"
#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// Lookups by identity accept a directory of at most this many entries.
inline constexpr uint32_t ZELTNVM_DIR_LOOKUP_MAX_ENTRIES = 100;

// The raw directory: asks for the entry count and entry length, then for the entries
// into `entries` (`size` bytes). `count` and `entry_size` are set whenever the count
// message succeeded. A failed message gives its result; a count of 0: -1; -28 when an
// entry is shorter than the 24-byte record; -4 when count x entry_size exceeds `size`
// (the entries are then not asked for; call again with a larger buffer).
Result zeltnvm_linux_GetDirEntries(const transport::Function& fn, uint32_t* count, uint32_t* entry_size,
                                   uint8_t* entries, uint32_t size);

// Walks a raw directory answer of `count` entries spaced `entry_size` bytes apart and
// appends the first 24 bytes of each to `entries`. -28 when an entry is shorter than
// the record or the entries do not lie within the `raw_size` bytes at `raw`.
Result zeltnvmParseDirectory(const uint8_t* raw, size_t raw_size, uint32_t count, uint32_t entry_size,
                             std::vector<zelnvm_directory_entry_t>& entries);

// The whole directory as records, in index order (the first 24 bytes of each raw
// entry). The answer is read into a 4096-byte buffer, or a larger one when the
// directory needs it.
ResultOr<std::vector<zelnvm_directory_entry_t>> zeltnvmListDirectory(const transport::Function& fn);

// The first entry whose type, ordinal and ext all match: its index, and a copy of it
// in `entry` when given (zeroed first). -80 when absent; -4 when the directory has
// more than ZELTNVM_DIR_LOOKUP_MAX_ENTRIES entries; -3 on allocation failure; the
// failed message's result when the directory cannot be read.
ResultOr<uint32_t> zeltnvmGetDirEntry(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                      zelnvm_directory_entry_t* entry);

// The same search over a directory already read (no device access).
ResultOr<uint32_t> zeltnvmFindDirEntry(const std::vector<zelnvm_directory_entry_t>& entries, uint16_t type,
                                       uint16_t ordinal, uint16_t ext, zelnvm_directory_entry_t* entry);

// "Inactive " and "Update " for extension bits 0 and 1, in that order.
std::string zeltnvmExtensionFlags(uint16_t ext);
// "No-Chksum ", "Prop-Stream ", "IPv4 ", "IPv6 " and "Trailer " for attribute bits 0 to 4.
std::string zeltnvmAttributeFlags(uint16_t attr);

}  // namespace zelt::device
