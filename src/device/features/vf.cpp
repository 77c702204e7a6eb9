#include "device/features/vf.h"

#include <cstring>

#include "common/hvxretval.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"
#include "wire/hwrm_vf.h"

namespace zelt::device {

namespace {

using transport::exchange;
using transport::Function;

// The firmware id of VF `vf_index` of `fn`.
Result vf_fid(const Function& fn, uint16_t vf_index, uint16_t* fid) {
    uint16_t first = 0;
    Result rc = transport::zelt_get_pf_start_vf_id(fn, &first);
    if (!rc.ok()) return rc;
    *fid = static_cast<uint16_t>(first + vf_index);
    return rc;
}

Result vf_qcfg(const Function& fn, uint16_t fid, hwrm_func_qcfg_output& out) {
    hwrm_func_qcfg_input req{};
    req.fid = cpu_to_le16(fid);
    return exchange(fn, HWRM_FUNC_QCFG, req, out);
}

}  // namespace

Result zelt_is_trusted_vf_supported(const Function& fn, bool* supported) {
    if (Result refused = transport::platform_offers(fn, transport::PlatformOperation::kTrustedVfCaps); !refused.ok())
        return refused;
    hwrm_ver_get_input req{};
    req.hwrm_intf_maj = HWRM_INTF_MAJ;
    req.hwrm_intf_min = HWRM_INTF_MIN;
    req.hwrm_intf_upd = HWRM_INTF_UPD;
    hwrm_ver_get_output out{};
    Result rc = exchange(fn, HWRM_VER_GET, req, out);
    if (rc.ok() && supported) *supported = (le32_to_cpu(out.dev_caps_cfg) & HWRM_VER_GET_DEV_CAPS_CFG_TRUSTED_VF) != 0;
    return rc;
}

Result zelt_trusted_vf(const Function& fn, uint16_t vf_index, uint16_t active_vfs, bool set, bool* trusted) {
    if (vf_index >= active_vfs) return Result::tool(HVXRETVAL_INVALID_PARAMETER_VALUE);
    uint16_t fid = 0;
    Result rc = vf_fid(fn, vf_index, &fid);
    if (!rc.ok()) return rc;
    if (!set) {
        hwrm_func_qcfg_output out{};
        rc = vf_qcfg(fn, fid, out);
        if (rc.ok() && trusted) *trusted = (le16_to_cpu(out.flags) & HWRM_FUNC_QCFG_FLAGS_TRUSTED_VF) != 0;
        return rc;
    }
    hwrm_func_cfg_input req{};
    req.fid = cpu_to_le16(fid);
    req.enables = cpu_to_le32(HWRM_FUNC_CFG_ENABLES_TRUSTED_VF);
    req.flags = cpu_to_le32(trusted && *trusted ? HWRM_FUNC_CFG_FLAGS_TRUSTED_VF_ENABLE : 0);
    hwrm_func_cfg_output out{};
    return exchange(fn, HWRM_FUNC_CFG, req, out);
}

Result zelt_get_vf_mac(const Function& fn, uint16_t vf_index, std::array<uint8_t, 6>* mac) {
    uint16_t fid = 0;
    Result rc = vf_fid(fn, vf_index, &fid);
    if (!rc.ok()) return rc;
    hwrm_func_qcfg_output out{};
    rc = vf_qcfg(fn, fid, out);
    if (rc.ok() && mac) std::memcpy(mac->data(), out.mac_address, 6);
    return rc;
}

Result zelt_set_vf_mac(const Function& fn, uint16_t vf_index, const std::array<uint8_t, 6>& mac) {
    uint16_t fid = 0;
    Result rc = vf_fid(fn, vf_index, &fid);
    if (!rc.ok()) return rc;
    hwrm_func_vf_cfg_input req{};
    req.vf_id = cpu_to_le16(fid);
    req.enables = cpu_to_le32(HWRM_FUNC_VF_CFG_ENABLES_DFLT_MAC_ADDR);
    std::memcpy(req.dflt_mac_addr, mac.data(), 6);
    hwrm_func_vf_cfg_output out{};
    return exchange(fn, HWRM_FUNC_VF_CFG, req, out);
}

DecodedFid zeltnvm_decode_fid(std::span<const PfVfRange> pfs, uint16_t fid) {
    for (size_t i = 0; i < pfs.size(); ++i) {
        const uint32_t start = pfs[i].start_vf_id;
        // The last PF's range has no end.
        const uint32_t end = i + 1 < pfs.size() ? pfs[i + 1].start_vf_id : 0x10000u;
        if (pfs[i].active_vfs == 0 && fid >= start && fid < end)
            return {.is_vf = true, .pf = static_cast<int>(i), .vf = static_cast<int>(fid - start)};
    }
    if (fid >= 128) {
        for (size_t i = 0; i < pfs.size(); ++i) {
            const uint32_t start = pfs[i].start_vf_id;
            // An id below the PF's first VF is none of its VFs (it would give a
            // negative VF number).
            if (pfs[i].active_vfs != 0 && fid >= start && start + pfs[i].active_vfs > fid)
                return {.is_vf = true, .pf = static_cast<int>(i), .vf = static_cast<int>(fid - start)};
        }
    }
    return {.is_vf = false, .pf = fid - 1, .vf = 0};
}

}  // namespace zelt::device
