// vf <index> trust [enable/disable]: shows or sets whether a virtual function of the
// selected physical function is trusted.
#pragma once

#include <string>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct VfArgs {
    std::string index;  // the VF index as typed
    std::string value;  // "enable", "disable", another word, or "" for a query

    static VfArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report zeltnvm_vf_command(ParsedCommand& parsed, const VfArgs& args);

}  // namespace zelt::cli
