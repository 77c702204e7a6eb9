// resmgmt: shows, sets and saves the per-PF resource profile of a multi-function
// adapter (minimum and maximum bandwidth, RoCE maximum, maximum completion rings and
// the allocation strategy), each kept as a group of internal NVM options per PF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct ResMgmtArgs {
    // The words after "resmgmt" that are not options: the sub-command and its values.
    std::vector<std::string> words;

    static ResMgmtArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// A value typed for a PF, as the option stores it: a percentage with at most one
// decimal is its integer part x 100 + its tenths digit (12.5 -> 1205, 40 -> 4000); a
// count is the number itself.
struct ResValueParse {
    enum class Error { none, not_a_number, too_many_decimals, decimal_not_allowed };
    Error error = Error::none;
    uint32_t stored = 0;   // the encoded value
    uint32_t integer = 0;  // the integer part typed
};
// True when `text` is digits with at most one full stop, and not at its start.
bool res_value_text_ok(std::string_view text);
// Parses a typed value; `percentage` false for a count (no decimals allowed).
ResValueParse parse_res_value(std::string_view text, bool percentage);
// The text a stored percentage prints as: "12.5", or "40" for a whole number.
std::string res_percentage_text(uint32_t stored);

report::Report resmgmt_command(ParsedCommand& parsed, const ResMgmtArgs& args);

}  // namespace zelt::cli
