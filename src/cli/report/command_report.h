// Reports of the command handlers: opening one for the parsed command and handing it
// in to the run's report.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/output.h"
#include "cli/report/report.h"

namespace zelt::cli::report {

// Opens the report of the parsed command (its word) on the run's output.
Report open_report(const ParsedCommand& parsed);

// Hands a handler's report in to the run's report; returns the handler's result code
// (not yet cut to an exit status).
int hand_in(ParsedCommand& parsed, Report&& report);

// A handler that still returns only its result code, as a report handler: its
// messages are collected and its code becomes the result.
template <int (*handler)(ParsedCommand&)>
Report reported(ParsedCommand& parsed) {
    Report r = open_report(parsed);
    return r.ends(handler(parsed));
}

}  // namespace zelt::cli::report
