#include "cli/device_commands/fw_sync_command.h"

#include <cstdint>

#include "cli/command_table.h"
#include "cli/device_commands/feature_report.h"
#include "device/reset/device_reset.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

using report::Report;

// The boot action the firmware status query reports as pending.
constexpr uint8_t kDeviceResetPending = 1;
// Result when the images already match.
constexpr int kAlreadySynchronised = 43;
// Synchronisation status words: the adapter is between firmware versions, and the
// bits that mean the synchronisation did not complete.
constexpr uint32_t kSyncInTransition = 0xC0000003;
constexpr uint32_t kSyncFailedBits = 0x40000003;

void outcome(Report& r, const char* what) { r.data()["outcome"] = what; }

// A pending boot action forbids the synchronisation; its message, or nullptr.
const char* pending_message(uint8_t status) {
    switch (status) {
        case kDeviceResetPending:
            return "Device reset is pending. Please reset the device before executing fw_sync command.\n";
        case device::ZELT_FW_STATUS_REBOOT_PENDING:
            return "System reboot is pending. Please reboot the system before executing fw_sync command.\n";
        case device::ZELT_FW_STATUS_COLD_BOOT_PENDING:
            return "System cold boot is pending. Please cold boot the system before executing fw_sync command.\n";
        default: return nullptr;
    }
}

const char* pending_outcome(uint8_t status) {
    switch (status) {
        case kDeviceResetPending: return "reset_pending";
        case device::ZELT_FW_STATUS_REBOOT_PENDING: return "reboot_pending";
        default: return "cold_boot_pending";
    }
}

}  // namespace

Report fw_sync_command(ParsedCommand& parsed) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    outcome(r, "failed");
    uint8_t boot = 0;
    Result rc = transport::zeltnvmFwQueryStatus(dev->function, 0, 1, &boot);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to query fw boot status, rc = %d\n", rc.code());
        return feature::failed(r, CMD_FWSYNC, Result::tool(1));
    }
    if (const char* message = pending_message(boot)) {
        outcome(r, pending_outcome(boot));
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%s", message);
        return r.ends(0);
    }
    if (!feature::on_newest_family(*dev)) {
        outcome(r, "not_supported");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "fw_sync is not supported on this hardware\n");
        return r.ends(feature::kNotOnThisHardware);
    }
    uint32_t fw_status = 0;
    rc = transport::zelt_check_sync_status(dev->function, &fw_status);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to query the sync status, rc = %d\n", rc.code());
        return feature::failed(r, CMD_FWSYNC, Result::tool(1));
    }
    if ((fw_status & device::ZELT_FW_STATUS_UNSYNCED_MASK) == 0) {
        outcome(r, "already_synchronized");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "FW images are already synchronized\n");
        return r.ends(kAlreadySynchronised);
    }
    uint32_t sync_status = 0;
    rc = transport::zelt_sync_fw(dev->function, &sync_status);
    if (!rc.ok()) return feature::failed(r, CMD_FWSYNC, rc);
    if (sync_status == kSyncInTransition) {
        outcome(r, "in_transition");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Error: System is in transition state. Please reset/reboot before performing a fw_sync\n");
        return r.ends(1);
    }
    // A status with failure bits is a failed synchronisation, not a success.
    if (sync_status & kSyncFailedBits) return feature::failed(r, CMD_FWSYNC, Result::tool(1));
    outcome(r, "synchronized");
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command executed successfully.\n");
    return r.ends(0);
}

}  // namespace zelt::cli
