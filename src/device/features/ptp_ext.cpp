#include "device/features/ptp_ext.h"

#include <algorithm>

#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_ptp_ext.h"
#include "wire/hwrm_query.h"

namespace zelt::device {

Result zelt_is_ptp_supported(const transport::Function& fn, bool* supported) {
    hwrm_func_qcaps_output caps{};
    const Result rc = transport::zeltnvm_get_func_qcaps(fn, &caps);
    if (rc.ok()) *supported = (le32_to_cpu(caps.flags) & HWRM_FUNC_QCAPS_FLAGS_PTP_SUPPORTED) != 0;
    return rc;
}

Result zeltnvm_set_ptp_ext_params(const transport::Function& fn, const PtpExtSettings& settings) {
    hwrm_func_ptp_ext_cfg_input req{};
    uint16_t enables = 0;
    if (settings.master_fid) {
        enables |= HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_MASTER_FID;
        req.phc_master_fid = cpu_to_le16(*settings.master_fid);
    }
    if (settings.secondary_fid) {
        enables |= HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_SEC_FID;
        req.phc_sec_fid = cpu_to_le16(*settings.secondary_fid);
    }
    if (settings.secondary_mode) {
        enables |= HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_SEC_MODE;
        req.phc_sec_mode = *settings.secondary_mode;
    }
    if (settings.failover_timer) {
        enables |= HWRM_FUNC_PTP_EXT_CFG_ENABLES_FAILOVER_TIMER;
        req.failover_timer = cpu_to_le32(*settings.failover_timer);
    }
    req.enables = cpu_to_le16(enables);
    hwrm_func_ptp_ext_cfg_output resp{};
    return transport::exchange(fn, HWRM_FUNC_PTP_EXT_CFG, req, resp);
}

Result zeltnvm_get_ptp_ext_params(const transport::Function& fn, PtpExtState* state) {
    hwrm_func_ptp_ext_qcfg_input req{};
    hwrm_func_ptp_ext_qcfg_output resp{};
    const Result rc = transport::exchange(fn, HWRM_FUNC_PTP_EXT_QCFG, req, resp);
    if (!rc.ok()) return rc;
    state->master_fid = le16_to_cpu(resp.phc_master_fid);
    state->secondary_fid = le16_to_cpu(resp.phc_sec_fid);
    state->last_fid = le16_to_cpu(resp.phc_active_fid0);
    state->second_last_fid = le16_to_cpu(resp.phc_active_fid1);
    state->failover_from_fid = le16_to_cpu(resp.from_fid);
    state->failover_to_fid = le16_to_cpu(resp.to_fid);
    state->failover_time = le32_to_cpu(resp.last_failover_event);
    state->failover_timer = le32_to_cpu(resp.failover_timer);
    state->secondary_mode = resp.phc_sec_mode;
    return rc;
}

std::vector<const InventoryFunction*> adapter_pfs(const Inventory& inventory, const InventoryFunction& target) {
    std::vector<const InventoryFunction*> pfs;
    for (const InventoryFunction& f : inventory.functions)
        if (same_adapter(f.facts, target.facts)) pfs.push_back(&f);
    std::stable_sort(pfs.begin(), pfs.end(), [](const InventoryFunction* a, const InventoryFunction* b) {
        return a->facts.pci_info.function_no < b->facts.pci_info.function_no;
    });
    return pfs;
}

Result adapter_vf_ranges(const Inventory& inventory, const InventoryFunction& target,
                         std::vector<PfVfRange>* ranges) {
    std::vector<PfVfRange> out;
    for (const InventoryFunction* pf : adapter_pfs(inventory, target)) {
        hwrm_func_qcaps_output caps{};
        const Result rc = transport::zeltnvm_get_func_qcaps(pf->function, &caps);
        if (!rc.ok()) return rc;
        out.push_back({.start_vf_id = le16_to_cpu(caps.first_vf_id), .active_vfs = pf->facts.sriov.Active_VFs});
    }
    *ranges = std::move(out);
    return Result();
}

}  // namespace zelt::device
