// prbs_test: starts or stops the PRBS test on the SerDes lanes of the selected
// function's port; with a duration, waits that long and stops it again.
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct PrbsArgs {
    std::vector<std::string> words;  // the words after the command word

    static PrbsArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report prbs_test_command(ParsedCommand& parsed, const PrbsArgs& args);

}  // namespace zelt::cli
