// mh_pf_alloc: shows or sets how many physical functions each host endpoint of a
// multi-host adapter gets (a new allocation takes effect after a cold boot).
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct MhPfAllocArgs {
    std::vector<std::string> counts;  // the four counts as typed; none for a query

    static MhPfAllocArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report mh_pf_alloc_command(ParsedCommand& parsed, const MhPfAllocArgs& args);

}  // namespace zelt::cli
