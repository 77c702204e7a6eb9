// add_ntuple_filter and free_ntuple_filter: create an n-tuple flow filter on
// the selected function and remove it again by the id the creation printed.
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

// The words after the command word, as typed.
struct NtupleFilterArgs {
    std::vector<std::string> words;

    static NtupleFilterArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// add_ntuple_filter <MAC> <port> <port mask> <vf index> <ip type>
report::Report add_ntuple_filter_command(ParsedCommand& parsed, const NtupleFilterArgs& args);
// free_ntuple_filter <filter id>
report::Report free_ntuple_filter_command(ParsedCommand& parsed, const NtupleFilterArgs& args);

}  // namespace zelt::cli
