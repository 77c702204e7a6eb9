#include "cli/report/command_report.h"

#include "cli/command_registry.h"

namespace zelt::cli::report {

Report open_report(const ParsedCommand& parsed) { return parsed.context->output.report(command_word(parsed.command)); }

int hand_in(ParsedCommand& parsed, Report&& report) {
    const int code = report.result().code();
    parsed.run->absorb(std::move(report));
    return code;
}

}  // namespace zelt::cli::report
