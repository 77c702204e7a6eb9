#include "cli/device_commands/factory_defaults_command.h"

#include <cstdio>

#include "cli/device_commands/feature_report.h"
#include "cli/install/user_answer.h"
#include "device/features/factory_defaults.h"

namespace zelt::cli {

namespace {

using report::Report;

void outcome(Report& r, const char* what) { r.data()["outcome"] = what; }

}  // namespace

FactoryDefaultsArgs FactoryDefaultsArgs::from(const ScanOptions& scan, const ParsedCommand&) {
    return {.yes = scan.prompt};
}

Report restore_factory_defaults_command(ParsedCommand& parsed, const FactoryDefaultsArgs& args) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    outcome(r, "failed");
    if (!feature::on_newest_family(*dev)) {
        outcome(r, "not_supported");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Restore Factory Defaults doesn't support on this hardware\n");
        return r.ends(feature::kNotOnThisHardware);
    }
    if (!args.yes) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Do you want to continue (Y/N)?");
        std::fflush(stdout);
        switch (zeltnvm_read_answer()) {
            case zelt_answer::yes: zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "User input yes\n"); break;
            case zelt_answer::no: outcome(r, "declined"); return r.ends(1);
            case zelt_answer::other:
                outcome(r, "declined");
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid input value. Exiting\n");
                return r.ends(1);
        }
    }
    bool restored = false;
    const Result rc = device::zelt_restore_nvm_factory_defaults(dev->function, &restored);
    if (!rc.ok() || !restored) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to Restore NVM Factory Defaults\n");
        return rc.ok() ? r.ends(1) : r.ends(rc);
    }
    outcome(r, "restored");
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "Restored NVM Factory Defaults. A system reboot is needed to take effect.\n");
    return r.ends(0);
}

}  // namespace zelt::cli
