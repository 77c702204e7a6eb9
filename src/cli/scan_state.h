// Working storage of one argument scan, shared by the parts of the front end.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/options_record.h"

namespace zelt::cli {

struct ScanState {
    options opts{};
    // Copy of the argument vector; the implicit -dev= insertion rewrites it.
    std::unique_ptr<char[][ZELT_ARG_LEN]> args = std::make_unique<char[][ZELT_ARG_LEN]>(ZELT_MAX_ARGS);
    int argc = 0;
    std::vector<std::string> files;  // at most ZELT_MAX_FILES
    const char* device = nullptr;    // selected device name
    int command = CMD_NONE;
    bool* caller_debug = nullptr;
    int save_opts_count = 0;
    // Result of a command run at its word while the scan goes on.
    int kept_result = 0;

    // Adds a file unless the list is full; reports a full list with `full_message`
    // (which takes the limit) and returns false then.
    bool add_file(const std::string& path, const char* full_message);
    // The file list as the handlers take it (valid while `files` is unchanged).
    std::vector<char*> file_pointers();
};

// What one step of the scan decided: nothing (go on) or the run's result.
using StepResult = std::optional<int>;

// One option (an argument beginning with '-') at `index`.
StepResult scan_option(ScanState& s, int index);
// The command word at `index`; the index moves when -dev= is inserted before it.
StepResult scan_command_word(ScanState& s, int& index);
// The directory type list printed for -type=? and an empty -type=.
void print_directory_type_list();
// Runs the command after the scan.
int dispatch_command(ScanState& s);

}  // namespace zelt::cli
