// Installing the package on one adapter, and the advice on how the new firmware takes
// effect.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/install/install_command.h"
#include "cli/install/update_messages.h"
#include "cli/command_table.h"
#include "cli/display_error.h"
#include "cli/package_commands.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "device/installer/adapter_update.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_item_version.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/item_version.h"
#include "log/print.h"
#include "package/package_reader.h"
#include "transport/function.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

constexpr int kFwSelfResetColdBoot = 3;

namespace installer = zelt::device::installer;

}  // namespace

int zeltnvm_install_failure_status(const char* file, const zelt::Result& result) {
    const int32_t rc = result.code();
    switch (rc) {
        case HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Package installation failed. Because firmware failed to update package due to "
                          "anti-rollback.\n");
            return 67;
        case HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Package installation failed. Because firmware update does not support voltage regulators "
                          "on the device.\n");
            return 73;
        case 3:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "\n\nThis operation does not have administrative privileges for given interface\n");
            return 10;
        case 17:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Package installation failed. Because Firmware resources are locked.\n");
            return 57;
        default: break;
    }
    if (installer::is_no_room(result)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Package installation failed, because NVM is fragmented. Please use -recovery option in the "
                      "install command to update the package file.\n");
        return 20;
    }
    if (rc < 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Install error %s\n", file, hvxretvalStringify(rc).c_str());
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                      "\n\nPackage installation failed. Please review debug log file for more information");
        return 11;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                  "Package installation failed. Please review debug log file for more information.\n");
    return 11;
}

std::string zeltnvm_get_pkg_dir_type_version(std::span<const uint8_t> pkg, int dir_type) {
    std::string version;
    zelpkg_manifest_header manifest{};
    if (zelpkgGetManifestHeader(pkg.data(), pkg.size(), &manifest) != 0) return version;
    // Records of zero bytes all read as the same record: one look is enough however
    // many the manifest claims. Longer records end where the package ends.
    const bool empty_records = manifest.item_metadata_length == 0 && manifest.item_direntry_length == 0;
    const uint32_t count = empty_records ? std::min<uint32_t>(manifest.items, 1) : manifest.items;
    for (uint32_t i = 0; i < count; ++i) {
        zelpkg_manifest_item_t item{};
        if (zelpkgGetItem(pkg.data(), pkg.size(), i, &item) != 1) return version;
        if (item.direntry.type != dir_type) continue;
        if (!zelpkgItemDataInBounds(pkg.data(), pkg.size(), item.direntry)) return version;
        char text[128] = {};
        if (zeltnvmGetItemBufVersionString(item.direntry.type, pkg.data() + item.direntry.item_location,
                                           item.direntry.data_length, 0, text, sizeof text, item.direntry.attr) == 0)
            version = text;
        return version;
    }
    return version;
}

zelt::cli::PendingAction zeltnvm_pending_action(const zelt::device::InventoryFunction& device,
                                               const zelt::cli::ChosenPackage& package, int cfg_pkg,
                                               const char** message) {
    using zelt::cli::PendingAction;
    const int known_type = zelt::device::device_type_of(device);
    const uint16_t type = known_type < 0 ? 0 : static_cast<uint16_t>(known_type);
    std::string pkg_pcie;
    char nvm_pcie[128] = {};
    if (type <= 5) {
        pkg_pcie = zeltnvm_get_pkg_dir_type_version(package.bytes, ZEL_DIR_TYPE_PCIE);
        (void)zelt::device::zeltnvmGetItemVersionString(device.function, ZEL_DIR_TYPE_PCIE, 0, 0, 0, nvm_pcie,
                                                        sizeof nvm_pcie);
    }
    const char* kConfigColdBoot = "A system cold boot is needed for configuration package update to take effect.\n";
    const char* kFirmwareColdBoot = "A system cold boot is needed for firmware update to take effect.\n";
    const char* ignored = nullptr;
    const char*& say = message ? *message : ignored;
    say = nullptr;
    uint8_t selfrst = 0;
    if (type >= 8) {
        if (cfg_pkg) {
            say = kConfigColdBoot;
            return PendingAction::kColdBoot;
        }
        (void)zeltnvmFwQueryStatus(device.function, 0, 0, &selfrst);
    } else if (type <= 5 && cfg_pkg) {
        say = kConfigColdBoot;
        return PendingAction::kColdBoot;
    }
    if (selfrst == kFwSelfResetColdBoot) {
        say = kFirmwareColdBoot;
        return PendingAction::kColdBoot;
    }
    if (type <= 5 && !pkg_pcie.empty() && pkg_pcie != nvm_pcie) {
        say = kFirmwareColdBoot;
        return PendingAction::kColdBoot;
    }
    if (package.livepatch) return PendingAction::kNone;
    say = "A system reboot is needed for firmware update to take effect.\n";
    return PendingAction::kReboot;
}

