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

namespace {

constexpr int kFwSelfResetColdBoot = 3;

namespace installer = zelt::device::installer;

}  // namespace

int zeltnvm_install_failure_status(const char* file, int32_t rc) {
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
    if (installer::is_no_room(installer::install_result(rc))) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Package installation failed, because NVM is fragmented. Please use -recovery option in the "
                      "install command to update the package file.\n");
        return 20;
    }
    if (rc < 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Install error %s\n", file, hvxretvalStringify(rc));
        std::printf("\n\nPackage installation failed. Please review debug log file for more information");
        std::fflush(stdout);
        return 11;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                  "Package installation failed. Please review debug log file for more information.\n");
    return 11;
}

void zeltnvm_get_pkg_dir_type_version(const char*, std::string& version, int dir_type, const char* file,
                                      const options*) {
    version.clear();
    std::vector<uint8_t> pkg;
    if (zelpkgReadPackage(file, pkg) != 0) return;
    zelpkg_manifest_header manifest{};
    if (zelpkgGetManifestHeader(pkg.data(), pkg.size(), &manifest) != 0) return;
    // Records of zero bytes all read as the same record: one look is enough however
    // many the manifest claims. Longer records end where the package ends.
    const bool empty_records = manifest.item_metadata_length == 0 && manifest.item_direntry_length == 0;
    const uint32_t count = empty_records ? std::min<uint32_t>(manifest.items, 1) : manifest.items;
    for (uint32_t i = 0; i < count; ++i) {
        zelpkg_manifest_item_t item{};
        if (zelpkgGetItem(pkg.data(), pkg.size(), i, &item) != 1) return;
        if (item.direntry.type != dir_type) continue;
        if (!zelpkgItemDataInBounds(pkg.data(), pkg.size(), item.direntry)) return;
        char text[128] = {};
        if (zeltnvmGetItemBufVersionString(item.direntry.type, pkg.data() + item.direntry.item_location,
                                           item.direntry.data_length, 0, text, sizeof text, item.direntry.attr) == 0)
            version = text;
        return;
    }
}

void print_reboot_message(const zelt::device::InventoryFunction& device, const char* file, const options* opts,
                          int cfg_pkg) {
    const char* dev = device.name();
    const int known_type = zelt::device::device_type_of(device);
    const uint16_t type = known_type < 0 ? 0 : static_cast<uint16_t>(known_type);
    std::string pkg_pcie;
    char nvm_pcie[128] = {};
    if (type <= 5) {
        zeltnvm_get_pkg_dir_type_version(dev, pkg_pcie, ZEL_DIR_TYPE_PCIE, file, opts);
        (void)zelt::device::zeltnvmGetItemVersionString(device.function, ZEL_DIR_TYPE_PCIE, 0, 0, 0, nvm_pcie, sizeof nvm_pcie);
    }
    const char* kConfigColdBoot = "A system cold boot is needed for configuration package update to take effect.\n";
    const char* kFirmwareColdBoot = "A system cold boot is needed for firmware update to take effect.\n";
    uint8_t selfrst = 0;
    if (type >= 8) {
        if (cfg_pkg) {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s", kConfigColdBoot);
            return;
        }
        (void)zeltnvmFwQueryStatus(device.function, 0, 0, &selfrst);
    } else if (type <= 5 && cfg_pkg) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s", kConfigColdBoot);
        return;
    }
    if (selfrst == kFwSelfResetColdBoot) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s", kFirmwareColdBoot);
        return;
    }
    if (type <= 5 && !pkg_pcie.empty() && pkg_pcie != nvm_pcie) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s", kFirmwareColdBoot);
        return;
    }
    if (livepatch_pkg_file) {
        livepatch_pkg_file = false;
        return;
    }
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "A system reboot is needed for firmware update to take effect.\n");
}

int zeltnvm_invoke_firmware_update(const zelt::device::Inventory& inventory, zelt_update_row& row, const char* file,
                                   options* opts, int cfg_pkg) {
    std::vector<uint8_t> pkg;
    const int32_t read = zelpkgReadPackage(file, pkg);
    if (read != 0) {
        if (read < -99)
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "\nPackage %s read error: %s\n", file, hvxretvalStringify(read));
        else
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "\nPackage %s unsupported: %s\n", file, hvxretvalStringify(read));
        return zeltnvm_install_failure_status(file, read);
    }

    installer::UpdateTarget target;
    target.inventory = &inventory;
    target.function = row.target;
    target.device_id = row.device_id;
    target.install_type = static_cast<uint32_t>(opts->type);
    target.recovery = opts->recovery;
    target.force = opts->force;
    target.cfg_pkg = cfg_pkg != 0;
    UpdateMessages messages(opts->recovery);
    installer::AdapterUpdate update(target, std::move(row.saved), messages);

    if (const zelt::Result prepared = update.prepare(pkg); !prepared.ok()) return prepared.code();
    const zelt::Result rc = update.install(pkg);
    pkg = {};
    if (installer::is_busy(rc)) return zeltnvm_display_error_msg(CMD_INSTALL, rc.code());
    if (!rc.ok()) return zeltnvm_install_failure_status(file, rc.code());

    if (cfg_pkg && !opts->recovery)
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nConfiguration package update is completed.\n");
    else
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nFirmware update is completed.\n");
    if (opts->recovery) {
        const zelt::Result status = update.finish_recovery(onboard_cfg_pkg_required);
        onboard_cfg_pkg_required = false;
        return status.code();
    }
    print_reboot_message(*row.target, file, opts, cfg_pkg);
    return 0;
}
