#include "cli/reset_command.h"

#include <cstdio>

#include "common/hvxretval.h"
#include "cli/install/user_answer.h"
#include "device/discovery.h"
#include "device/discovery_lookup.h"
#include "device/reset/device_reset.h"
#include "cli/report/command_report.h"
#include "log/print.h"
#include "transport/function.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

using zelt::cli::report::Json;
using zelt::cli::report::Report;

// What the reset came to, and what the administrator still has to do ("action").
void outcome(Report& r, const char* what, const char* action) {
    r.data()["outcome"] = what;
    r.data()["action"] = action ? Json(action) : Json(nullptr);
}

// What the console shows while the adapter is reset and checked.
class ResetMessages final : public zelt::device::ResetObserver {
public:
    void resetting() override {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\nResetting the adapter. Please wait for few seconds...");
        std::fflush(stdout);
    }
    void reset_failed() override {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\n\nDevice Hot Reset failed.\n\n");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Manual system reboot is needed for reset to take effect.\n");
    }
    void reset_completed() override {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nDevice Hot Reset Completed Successfully.\n");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "States of NIC resources including rings, filters, and flows need to be reinstated.\n\n");
    }
    void pfs_not_back(int loaded, int expected) override {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%d out of %d physical functions loaded successfully\n", loaded,
                      expected);
    }
    void vfs_not_back(int registered, int total) override {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%d out of %d virtual functions loaded successfully\n",
                      registered, total);
    }
    void not_synchronised() override {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "FW synchronization failed.\nPlease reboot the system for firmware synchronization to take "
                      "effect\n");
    }
};

int reset(zelt::cli::ParsedCommand& parsed, const ResetArgs& args, Report& r) {
    // The selected function, else the first one discovered.
    const zelt::device::InventoryFunction* target = parsed.device;
    if (!target && !parsed.inventory->functions.empty()) target = &parsed.inventory->functions.front();
    if (!target) {
        outcome(r, "failed", nullptr);
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "specified device not found\n");
        return ZELT_RC_DEVICE_NOT_FOUND;
    }
    r.data()["device"] = zelt::cli::report::function_object(*target);
    outcome(r, "failed", "reboot");
    uint8_t status = 0;
    if (!zeltnvmFwQueryStatus(target->function, 0, 1, &status).ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to query fw reboot status.\n");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\n\nDevice Hot Reset failed.\n\n");
        return 1;
    }
    if (status == zelt::device::ZELT_FW_STATUS_REBOOT_PENDING) {
        outcome(r, "reboot_pending", "reboot");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "System reboot is pending. Please reboot the system before resetting the device.\n");
        return 0;
    }
    if (status == zelt::device::ZELT_FW_STATUS_COLD_BOOT_PENDING) {
        outcome(r, "cold_boot_pending", "cold_boot");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "System cold boot is pending. Please cold boot the system before resetting the device.\n");
        return 0;
    }

    zelt::device::zelt_nvm_pci_info info;
    zelt::device::zelt_fill_reset_info(*parsed.inventory, *target, &info);
    int rc = 0;

    int hot = 0;
    rc = zelt::device::zelt_check_hotfw_supported(info.function, &hot).code();
    if (rc != 0) {
        outcome(r, "not_supported", "reboot");
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to get the reset flags from the firmware and status = %d\n",
                      rc);
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "\n\nDevice reset is not supported by one or more installed components in the system.\n");
        return 2;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "ishotfw = %d\n", hot);

    if (hot) {
        int multi_host = 0;
        int multi_root = 0;
        (void)zelt_query_host_type(target->function, &multi_host, &multi_root);
        if (multi_host && !args.yes) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nPerforming Device Reset on Multi Host Device\n");
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\nDo you want to continue (Y/N)?");
            switch (zeltnvm_read_answer()) {
                case zelt_answer::no: outcome(r, "declined", nullptr); return 0;
                case zelt_answer::yes: zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "User input yes\n"); break;
                case zelt_answer::other:
                    outcome(r, "declined", nullptr);
                    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid input value.\n");
                    return 1;
            }
        }
        ResetMessages messages;
        const int hot_rc = zelt::device::zeltnvm_device_reset(&info, messages).code();
        if (hot_rc == 0) outcome(r, "reset", nullptr);
        return hot_rc;
    }

    // The reset goes to function 0 of the device.
    const zelt::Result reset = zelt::device::zelt_hot_fw_reset(zelt::device::zelt_reset_function_zero(info), 0);
    rc = reset.code();
    if (reset.origin() == zelt::Origin::kFirmware && reset.cmd_err() == 0 &&
        reset.error_code() == ZELT_RC_NOT_SUPPORTED) {
        outcome(r, "not_supported", "reboot");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Device reset is not supported by the hardware.\n");
        return 2;
    }
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Device reset failed. Manual system reboot is needed.\n");
        return 78;
    }
    outcome(r, "reset_issued", "reload_drivers");
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Device reset issued successfully.\n");
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Please reload the Orvanta drivers for reset to take effect.\n");
    return 0;
}

}  // namespace

ResetArgs ResetArgs::from(const zelt::cli::ScanOptions& scan, const zelt::cli::ParsedCommand&) {
    return {.yes = scan.prompt};
}

Report zeltnvm_reset_command(zelt::cli::ParsedCommand& parsed, const ResetArgs& args) {
    Report r = zelt::cli::report::open_report(parsed);
    return r.ends(reset(parsed, args, r));
}

}  // namespace zelt::cli
