// The reset command: resets the selected adapter's firmware so that newly installed
// firmware runs.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

// The arguments of reset.
struct ResetArgs {
    // -y: no question before the reset of a multi-host adapter.
    bool yes = false;

    static ResetArgs from(const zelt::cli::ScanOptions& scan, const zelt::cli::ParsedCommand& parsed);
};

// reset on the selected device (the single adapter's when none is selected).
zelt::cli::report::Report zeltnvm_reset_command(zelt::cli::ParsedCommand& parsed, const ResetArgs& args);

}  // namespace zelt::cli
