#include "device/nvm/nvm_install.h"

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/nvm_items.h"
#include "host/interrupt.h"
#include "log/monitor.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

using namespace zelt;

using zelt::Result;
using zelt::transport::exchange;
using zelt::transport::Function;

namespace {

Result sendInstall(const Function& fn, uint32_t install_type, uint16_t flags, hwrm_nvm_install_update_output& resp) {
    hwrm_nvm_install_update_input req{};
    req.install_type = cpu_to_le32(install_type);
    req.flags = cpu_to_le16(flags);
    // Unlike other messages, the installation request leaves target_id at 0.
    zelt::transport::hwrmInitRequest(req.hdr, HWRM_NVM_INSTALL_UPDATE);
    req.hdr.target_id = 0;
    return zelt::transport::send_message(fn, {&req, sizeof req, &resp, sizeof resp, nullptr});
}

// Directory index of the update staging item, found by the firmware.
Result findUpdateItem(const Function& fn, uint16_t& index) {
    hwrm_nvm_find_dir_entry_input req{};
    req.enables = 0;
    req.dir_idx = 0;
    req.dir_type = cpu_to_le16(ZEL_DIR_TYPE_UPDATE);
    req.dir_ordinal = 0;
    req.dir_ext = 0;
    req.opt_ordinal = 0;
    hwrm_nvm_find_dir_entry_output resp{};
    const Result rc = exchange(fn, HWRM_NVM_FIND_DIR_ENTRY, req, resp);
    if (rc.ok()) index = le16_to_cpu(resp.dir_idx);
    return rc;
}

}  // namespace

namespace zelt::device {

Result firmware_install_result(uint8_t result) {
    // The firmware's install results and the tool codes they are reported as.
    static constexpr struct {
        HwrmInstallResult result;
        hvxretval code;
    } kCodes[] = {
        {HwrmInstallResult::kNothingStaged, HVXRETVAL_ITEM_NOT_FOUND},
        {HwrmInstallResult::kBadPackage, HVXRETVAL_INSTALL_DATA_ERROR},
        {HwrmInstallResult::kBadNvmItem, HVXRETVAL_INSTALL_CHECKSUM_ERROR},
        {HwrmInstallResult::kPatchFailed, HVXRETVAL_INVALID_DIRECTIVE},
        {HwrmInstallResult::kWriteFailed, HVXRETVAL_FAILURE},
    };
    if (result == static_cast<uint8_t>(HwrmInstallResult::kOk)) return Result();
    for (const auto& c : kCodes)
        if (static_cast<uint8_t>(c.result) == result) return Result::firmware(0, 0, c.code);
    return Result::firmware(0, 0, HVXRETVAL_FAILURE);
}

Result zeltnvm_install_update(const Function& fn, uint32_t install_type, uint8_t* problem_item, uint8_t* result,
                              uint8_t* reset_required, uint32_t installed_items[2]) {
    hwrm_nvm_install_update_output resp{};
    Result rc = sendInstall(fn, install_type, ZELTNVM_INSTALL_FLAGS_NONE, resp);
    if (rc.is_firmware_cmd_err(HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR))
        rc = sendInstall(fn, install_type, HWRM_NVM_INSTALL_UPDATE_FLAGS_ALLOWED_TO_DEFRAG, resp);
    if (!rc.ok()) return rc;
    if (problem_item) *problem_item = resp.problem_item;
    if (result) *result = resp.result;
    if (reset_required) *reset_required = resp.reset_required;
    if (installed_items) {
        installed_items[0] = le32_to_cpu(resp.installed_items[0]);
        installed_items[1] = le32_to_cpu(resp.installed_items[1]);
    }
    return Result();
}

Result zeltnvm_linux_SecureUpdate(const Function& fn, const uint8_t* data, uint32_t length, uint32_t install_type) {
    static constexpr const char* kStep = "zeltnvm_secure_update";
    Result rc = zeltnvm_set_fw_time(fn);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: set_fw_time failed.\n", kStep);
        return rc;
    }
    uint16_t index = 0;
    rc = findUpdateItem(fn, index);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to find the Update dir index.\n", kStep);
        return rc;
    }
    zelt::log::set_progress_phase("Staging");
    rc = zeltnvm_modify_nvm(fn, index, 0, data, length);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to modify the staging area.\n", kStep);
        return rc;
    }
    uint8_t problem_item = 0;
    uint8_t result = 0;
    uint8_t reset_required = 0;
    uint32_t installed[2] = {0, 0};
    // An installation the firmware completes is carried through by the caller's
    // CarryThrough; one it refuses leaves the run to stop at once.
    zelt::host::arm_carry_through();
    zelt::log::set_progress_phase("Installing");
    rc = zeltnvm_install_update(fn, install_type, &problem_item, &result, &reset_required, installed);
    if (rc.ok() && result == 0) return Result();
    zelt::host::disarm_carry_through();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                  "%s: prob_item = %d inst_result = %d reset_req = %d inst_items[0]=%d inst_items[1] = %d\n",
                  "zeltnvm_linux_SecureUpdate", problem_item, result, reset_required, static_cast<int>(installed[0]),
                  static_cast<int>(installed[1]));
    // The firmware's own install result, when it gave one, says more than the message.
    return rc.ok() ? firmware_install_result(result) : rc;
}

}  // namespace zelt::device
