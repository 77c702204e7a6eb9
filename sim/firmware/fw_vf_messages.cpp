// The firmware's answers about a physical function's virtual functions: the trusted
// flag and the default MAC address, kept per VF in the adapter state so that a later
// process sees what an earlier one set.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"
#include "wire/hwrm_vf.h"

namespace zelt::sim {

namespace {

// The description of the asking PF's VF with firmware id `fid`, or nullptr when the
// id is none of its active VFs (a VF may not configure other functions).
const FunctionDesc* own_vf(const FirmwareContext& ctx, uint16_t fid) {
    const FunctionDesc& pf = ctx.function;
    if (pf.is_vf) return nullptr;
    const unsigned first = 128 + pf.pf_index * pf.total_vfs;
    if (fid < first || fid >= first + pf.num_vfs) return nullptr;
    unsigned n = fid - first;
    for (const FunctionDesc& f : ctx.adapter.functions) {
        if (!f.is_vf || f.pf_index != pf.pf_index) continue;
        if (n-- == 0) return &f;
    }
    return nullptr;
}

void func_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !reserved_clear(in.unused_1))
        return ex.error(kFwErrInvalidParams);
    if (!own_vf(ctx, in.fid)) return ex.error(kFwErrInvalidParams);
    if (in.enables & ~HWRM_FUNC_CFG_ENABLES_TRUSTED_VF) return ex.error(kFwErrInvalidParams);
    if (in.enables & HWRM_FUNC_CFG_ENABLES_TRUSTED_VF) {
        if (!ctx.adapter.trusted_vf) return ex.error(kFwErrUnsupported);
        ctx.state.vfs[in.fid].trusted = (in.flags & HWRM_FUNC_CFG_FLAGS_TRUSTED_VF_ENABLE) != 0;
    }
    hwrm_func_cfg_output out{};
    ex.answer(out);
}

void func_vf_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_vf_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !reserved_clear(in.unused_1))
        return ex.error(kFwErrInvalidParams);
    if (!own_vf(ctx, in.vf_id)) return ex.error(kFwErrInvalidParams);
    if (in.enables & ~HWRM_FUNC_VF_CFG_ENABLES_DFLT_MAC_ADDR) return ex.error(kFwErrInvalidParams);
    if (in.enables & HWRM_FUNC_VF_CFG_ENABLES_DFLT_MAC_ADDR) {
        // A multicast or all-zero address cannot be a function's address.
        const bool zero = std::all_of(std::begin(in.dflt_mac_addr), std::end(in.dflt_mac_addr),
                                      [](uint8_t b) { return b == 0; });
        if (zero || (in.dflt_mac_addr[0] & 1)) return ex.error(kFwErrInvalidParams);
        ctx.state.vfs[in.vf_id].mac.assign(std::begin(in.dflt_mac_addr), std::end(in.dflt_mac_addr));
    }
    hwrm_func_vf_cfg_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_vf_qcfg(FirmwareContext& ctx, Exchange& ex, uint16_t fid) {
    const FunctionDesc* vf = own_vf(ctx, fid);
    if (!vf) return false;
    hwrm_func_qcfg_output out{};
    out.fid = fid;
    out.port_id = static_cast<uint16_t>(vf->port);
    std::memcpy(out.mac_address, vf->mac.data(), 6);
    const auto it = ctx.state.vfs.find(fid);
    if (it != ctx.state.vfs.end()) {
        if (it->second.trusted) out.flags |= HWRM_FUNC_QCFG_FLAGS_TRUSTED_VF;
        if (it->second.mac.size() == 6) std::memcpy(out.mac_address, it->second.mac.data(), 6);
    }
    out.pci_id = static_cast<uint16_t>((vf->bus << 8) | (vf->dev << 3) | vf->func);
    out.mtu = static_cast<uint16_t>(vf->mtu);
    out.mru = static_cast<uint16_t>(vf->mtu);
    ex.answer(out);
    return true;
}

bool answer_vf_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_FUNC_CFG: func_cfg(ctx, ex); return true;
        case HWRM_FUNC_VF_CFG: func_vf_cfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
