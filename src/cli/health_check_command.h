// device_health_check: whether the selected adapter's firmware runs and its NVM still
// holds redundant, matching boot images.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct HealthCheckArgs {
    // -v: every finding with its explanation.
    bool verbose = false;

    static HealthCheckArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report zeltnvm_device_health_check_command(ParsedCommand& parsed, const HealthCheckArgs& args);

}  // namespace zelt::cli
