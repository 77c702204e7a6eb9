// install -plan: everything the install does before it would write, for every adapter
// it considers, and what it would then do; nothing is written to any adapter, no option
// changes and no question is asked.
#pragma once

#include <string>

#include "cli/install/install_command.h"
#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

// What the versions around an adapter's update say. Every version is "a.b.c.d", ""
// when not known; a flag needs the versions it compares.
struct PlanFlags {
    bool downgrade = false;                 // the package is older than the NVM's package
    bool staged_not_active = false;         // an installed update waits for its reset or reboot
    bool nvm_differs_from_running = false;  // the NVM holds another package than the one running
};

// `running`: the running package's version; `nvm`: the version the NVM's install log
// names (the downgrade is judged against the running one when the log names none);
// `package`: the chosen package's; `activation_pending`: the firmware reports a reset,
// reboot or cold boot still to come.
PlanFlags plan_flags(const std::string& running, const std::string& nvm, const std::string& package,
                     bool activation_pending);

// install -plan into the install's report `r`, with the install's package files: runs
// the install up to where it would ask and write, adds what the plan found for each
// adapter, and returns the status the install would end with (0 when every adapter
// would be updated or is up to date).
int plan_install(report::Report& r, ParsedCommand& parsed, const InstallArgs& args, char** files, int count);

// The JSON word of what new firmware still needs (`reset`, `reboot`, `cold_boot`), null
// for nothing; shared by the install's and the plan's adapter objects.
report::Json install_action_json(PendingAction action);

// A text, or null when it is empty.
report::Json json_text_or_null(const std::string& text);

}  // namespace zelt::cli
