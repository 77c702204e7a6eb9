// Working storage of one argument scan, shared by the parts of the front end.
#pragma once

#include <optional>
#include <string>

#include "cli/parsed_command.h"

namespace zelt::cli {

struct ScanState {
    // What the scan has parsed so far; handed to the command's handlers.
    ParsedCommand parsed;
    // What the options said; each command's row parses its arguments from it.
    ScanOptions opts;

    // Adds a file unless the list is full; reports a full list with `full_message`
    // (which takes the limit) and returns false then.
    bool add_file(const std::string& path, const char* full_message);
};

// What one step of the scan decided: nothing (go on) or the run's result.
using StepResult = std::optional<int>;

// One option (a word beginning with '-') at `index` of the command line.
StepResult scan_option(ScanState& s, std::size_t index);
// The command word at `index` of the command line.
StepResult scan_command_word(ScanState& s, std::size_t index);
// The directory type list printed for -type=? and an empty -type=.
void print_directory_type_list();
// Hands the verbosity and -debug read so far to the run context.
void take_run_flags(ScanState& s);
// Runs the command after the scan; returns its result code, which its report holds.
int dispatch_command(ScanState& s);

}  // namespace zelt::cli
