// The time-synchronisation pin commands of the newest chip family:
//   tsio_function_pin [<pin> <enable/disable> <usage>]  shows the pins or sets one,
//   duty_cycle period <ns> up <ns>                      shapes the outgoing signal,
//   dll_source source <0-4> frequency <0-3>             picks the clock's DLL source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/device_commands/argument_refusal.h"

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

// The words after the command word, -json left out.
struct TsioArgs {
    std::vector<std::string> words;

    static TsioArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// The argument checks, made before anything is sent.
struct TsioPinRequest {
    bool set = false;  // false: show the pins
    unsigned pin = 0;
    bool enable = false;
    uint8_t usage = 0;
    std::string usage_word;
};
CheckedArguments<TsioPinRequest> check_tsio_function_pin_args(const std::vector<std::string>& words);

struct DutyCycleRequest {
    uint32_t period_ns = 0;
    uint32_t up_ns = 0;
};
CheckedArguments<DutyCycleRequest> check_duty_cycle_args(const std::vector<std::string>& words);

struct DllSourceRequest {
    uint8_t source = 0;
    uint8_t frequency = 0;
};
CheckedArguments<DllSourceRequest> check_dll_source_args(const std::vector<std::string>& words);

report::Report tsio_function_pin_command(ParsedCommand& parsed, const TsioArgs& args);
report::Report duty_cycle_command(ParsedCommand& parsed, const TsioArgs& args);
report::Report dll_source_command(ParsedCommand& parsed, const TsioArgs& args);

}  // namespace zelt::cli