zelt::cli::PendingAction print_reboot_message(const zelt::device::InventoryFunction& device,
                                              const zelt::cli::ChosenPackage& package, int cfg_pkg) {
    const char* message = nullptr;
    const zelt::cli::PendingAction action = zeltnvm_pending_action(device, package, cfg_pkg, &message);
    if (message) zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s", message);
    return action;
}

int zeltnvm_invoke_firmware_update(const zelt::device::Inventory& inventory, zelt_update_row& row,
                                   const zelt::cli::InstallArgs& args, zelt::cli::AdapterOutcome& outcome) {
    const char* file = row.package.file.c_str();
    const int cfg_pkg = row.cfg_pkg;
    // The bytes verified when the package was chosen, not the file as it is now.
    const std::span<const uint8_t> pkg = row.package.bytes;

    installer::UpdateTarget target;
    target.inventory = &inventory;
    target.function = row.target;
    target.device_id = row.device_id;
    target.install_type = static_cast<uint32_t>(args.type);
    target.recovery = args.recovery;
    target.force = args.force;
    target.cfg_pkg = cfg_pkg != 0;
    UpdateMessages messages(args.recovery);
    if (row.recovery) {
        target.inventory = &row.recovery->inventory;
        target.function = &row.recovery->function();
    }
    installer::AdapterUpdate update(target, std::move(row.saved), messages, std::move(row.recovery));

    // What the recovery could not bring back, whichever way the update ends.
    struct TellLost {
        const installer::AdapterUpdate& update;
        zelt::cli::AdapterOutcome& outcome;
        ~TellLost() {
            outcome.lost.clear();
            for (const std::string& piece : update.lost()) outcome.lost += (outcome.lost.empty() ? "" : "; ") + piece;
        }
    } tell_lost{update, outcome};

    outcome.attempted = true;
    if (const zelt::Result prepared = update.prepare(pkg); !prepared.ok()) {
        outcome.result = prepared;
        return prepared.code();
    }
    const zelt::Result rc = update.install(pkg, row.package.bytes.snapshot());
    outcome.result = rc;
    if (installer::is_busy(rc)) return zeltnvm_display_error_msg(CMD_INSTALL, rc.code());
    if (!rc.ok()) return zeltnvm_install_failure_status(file, rc);

    outcome.completed = true;
    if (cfg_pkg && !args.recovery)
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nConfiguration package update is completed.\n");
    else
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nFirmware update is completed.\n");
    if (args.recovery) {
        // The recovery resets the adapter itself, unless its BAR2 size changed.
        const zelt::Result status = update.finish_recovery(row.package.onboard_cfg_required);
        if (messages.cold_boot_needed()) outcome.action = zelt::cli::PendingAction::kColdBoot;
        else if (!status.ok()) outcome.action = zelt::cli::PendingAction::kReset;
        if (!status.ok()) outcome.result = status;
        return status.code();
    }
    outcome.action = print_reboot_message(*row.target, row.package, cfg_pkg);
    return 0;
}

}  // namespace zelt::cli
