// fw_sync: brings the primary and secondary firmware images of the adapter back in
// step.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

report::Report fw_sync_command(ParsedCommand& parsed);

}  // namespace zelt::cli
