// The reset command: resets the selected adapter's firmware so that newly installed
// firmware runs.
#pragma once

#include "cli/parsed_command.h"

// reset on the selected device (the single adapter's when none is selected).
int zeltnvm_reset_command(zelt::cli::ParsedCommand& parsed);
