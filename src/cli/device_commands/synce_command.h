// get_sync_ethernet shows the synchronous Ethernet configuration; set_sync_ethernet
// [frequency_profile <P>] [primary_clock_state <S>] [secondary_clock_state <S>]
// changes it.
#pragma once

#include <string>
#include <vector>

#include "cli/device_commands/argument_refusal.h"
#include "device/features/synce.h"

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

// The words after the command word, -json left out.
struct SynceArgs {
    std::vector<std::string> words;

    static SynceArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// The argument checks of set_sync_ethernet, made before anything is sent.
CheckedArguments<device::SynceSettings> check_set_sync_ethernet_args(const std::vector<std::string>& words);

report::Report get_sync_ethernet_command(ParsedCommand& parsed, const SynceArgs& args);
report::Report set_sync_ethernet_command(ParsedCommand& parsed, const SynceArgs& args);

}  // namespace zelt::cli
