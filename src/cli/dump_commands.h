// The dump commands: coredump (the firmware's core dump, live or the crash dump kept
// in host memory) and dscdump (SerDes diagnostic data of one lane). Both write their
// file into the working directory.
#pragma once

#include <string>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct CoredumpArgs {
    // "ddr": the crash dump kept in host memory instead of a live dump.
    bool ddr = false;
    // Any other argument after the command word (refused).
    std::string other;

    static CoredumpArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

zelt::cli::report::Report zeltnvm_coredump_command(ParsedCommand& parsed, const CoredumpArgs& args);

struct DscdumpArgs {
    std::string lane;   // as typed
    std::string level;  // as typed; empty: every level

    static DscdumpArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

zelt::cli::report::Report zeltnvm_dscdump_command(ParsedCommand& parsed, const DscdumpArgs& args);

}  // namespace zelt::cli
