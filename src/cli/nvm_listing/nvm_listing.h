// list, view and verify on a device: the adapter's NVM directory as a table, each item
// with its contents, and the check of every item and of their placement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"
#include "common/directory_entry.h"

namespace zelt::cli {

struct NvmListArgs {
    uint32_t verbosity = 0;  // -v: versions, checksums, descriptions
    bool tab = false;        // -tab: tab-separated, no heading
    bool numeric = false;    // -num: types by number
    int32_t type = 0;        // -type=: only this type; -1 (-all) every entry, deleted ones too
    bool totals = false;     // -tot
    std::string sort;        // -sort[=pattern]; empty: directory order
    bool debug = false;      // -debug: failed reads are traced

    static NvmListArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// Sorts directory entries by a pattern of letters tried in order until one decides:
// t type, o ordinal, e ext, l location, i item length, d data length; lower case
// ascending, upper case descending. Other letters are ignored; ties keep their order.
// Each entry travels with its directory index.
struct IndexedEntry {
    uint32_t index;
    zelnvm_directory_entry_t entry;
};
void sort_nvm_entries(std::vector<IndexedEntry>& entries, const std::string& pattern);

// The position of an entry whose NVM range shares a byte with that of the entry at
// `index`, or -1. Deleted entries and entries without allocation take no room.
int overlapping_entry(const std::vector<zelnvm_directory_entry_t>& entries, size_t index);

// list, view or verify (parsed.command) on the selected device.
report::Report nvm_device_command(ParsedCommand& parsed, const NvmListArgs& args);

}  // namespace zelt::cli
