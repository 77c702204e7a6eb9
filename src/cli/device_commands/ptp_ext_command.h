// get_ptp_extended shows which functions hold the adapter's PTP hardware clock and
// its take-over history; set_ptp_extended <name> <value>... changes the master and
// secondary functions, the secondary's mode and the failover timer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/device_commands/argument_refusal.h"

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

// The words after the command word, -json left out.
struct PtpExtArgs {
    std::vector<std::string> words;

    static PtpExtArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// A function the set names: a PF, or VF `vf` of PF `pf`.
struct PtpFunction {
    int pf = 0;
    std::optional<int> vf;
};

struct PtpExtRequest {
    std::optional<PtpFunction> master;
    std::optional<PtpFunction> secondary;
    std::optional<uint8_t> secondary_mode;
    std::optional<std::string> secondary_mode_word;
    std::optional<uint32_t> failover_timer_ms;
};

// The argument checks of set_ptp_extended, made before anything is sent, against the
// adapter's PFs given as their active VF counts in PF order.
CheckedArguments<PtpExtRequest> check_set_ptp_extended_args(const std::vector<std::string>& words,
                                                            std::span<const uint16_t> active_vfs);

report::Report get_ptp_extended_command(ParsedCommand& parsed, const PtpExtArgs& args);
report::Report set_ptp_extended_command(ParsedCommand& parsed, const PtpExtArgs& args);

}  // namespace zelt::cli
