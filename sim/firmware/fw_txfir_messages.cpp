// Transmit equalisation messages: every port has four SerDes lanes, each with its own
// four TX FIR values per signalling, kept in the adapter's state. The older families
// have no PAM4 signalling.
#include <array>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_txfir.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "txfir";
constexpr unsigned kLanesPerPort = 4;

// What a lane uses until a value is set.
constexpr std::array<uint32_t, 4> kNrzDefault = {4, 56, 12, 0};
constexpr std::array<uint32_t, 4> kPam4Default = {2, 48, 8, 2};

json load(const AdapterState& st) {
    auto it = st.features.find(kFeature);
    json j = it == st.features.end() ? json::object() : json::parse(it->second, nullptr, false);
    return j.is_object() ? j : json::object();
}

void store(AdapterState& st, const json& j) { st.features[kFeature] = j.dump(); }

// Refuses what the port cannot take: another port, an unknown signalling, PAM4 on a
// family without it. 0 when the request may go on.
uint16_t check(const FirmwareContext& ctx, uint16_t port_id, uint8_t mod_type) {
    if (port_id != ctx.function.port) return kFwErrInvalidParams;
    if (mod_type > HWRM_PORT_TX_FIR_MOD_TYPE_PAM4) return kFwErrInvalidParams;
    if (mod_type == HWRM_PORT_TX_FIR_MOD_TYPE_PAM4 && ctx.adapter.device_type < 8) return kFwErrUnsupported;
    return 0;
}

std::string lane_key(const FirmwareContext& ctx, uint8_t mod_type, unsigned lane) {
    return std::to_string(ctx.function.port) + "/" + std::to_string(mod_type) + "/" + std::to_string(lane);
}

void tx_fir_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_tx_fir_qcfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0)) return ex.error(kFwErrInvalidParams);
    if (const uint16_t err = check(ctx, in.port_id, in.mod_type)) return ex.error(err);
    if (in.lane_id >= kLanesPerPort) return ex.error(kFwErrInvalidParams);
    const json j = load(ctx.state);
    std::array<uint32_t, 4> v = in.mod_type == HWRM_PORT_TX_FIR_MOD_TYPE_PAM4 ? kPam4Default : kNrzDefault;
    const std::string key = lane_key(ctx, in.mod_type, in.lane_id);
    if (j.contains(key)) v = j[key].get<std::array<uint32_t, 4>>();
    hwrm_port_tx_fir_qcfg_output out{};
    out.txfir_val_1 = v[0];
    out.txfir_val_2 = v[1];
    out.txfir_val_3 = v[2];
    out.txfir_val_4 = v[3];
    ex.answer(out);
}

void tx_fir_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_tx_fir_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0)) return ex.error(kFwErrInvalidParams);
    if (const uint16_t err = check(ctx, in.port_id, in.mod_type)) return ex.error(err);
    if (in.lane_mask == 0 || (in.lane_mask >> kLanesPerPort) != 0) return ex.error(kFwErrInvalidParams);
    json j = load(ctx.state);
    for (unsigned lane = 0; lane < kLanesPerPort; ++lane) {
        if (in.lane_mask & (1u << lane))
            j[lane_key(ctx, in.mod_type, lane)] = {in.txfir_val_1, in.txfir_val_2, in.txfir_val_3, in.txfir_val_4};
    }
    store(ctx.state, j);
    hwrm_port_tx_fir_cfg_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_txfir_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_PORT_TX_FIR_QCFG: tx_fir_qcfg(ctx, ex); return true;
        case HWRM_PORT_TX_FIR_CFG: tx_fir_cfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
