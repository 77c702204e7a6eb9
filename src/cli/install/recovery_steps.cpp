// The identity steps of a -recovery installation around the package installation of
// one adapter. The identity itself was saved by the recovery preparation
// (zelt_nvm_save_identity_for_recovery); these steps write it back and report what
// could not be restored, so that the administrator can finish it by hand.
#include "cli/install/recovery_steps.h"

#include <algorithm>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/identity/identity.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "device/reset/device_reset.h"
#include "log/print.h"
#include "package/package_reader.h"

namespace {

// Writing the onboard configuration back before the installation failed; reported
// after it.
bool g_onboard_cfg_not_applied = false;

void console_error(const char* text) { zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", text); }

// Creates the staging item a -force recovery needs from the package's update record.
// 0 or the failing step's result.
int32_t create_staging_item(const char* dev, const uint8_t* pkg, uint32_t length) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                  "\nRecovery with -force option, creating the update directory in the NVM.\n");
    zelpkg_manifest_item_t record{};
    int32_t rc = zelpkgFindItem(pkg, length, ZEL_DIR_TYPE_UPDATE, 0, 0, &record);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to find the update directory in the given pkg file.\n");
        return rc;
    }
    const uint64_t rounded =
        (uint64_t{length} + ZELTNVM_STAGING_UNIT - 1) / ZELTNVM_STAGING_UNIT * ZELTNVM_STAGING_UNIT;
    const uint64_t size = std::max<uint64_t>(record.direntry.item_length, rounded);
    rc = size > UINT32_MAX ? HVXRETVAL_INVALID_LENGTH
                           : zeltnvmCreateItem(dev, ZEL_DIR_TYPE_UPDATE, 0, 0, ZELTNVM_STAGING_ATTR,
                                               static_cast<uint32_t>(size));
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to create the update directory.\n");
        console_error("\nDevice recovery process failed.\n");
        return rc;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\nCreated \"Update\" directory with size = 0x%x\n",
                  static_cast<uint32_t>(size));
    return 0;
}

// The reset that ends the recovery, unless the PCI BAR2 size changed: the new PCI
// configuration then takes effect only with a cold boot. The exit status.
int reset_after_recovery(const char* dev, const options* opts) {
    const zelt_saved_identity_t& s = zeltnvm_saved_identity;
    uint32_t now = 0;
    if (s.is_bar2_saved && zelt_nvm_get_pci_bar2_size(dev, &now) == 0 && now != s.zeltnvm_pci_bar2_size) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "\nPCI BAR2 size changed from %u to %u. A system cold boot is needed for firmware update to "
                      "take effect.\n",
                      s.zeltnvm_pci_bar2_size, now);
        return 0;
    }
    zelt_nvm_pci_info info{};
    if (zelt_fill_reset_info(dev, &info) != 0) return 58;
    return zeltnvm_post_recovery(&info, opts->force);
}

}  // namespace

int zeltnvm_recovery_before_install(const zelt_update_row& row, const uint8_t* pkg, uint32_t length, options* opts) {
    const char* dev = row.name;
    zelt_saved_identity_t& s = zeltnvm_saved_identity;
    g_onboard_cfg_not_applied = false;
    if (opts->force && s.is_onboard_cfg_saved) {
        int rc = zelt_nvm_apply_onboard_cfg(dev, 0);
        if (s.onboard_cfg_dir_cnt == 2 && zelt_nvm_apply_onboard_cfg(dev, 2) != 0) rc = 1;
        g_onboard_cfg_not_applied = rc != 0;
        s.is_onboard_cfg_saved = false;
        s.onboard_cfg = zelt_saved_item{};
    }
    if (s.is_cert_chain_saved && zelt_nvm_apply_cert_nvm_dirs(dev, true, false) != 0)
        s.cert_chain_dir_not_applied = true;

    const int32_t lookup = zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr);
    if (lookup >= 0) return 0;
    if (!opts->force) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\nNVM not in health state. Please use recovery with -force option.\n");
        zelt_nvm_release_saved_identity();
        return lookup;
    }
    const int32_t rc = create_staging_item(dev, pkg, length);
    if (rc != 0) zelt_nvm_release_saved_identity();
    return rc;
}

int zeltnvm_recovery_after_install(const zelt_update_row& row, const char*, options* opts) {
    const char* dev = row.name;
    zelt_saved_identity_t& s = zeltnvm_saved_identity;
    zelt_nvm_apply_mf_mode_config(dev);
    if (g_onboard_cfg_not_applied)
        console_error("Failed to restore \"OnboardCfg\" directory. Please update \"OnboardCfg\" directory on the "
                      "device manually.\n");
    g_onboard_cfg_not_applied = false;
    const int mac = zelt_nvm_apply_mac();
    if (mac != 0 && mac != 1)
        console_error("Failed to restore mac address. Please reconfigure mac address manually.\n");
    if (s.is_cert_alias_saved && zelt_nvm_apply_cert_nvm_dirs(dev, false, true) != 0)
        console_error("Failed to restore the certificate alias. Please import the certificate alias manually.\n");
    if (s.is_fru_saved && zelt_nvm_apply_fru(dev) != 0)
        console_error("Failed to restore the FRU directory. Please reconfigure FRU directory manually.\n");

    const int status = reset_after_recovery(dev, opts);
    if (status == 0 && opts->force) zelt_nvm_restore_saved_vpd(dev, onboard_cfg_pkg_required);
    onboard_cfg_pkg_required = false;
    if (s.cert_chain_dir_not_applied)
        console_error("Failed to restore the certificate chain. Please import the certificate manually.\n");
    zelt_nvm_release_saved_identity();
    return status;
}
