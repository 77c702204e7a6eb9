// The extended PTP parameters of the adapter's clock: master and secondary functions,
// the secondary's mode, the failover timer, and the history a change of master leaves
// (the functions that held the clock before, and the last take-over). Kept per adapter.
#include "sim/firmware/fw_exchange.h"
#include "sim/firmware/fw_feature_state.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_ptp_ext.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "ptp_ext";

// A firmware function id of the adapter: PF n is n + 1, a PF's VFs follow its first VF
// id (as hwrm_func_qcaps reports it) for as many VFs as are active.
bool is_function(const AdapterDesc& a, uint16_t fid) {
    for (const FunctionDesc& f : a.functions) {
        if (f.is_vf) continue;
        if (fid == f.pf_index + 1) return true;
        const unsigned first = 128 + f.pf_index * f.total_vfs;
        if (fid >= first && fid < first + f.num_vfs) return true;
    }
    return false;
}

uint16_t fid_at(const json& j, const char* key) { return j.value(key, HWRM_PTP_EXT_FID_NONE); }
// Until it is told otherwise the first PF holds the clock.
uint16_t master_of(const json& j) { return j.value("master", uint16_t{1}); }

void ext_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_ptp_ext_cfg_input in;
    if (!ex.request(in) || in.unused_0 != 0 || !reserved_clear(in.unused_1)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ptp) return ex.error(kFwErrUnsupported);
    const uint16_t enables = le16_to_cpu(in.enables);
    if (enables == 0) return ex.error(kFwErrInvalidParams);
    json j = load_feature(ctx.state, kFeature);
    uint16_t master = master_of(j);
    uint16_t secondary = fid_at(j, "secondary");
    if (enables & HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_MASTER_FID) {
        master = le16_to_cpu(in.phc_master_fid);
        if (!is_function(ctx.adapter, master)) return ex.error(kFwErrInvalidParams);
    }
    if (enables & HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_SEC_FID) {
        secondary = le16_to_cpu(in.phc_sec_fid);
        if (!is_function(ctx.adapter, secondary)) return ex.error(kFwErrInvalidParams);
    }
    // One function cannot back itself up.
    if (master != HWRM_PTP_EXT_FID_NONE && master == secondary) return ex.error(kFwErrInvalidParams);
    if (enables & HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_SEC_MODE) {
        if (in.phc_sec_mode > HWRM_PTP_EXT_SEC_MODE_PF_ONLY) return ex.error(kFwErrInvalidParams);
        j["mode"] = in.phc_sec_mode;
    }
    if (enables & HWRM_FUNC_PTP_EXT_CFG_ENABLES_FAILOVER_TIMER) j["timer"] = le32_to_cpu(in.failover_timer);
    const uint16_t old_master = master_of(j);
    if (master != old_master) {
        // The clock moves: the old master joins the history and the move is the last
        // take-over.
        if (old_master != secondary && old_master != master) {
            j["second_last"] = fid_at(j, "last");
            j["last"] = old_master;
        }
        j["from"] = old_master;
        j["to"] = master;
        j["failover_time"] = static_cast<uint32_t>(ctx.now_us / 1000000);
    }
    j["master"] = master;
    j["secondary"] = secondary;
    store_feature(ctx.state, kFeature, j);
    hwrm_func_ptp_ext_cfg_output out{};
    ex.answer(out);
}

void ext_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_ptp_ext_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ptp) return ex.error(kFwErrUnsupported);
    const json j = load_feature(ctx.state, kFeature);
    hwrm_func_ptp_ext_qcfg_output out{};
    out.phc_master_fid = cpu_to_le16(master_of(j));
    out.phc_sec_fid = cpu_to_le16(fid_at(j, "secondary"));
    out.phc_active_fid0 = cpu_to_le16(fid_at(j, "last"));
    out.phc_active_fid1 = cpu_to_le16(fid_at(j, "second_last"));
    out.from_fid = cpu_to_le16(fid_at(j, "from"));
    out.to_fid = cpu_to_le16(fid_at(j, "to"));
    out.last_failover_event = cpu_to_le32(j.value("failover_time", 0u));
    out.failover_timer = cpu_to_le32(j.value("timer", 0u));
    out.phc_sec_mode = j.value("mode", HWRM_PTP_EXT_SEC_MODE_SWITCH);
    ex.answer(out);
}

}  // namespace

bool answer_ptp_ext_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_FUNC_PTP_EXT_CFG: ext_cfg(ctx, ex); return true;
        case HWRM_FUNC_PTP_EXT_QCFG: ext_qcfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
