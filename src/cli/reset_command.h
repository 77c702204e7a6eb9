// The reset command: resets the selected adapter's firmware so that newly installed
// firmware runs.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"

// reset on the selected device (the single adapter's when none is selected).
zelt::cli::report::Report zeltnvm_reset_command(zelt::cli::ParsedCommand& parsed);
