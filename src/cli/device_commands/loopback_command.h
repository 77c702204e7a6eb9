// loopback [phy_remote/phy_local/mac_local/external/disable]: shows the loopback mode
// of the selected function's port, or sets one.
#pragma once

#include <string>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct LoopbackArgs {
    std::string mode;  // the mode word as typed, "" for a query

    static LoopbackArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report zeltnvm_loopback_command(ParsedCommand& parsed, const LoopbackArgs& args);

}  // namespace zelt::cli
