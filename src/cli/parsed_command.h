// One command as the argument scan parsed it: what every command handler receives.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "cli/command_table.h"
#include "cli/run_context.h"
#include "cli/scan_options.h"
#include "device/inventory.h"

namespace zelt::cli {

namespace report {
class Output;
class Report;
}  // namespace report

struct ParsedCommand {
    int command = CMD_NONE;
    // The run's context: host, output, lock settings, verbosity (never nullptr once the
    // scan has started).
    RunContext* context = nullptr;
    // The run's adapters and functions (never nullptr once the scan has started).
    const device::Inventory* inventory = nullptr;
    // The selected function: named by -dev=, or the single adapter's function taken for
    // a command that needs one; nullptr when none is selected.
    const device::InventoryFunction* device = nullptr;
    // The selected function's name as the run's texts show it (the debug trace, the
    // taken -dev= selector): the name typed when it named the function, else the
    // function's own name. Commands reach the function through `device`.
    std::string device_name;
    // True when `device` was taken because -dev= was missing.
    bool device_taken = false;
    // The command line after the program name, as typed. Option texts the scan keeps
    // (the command word's argument, -sort=) point into these strings, so the list never changes after
    // the scan starts.
    std::vector<std::string> words;
    // Position of the command word in `words` (valid once `command` is set).
    std::size_t word_index = 0;
    // What followed the command word, as typed (options included: some handlers read
    // flags such as -margin by position).
    std::vector<std::string> args;
    // The file arguments and the matches of a file pattern, at most ZELT_MAX_FILES.
    std::vector<std::string> files;
    // The run's report, which takes in each handler's report (handlers open theirs on
    // the context's output).
    report::Report* run = nullptr;

    ParsedCommand() = default;
    void select(const device::InventoryFunction& function, std::string shown_name) {
        device = &function;
        device_name = std::move(shown_name);
    }
    ParsedCommand(const ParsedCommand&) = delete;
    ParsedCommand& operator=(const ParsedCommand&) = delete;
};

}  // namespace zelt::cli
