// Synchronous Ethernet: the frequency profile and the two clock outputs, kept per
// adapter. An output can be enabled only once a valid profile is configured.
#include "sim/firmware/fw_exchange.h"
#include "sim/firmware/fw_feature_state.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_synce.h"

namespace zelt::sim {

namespace {

constexpr const char* kFeature = "synce";

void synce_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_synce_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.synce) return ex.error(kFwErrUnsupported);
    if (in.enables == 0 || in.enables > 0x7) return ex.error(kFwErrInvalidParams);
    nlohmann::json j = load_feature(ctx.state, kFeature);
    uint8_t profile = j.value("profile", HWRM_FUNC_SYNCE_FREQ_PROFILE_INVALID);
    if (in.enables & HWRM_FUNC_SYNCE_CFG_ENABLES_FREQ_PROFILE) {
        if (in.freq_profile != HWRM_FUNC_SYNCE_FREQ_PROFILE_25MHZ) return ex.error(kFwErrInvalidParams);
        profile = in.freq_profile;
    }
    bool primary = j.value("primary", false);
    bool secondary = j.value("secondary", false);
    if (in.enables & HWRM_FUNC_SYNCE_CFG_ENABLES_PRIMARY_CLOCK) {
        if (in.primary_clock_state > 1) return ex.error(kFwErrInvalidParams);
        primary = in.primary_clock_state == 1;
    }
    if (in.enables & HWRM_FUNC_SYNCE_CFG_ENABLES_SECONDARY_CLOCK) {
        if (in.secondary_clock_state > 1) return ex.error(kFwErrInvalidParams);
        secondary = in.secondary_clock_state == 1;
    }
    if ((primary || secondary) && profile == HWRM_FUNC_SYNCE_FREQ_PROFILE_INVALID)
        return ex.error(kFwErrInvalidParams);
    j["profile"] = profile;
    j["primary"] = primary;
    j["secondary"] = secondary;
    store_feature(ctx.state, kFeature, j);
    hwrm_func_synce_cfg_output out{};
    ex.answer(out);
}

void synce_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_synce_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.synce) return ex.error(kFwErrUnsupported);
    const nlohmann::json j = load_feature(ctx.state, kFeature);
    hwrm_func_synce_qcfg_output out{};
    out.freq_profile = j.value("profile", HWRM_FUNC_SYNCE_FREQ_PROFILE_INVALID);
    if (j.value("primary", false)) out.state |= HWRM_FUNC_SYNCE_QCFG_STATE_PRIMARY_CLOCK;
    if (j.value("secondary", false)) out.state |= HWRM_FUNC_SYNCE_QCFG_STATE_SECONDARY_CLOCK;
    ex.answer(out);
}

}  // namespace

bool answer_synce_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_FUNC_SYNCE_CFG: synce_cfg(ctx, ex); return true;
        case HWRM_FUNC_SYNCE_QCFG: synce_qcfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
