// backup: saves the adapter's NVM items as a package file that install can put back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"
#include "common/directory_entry.h"

namespace zelt::cli {

struct BackupArgs {
    std::string file;                 // backup=<file>; empty: named after the function
    std::vector<std::string> params;  // the words after "backup" ("cfg")
    bool verify = true;               // -noverify clears it
    bool all = false;                 // -all: deleted entries too

    static BackupArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// Which directory entries a backup keeps.
enum class BackupKind { whole_nvm, system_cfg };

// True when the backup keeps the entry: a system-configuration backup only type 46;
// a whole backup every entry but the install log, crash-dump data, certificate alias
// and configuration CRC, only ordinal 0 of types 6, 47 and 61 to 63, and type 0 only
// with `all`.
bool backup_keeps_entry(const zelnvm_directory_entry_t& entry, BackupKind kind, bool all);

// The default file name of a backup: the MAC address text as twelve hex digits plus
// ".pkg" when it holds six bytes, else the device name plus ".pkg".
std::string backup_default_file_name(const char* mac_text, const char* device_name);

// The handler.
report::Report backup_command(ParsedCommand& parsed, const BackupArgs& args);

}  // namespace zelt::cli
