// Updating the firmware of one adapter.
#include "device/installer/adapter_update.h"

#include <algorithm>
#include <cerrno>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "device/reset/device_reset.h"
#include "host/interrupt.h"
#include "log/print.h"
#include "package/package_reader.h"
#include "wire/hwrm_nvm.h"

namespace zelt::device::installer {

bool is_no_room(const Result& result) {
    return result.is_firmware_cmd_err(HWRM_NVM_WRITE_CMD_ERR_NO_SPACE) ||
           result.is_firmware_cmd_err(HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE) ||
           (result.origin() == Origin::kSystem && result.sys_errno() == ENOSPC);
}

// Busy comes back as -16 from the driver road and as +16 from the PCI mailbox.
bool is_busy(const Result& result) {
    return result.origin() == Origin::kTool && (result.code() == -ZELT_RC_BUSY || result.code() == ZELT_RC_BUSY);
}

AdapterUpdate::AdapterUpdate(const UpdateTarget& target, SavedIdentity saved, UpdateObserver& observer,
                             std::unique_ptr<RecoveryState> recovery)
    : target_(target), saved_(std::move(saved)), observer_(observer), recovery_(std::move(recovery)) {}

Result AdapterUpdate::prepare(std::span<const uint8_t> pkg) {
    if (target_.recovery) return prepare_recovery(pkg);
    zelt_nvm_save_mac(*target_.function, saved_);
    // A configuration package leaves no log entry behind: the log is put back as it was.
    if (target_.cfg_pkg) saved_log_ = zeltnvmReadPackageLog(fn());
    return Result::success();
}

Result AdapterUpdate::prepare_recovery(std::span<const uint8_t> pkg) {
    const InventoryFunction& fn = *target_.function;
    onboard_cfg_not_applied_ = false;
    if (target_.force && saved_.onboard_cfg) {
        bool applied = zelt_nvm_apply_onboard_cfg(fn, saved_, 0).ok();
        if (saved_.onboard_cfg_count == 2 && !zelt_nvm_apply_onboard_cfg(fn, saved_, 2).ok()) applied = false;
        onboard_cfg_not_applied_ = !applied;
        saved_.onboard_cfg.reset();
    }
    if (saved_.cert_chain[0] && !zelt_nvm_apply_cert_nvm_dirs(fn, saved_, true, false).ok())
        cert_chain_not_applied_ = true;

    const ResultOr<uint32_t> lookup = zeltnvmGetDirEntry(fn.function, ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr);
    if (lookup.ok()) return Result::success();
    if (!target_.force) {
        observer_.nvm_not_healthy();
        return lookup.result();
    }
    const Result created = create_staging_item(pkg);
    if (!created.ok()) keep_what_was_saved();
    return created;
}

void AdapterUpdate::keep_what_was_saved() {
    if (!target_.recovery || !target_.force) return;
    const InventoryFunction& fn = *target_.function;
    if (saved_.cert_alias && !zelt_nvm_apply_cert_nvm_dirs(fn, saved_, false, true).ok())
        restore_failed(Piece::kCertAlias);
    if (saved_.fru && !zelt_nvm_apply_fru(fn, saved_).ok()) restore_failed(Piece::kFru);
    if (const Result vpd = zelt_nvm_apply_vpd_item(fn, saved_); !vpd.ok() && vpd.code() != kNotRestored) {
        restore_failed(Piece::kVpd);
        for (std::string& field : zelt_nvm_vpd_fields_lost(fn, saved_)) lost_.push_back(std::move(field));
    }
    saved_.vpd_item.reset();
}

Result AdapterUpdate::create_staging_item(std::span<const uint8_t> pkg) {
    const auto length = static_cast<uint32_t>(pkg.size());
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                  "\nRecovery with -force option, creating the update directory in the NVM.\n");
    zelpkg_manifest_item_t record{};
    const int32_t rc = zelpkgFindItem(pkg.data(), length, ZEL_DIR_TYPE_UPDATE, 0, 0, &record);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to find the update directory in the given pkg file.\n");
        return Result::tool(rc);
    }
    const uint64_t rounded =
        (uint64_t{length} + ZELTNVM_STAGING_UNIT - 1) / ZELTNVM_STAGING_UNIT * ZELTNVM_STAGING_UNIT;
    const uint64_t size = std::max<uint64_t>(record.direntry.item_length, rounded);
    const Result created = size > UINT32_MAX ? Result::tool(HVXRETVAL_INVALID_LENGTH)
                                             : zeltnvmCreateItem(fn(), ZEL_DIR_TYPE_UPDATE, 0, 0, ZELTNVM_STAGING_ATTR,
                                                                 static_cast<uint32_t>(size));
    if (!created.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to create the update directory.\n");
        observer_.recovery_failed();
        return created;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\nCreated \"Update\" directory with size = 0x%x\n",
                  static_cast<uint32_t>(size));
    return Result::success();
}

