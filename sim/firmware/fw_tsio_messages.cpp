// The PTP clock's time-synchronisation pins: their state and usage, the outgoing
// signal's period and up time, and the DLL source. Kept per adapter, so a pin set by
// one process is shown by the next.
#include <string>

#include "sim/firmware/fw_exchange.h"
#include "sim/firmware/fw_feature_state.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_tsio.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "tsio";

json pins_of(const json& state) {
    json pins = state.value("pins", json::array());
    if (!pins.is_array()) pins = json::array();
    while (pins.size() < HWRM_TSIO_PIN_COUNT) pins.push_back(json{{"enabled", false}, {"usage", 0}});
    return pins;
}

void pin_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_ptp_pin_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ptp) return ex.error(kFwErrUnsupported);
    const json pins = pins_of(load_feature(ctx.state, kFeature));
    hwrm_func_ptp_pin_qcfg_output out{};
    out.num_pins = HWRM_TSIO_PIN_COUNT;
    for (unsigned i = 0; i < HWRM_TSIO_PIN_COUNT; ++i) {
        if (pins[i].value("enabled", false)) out.pin_state |= static_cast<uint8_t>(1u << i);
        out.pin_usage[i] = pins[i].value("usage", uint8_t{0});
    }
    if (ctx.adapter.synce)
        out.options = HWRM_FUNC_PTP_PIN_QCFG_OPTIONS_SYNCE_PRIMARY_CLOCK |
                      HWRM_FUNC_PTP_PIN_QCFG_OPTIONS_SYNCE_SECONDARY_CLOCK;
    ex.answer(out);
}

void pin_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_ptp_pin_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ptp) return ex.error(kFwErrUnsupported);
    json state = load_feature(ctx.state, kFeature);
    json pins = pins_of(state);
    const uint32_t enables = le32_to_cpu(in.enables);
    if (enables >> (2 * HWRM_TSIO_PIN_COUNT)) return ex.error(kFwErrInvalidParams);
    for (unsigned i = 0; i < HWRM_TSIO_PIN_COUNT; ++i) {
        const hwrm_func_ptp_pin_cfg_pin& p = in.pins[i];
        if (enables & hwrm_ptp_pin_cfg_enables_state(i)) {
            if (p.state > 1) return ex.error(kFwErrInvalidParams);
            pins[i]["enabled"] = p.state == 1;
        }
        if (enables & hwrm_ptp_pin_cfg_enables_usage(i)) {
            if (p.usage > HWRM_TSIO_PIN_USAGE_SYNCE_SECONDARY_CLOCK_OUT) return ex.error(kFwErrInvalidParams);
            if (p.usage >= HWRM_TSIO_PIN_USAGE_SYNCE_PRIMARY_CLOCK_OUT) {
                // The SyncE clocks are wired to pins 2 and 3 only.
                if (i < 2) return ex.error(kFwErrInvalidParams);
                if (!ctx.adapter.synce) return ex.error(kFwErrUnsupported);
            }
            pins[i]["usage"] = p.usage;
        }
    }
    state["pins"] = pins;
    store_feature(ctx.state, kFeature, state);
    hwrm_func_ptp_cfg_output out{};
    ex.answer(out);
}

void ptp_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_ptp_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !reserved_clear(in.unused_1))
        return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ptp) return ex.error(kFwErrUnsupported);
    const uint16_t enables = le16_to_cpu(in.enables);
    json state = load_feature(ctx.state, kFeature);
    if (enables & HWRM_FUNC_PTP_CFG_ENABLES_DLL_SOURCE) {
        if (in.dll_source > HWRM_FUNC_PTP_CFG_DLL_SOURCE_MAX) return ex.error(kFwErrInvalidParams);
        state["dll_source"] = in.dll_source;
    }
    if (enables & HWRM_FUNC_PTP_CFG_ENABLES_DLL_PHASE) {
        if (in.dll_phase > HWRM_FUNC_PTP_CFG_DLL_PHASE_MAX) return ex.error(kFwErrInvalidParams);
        state["dll_phase"] = in.dll_phase;
    }
    const uint32_t period = (enables & HWRM_FUNC_PTP_CFG_ENABLES_EXT_PERIOD) ? le32_to_cpu(in.ext_period)
                                                                             : state.value("ext_period", 0u);
    const uint32_t up =
        (enables & HWRM_FUNC_PTP_CFG_ENABLES_EXT_UP) ? le32_to_cpu(in.ext_up) : state.value("ext_up", 0u);
    // The signal cannot be high for longer than its period.
    if (up > period) return ex.error(kFwErrInvalidParams);
    state["ext_period"] = period;
    state["ext_up"] = up;
    store_feature(ctx.state, kFeature, state);
    hwrm_func_ptp_cfg_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_tsio_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_FUNC_PTP_PIN_QCFG: pin_qcfg(ctx, ex); return true;
        case HWRM_FUNC_PTP_PIN_CFG: pin_cfg(ctx, ex); return true;
        case HWRM_FUNC_PTP_CFG: ptp_cfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
