// restore_factory_defaults: returns the adapter's NVM configuration options to their
// factory values (they take effect after a reboot).
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct FactoryDefaultsArgs {
    // -y: no confirmation question.
    bool yes = false;
    static FactoryDefaultsArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report restore_factory_defaults_command(ParsedCommand& parsed, const FactoryDefaultsArgs& args);

}  // namespace zelt::cli
