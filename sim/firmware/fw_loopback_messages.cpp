// The firmware's answers about the loopback of a function's port, kept per port in
// the adapter state.
#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_loopback.h"
#include "wire/hwrm_messages.h"

namespace zelt::sim {

namespace {

PortLoopback& port_state(FirmwareContext& ctx) { return ctx.state.loopback[ctx.function.port]; }

uint8_t supported_modes(const FirmwareContext& ctx) {
    if (!ctx.adapter.loopback) return 0;
    return HWRM_PORT_PHY_QCAPS_LPBK_PHY_LOCAL | HWRM_PORT_PHY_QCAPS_LPBK_PHY_REMOTE |
           HWRM_PORT_PHY_QCAPS_LPBK_MAC_LOCAL | HWRM_PORT_PHY_QCAPS_LPBK_EXTERNAL;
}

// The capability bit a PHY loopback value needs.
uint8_t phy_capability(uint8_t lpbk) {
    switch (lpbk) {
        case HWRM_PORT_PHY_LPBK_LOCAL: return HWRM_PORT_PHY_QCAPS_LPBK_PHY_LOCAL;
        case HWRM_PORT_PHY_LPBK_REMOTE: return HWRM_PORT_PHY_QCAPS_LPBK_PHY_REMOTE;
        case HWRM_PORT_PHY_LPBK_EXTERNAL: return HWRM_PORT_PHY_QCAPS_LPBK_EXTERNAL;
        default: return 0;
    }
}

// Only the function's own port may be named.
bool own_port(const FirmwareContext& ctx, uint16_t port_id) { return port_id == ctx.function.port; }

void port_mac_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_mac_qcfg_input in;
    if (!ex.request(in) || !own_port(ctx, in.port_id)) return ex.error(kFwErrInvalidParams);
    hwrm_port_mac_qcfg_output out{};
    out.mtu = static_cast<uint16_t>(ctx.function.mtu);
    out.mru = out.mtu;
    out.ipg = 12;
    out.lpbk = port_state(ctx).mac;
    ex.answer(out);
}

void port_phy_qcaps(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_phy_qcaps_input in;
    if (!ex.request(in) || !own_port(ctx, in.port_id)) return ex.error(kFwErrInvalidParams);
    hwrm_port_phy_qcaps_output out{};
    out.port_cnt = static_cast<uint8_t>(ctx.adapter.ports);
    out.supported_lpbk = supported_modes(ctx);
    ex.answer(out);
}

void port_mac_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_mac_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !own_port(ctx, in.port_id))
        return ex.error(kFwErrInvalidParams);
    if (in.enables & HWRM_PORT_CFG_ENABLES_LPBK) {
        if (in.lpbk > HWRM_PORT_MAC_LPBK_LOCAL) return ex.error(kFwErrInvalidParams);
        if (in.lpbk == HWRM_PORT_MAC_LPBK_LOCAL && !(supported_modes(ctx) & HWRM_PORT_PHY_QCAPS_LPBK_MAC_LOCAL))
            return ex.error(kFwErrUnsupported);
        port_state(ctx).mac = in.lpbk;
    }
    hwrm_port_cfg_output out{};
    ex.answer(out);
}

void port_phy_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_phy_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !own_port(ctx, in.port_id))
        return ex.error(kFwErrInvalidParams);
    if (in.enables & HWRM_PORT_CFG_ENABLES_LPBK) {
        if (in.lpbk > HWRM_PORT_PHY_LPBK_EXTERNAL) return ex.error(kFwErrInvalidParams);
        const uint8_t needs = phy_capability(in.lpbk);
        if (needs && !(supported_modes(ctx) & needs)) return ex.error(kFwErrUnsupported);
        port_state(ctx).phy = in.lpbk;
    }
    hwrm_port_cfg_output out{};
    ex.answer(out);
}

}  // namespace

uint8_t sim_phy_loopback(FirmwareContext& ctx) {
    const auto it = ctx.state.loopback.find(ctx.function.port);
    return it == ctx.state.loopback.end() ? HWRM_PORT_PHY_LPBK_NONE : it->second.phy;
}

bool answer_loopback_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_PORT_MAC_QCFG: port_mac_qcfg(ctx, ex); return true;
        case HWRM_PORT_PHY_QCAPS: port_phy_qcaps(ctx, ex); return true;
        case HWRM_PORT_MAC_CFG: port_mac_cfg(ctx, ex); return true;
        case HWRM_PORT_PHY_CFG: port_phy_cfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
