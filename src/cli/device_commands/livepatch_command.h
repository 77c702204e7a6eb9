// livepatch: shows the live-patch versions of the adapter's firmware, activates or
// deactivates a patch, or sends a patch image from a package or image file to the
// firmware without storing it in the NVM.
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct LivepatchArgs {
    std::vector<std::string> words;  // the words after the command word

    static LivepatchArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report livepatch_command(ParsedCommand& parsed, const LivepatchArgs& args);

}  // namespace zelt::cli
