// The install command's handler: runs the install command and returns its report,
// with every adapter it considered.
#pragma once

#include "cli/install/install_command.h"
#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

// The report's object for one adapter (see docs/json.md, "install").
report::Json install_adapter_object(const AdapterOutcome& adapter);

// install: takes its packages from the file arguments, else from the command word's
// pattern; without either (and without -online) there is nothing to install.
report::Report install_report(ParsedCommand& parsed, const InstallArgs& args);

}  // namespace zelt::cli
