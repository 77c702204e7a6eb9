// saveoptions: writes a shell script whose setoption lines put the adapter's savable NVM
// options back, on this adapter or on another one of the same kind.
#pragma once

#include <string>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct SaveOptionsArgs {
    std::string file;  // the script to write; empty when none was given

    static SaveOptionsArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report saveoptions_command(ParsedCommand& parsed, const SaveOptionsArgs& args);

}  // namespace zelt::cli