Result AdapterUpdate::install_with_retry(std::span<const uint8_t> pkg, const host::FileSnapshot* snapshot) {
    auto once = [&] { return zeltnvmInstallPackage(fn(), pkg, target_.install_type, target_.device_id, snapshot); };
    const Result first = once();
    if (!is_no_room(first)) return first;
    if (first.code() == HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_NO_SPACE) {
        // The staging item itself could not be written: room is made first.
        const int32_t defrag = zeltnvm_defragment_nvm(fn()).code();
        if (defrag != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\ndefrag command failed with status %d.\n", defrag);
            return first;
        }
    }
    return once();
}

Result AdapterUpdate::install(std::span<const uint8_t> pkg, const host::FileSnapshot* snapshot) {
    // Armed by the request that hands the package to the firmware: once the firmware
    // has it, a signal waits for the install log and the identity to be written back.
    carry_ = std::make_unique<host::CarryThrough>();
    observer_.install_starting();
    const Result rc = install_with_retry(pkg, snapshot);
    if (is_access_denied(rc)) observer_.access_denied();
    observer_.install_ended();
    if (!is_busy(rc)) {
        if (target_.cfg_pkg && !saved_log_.empty())
            (void)zeltnvmWritePackageLog(fn(), saved_log_);
        else
            (void)zeltnvmReadAndUpdatePackageLog(fn());
        if (rc.ok() && !target_.recovery) {
            const Result mac = zelt_nvm_apply_mac(saved_);
            if (!mac.ok() && mac.code() != kNotRestored) observer_.restore_failed(Piece::kMacAddresses);
        }
    }
    if (!rc.ok()) keep_what_was_saved();
    // After a recovery the identity is written back by finish_recovery, which ends it.
    if (!target_.recovery || !rc.ok()) carry_.reset();
    return rc;
}

Result AdapterUpdate::reset_after_recovery() {
    const ResultOr<uint32_t> now = saved_.bar2_size ? zelt_nvm_get_pci_bar2_size(*target_.function)
                                                     : ResultOr<uint32_t>(Result::tool(HVXRETVAL_ITEM_NOT_FOUND));
    if (now.ok() && *now != saved_.bar2_size->value) {
        // The new PCI configuration takes effect only with a cold boot.
        observer_.bar2_size_changed(saved_.bar2_size->value, *now);
        return Result::success();
    }
    zelt_nvm_pci_info info{};
    zelt_fill_reset_info(*target_.inventory, *target_.function, &info);
    const Result status = zeltnvm_post_recovery(&info, target_.force, observer_);
    // The adapter runs from its new NVM: its mailbox is asked as any other's again.
    if (recovery_) recovery_->leave_recovery();
    return status;
}

void AdapterUpdate::restore_failed(Piece piece) {
    observer_.restore_failed(piece);
    switch (piece) {
        case Piece::kMacAddresses: lost_.push_back("the function MAC addresses"); return;
        case Piece::kOnboardCfg: lost_.push_back("the onboard configuration"); return;
        case Piece::kCertChain: lost_.push_back("the certificate chain"); return;
        case Piece::kCertAlias: lost_.push_back("the certificate alias"); return;
        case Piece::kFru: lost_.push_back("the FRU record"); return;
        case Piece::kVpd: return;  // its fields are told one by one after the reset
    }
}

Result AdapterUpdate::finish_recovery(bool all_vpd_fields) {
    const InventoryFunction& fn = *target_.function;
    (void)zelt_nvm_apply_mf_mode_config(fn, saved_);
    if (onboard_cfg_not_applied_) restore_failed(Piece::kOnboardCfg);
    onboard_cfg_not_applied_ = false;
    const Result mac = zelt_nvm_apply_mac(saved_);
    if (!mac.ok() && mac.code() != kNotRestored) restore_failed(Piece::kMacAddresses);
    if (saved_.cert_alias && !zelt_nvm_apply_cert_nvm_dirs(fn, saved_, false, true).ok())
        restore_failed(Piece::kCertAlias);
    if (saved_.fru && !zelt_nvm_apply_fru(fn, saved_).ok()) restore_failed(Piece::kFru);
    // The erase took the VPD with it and the package brought none: the board's own item
    // goes back before the reset, so that a failed reset cannot lose it.
    if (const Result vpd = zelt_nvm_apply_vpd_item(fn, saved_); !vpd.ok() && vpd.code() != kNotRestored)
        restore_failed(Piece::kVpd);

    const Result status = reset_after_recovery();
    if (status.ok() && target_.force) {
        for (const std::string& advice : zelt_nvm_restore_saved_vpd(fn, saved_, all_vpd_fields))
            observer_.vpd_advice(advice);
        for (std::string& field : zelt_nvm_vpd_fields_lost(fn, saved_)) lost_.push_back(std::move(field));
    }
    if (cert_chain_not_applied_) restore_failed(Piece::kCertChain);
    saved_ = SavedIdentity{};
    carry_.reset();
    return status;
}

}  // namespace zelt::device::installer
