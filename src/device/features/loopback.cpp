#include "device/features/loopback.h"

#include <array>

#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_loopback.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"

namespace zelt::device {

namespace {

using transport::exchange;
using transport::Function;

struct ModeRow {
    LoopbackMode mode;
    const char* word;
    uint8_t mac_lpbk;
    uint8_t phy_lpbk;
    uint8_t capability;  // hwrm_port_phy_qcaps supported_lpbk bit (0: always)
};

constexpr std::array<ModeRow, 5> kModes{{
    {LoopbackMode::none, "disable", HWRM_PORT_MAC_LPBK_NONE, HWRM_PORT_PHY_LPBK_NONE, 0},
    {LoopbackMode::phy_remote, "phy_remote", HWRM_PORT_MAC_LPBK_NONE, HWRM_PORT_PHY_LPBK_REMOTE,
     HWRM_PORT_PHY_QCAPS_LPBK_PHY_REMOTE},
    {LoopbackMode::phy_local, "phy_local", HWRM_PORT_MAC_LPBK_NONE, HWRM_PORT_PHY_LPBK_LOCAL,
     HWRM_PORT_PHY_QCAPS_LPBK_PHY_LOCAL},
    {LoopbackMode::mac_local, "mac_local", HWRM_PORT_MAC_LPBK_LOCAL, HWRM_PORT_PHY_LPBK_NONE,
     HWRM_PORT_PHY_QCAPS_LPBK_MAC_LOCAL},
    {LoopbackMode::external, "external", HWRM_PORT_MAC_LPBK_NONE, HWRM_PORT_PHY_LPBK_EXTERNAL,
     HWRM_PORT_PHY_QCAPS_LPBK_EXTERNAL},
}};

const ModeRow& row_of(LoopbackMode mode) {
    for (const ModeRow& r : kModes)
        if (r.mode == mode) return r;
    return kModes[0];
}

Result port_of(const Function& fn, uint16_t* port_id) {
    hwrm_func_qcaps_output caps{};
    Result rc = transport::zeltnvm_get_func_qcaps(fn, &caps);
    if (rc.ok()) *port_id = le16_to_cpu(caps.port_id);
    return rc;
}

// The MAC's and the PHY's loopback bytes of the port.
Result current(const Function& fn, uint16_t port_id, uint8_t* mac, uint8_t* phy) {
    hwrm_port_mac_qcfg_input mreq{};
    mreq.port_id = cpu_to_le16(port_id);
    hwrm_port_mac_qcfg_output mout{};
    Result rc = exchange(fn, HWRM_PORT_MAC_QCFG, mreq, mout);
    if (!rc.ok()) return rc;
    hwrm_port_phy_qcfg_input preq{};
    preq.port_id = cpu_to_le16(port_id);
    hwrm_port_phy_qcfg_output pout{};
    rc = exchange(fn, HWRM_PORT_PHY_QCFG, preq, pout);
    if (!rc.ok()) return rc;
    *mac = mout.lpbk;
    *phy = pout.lpbk;
    return rc;
}

}  // namespace

const char* loopback_mode_word(LoopbackMode mode) { return row_of(mode).word; }

std::optional<LoopbackMode> loopback_mode_from_word(std::string_view word) {
    for (const ModeRow& r : kModes)
        if (word == r.word) return r.mode;
    return std::nullopt;
}

Result zelt_query_loop_back_mode(const Function& fn, LoopbackMode* mode) {
    uint16_t port_id = 0;
    Result rc = port_of(fn, &port_id);
    if (!rc.ok()) return rc;
    uint8_t mac = 0;
    uint8_t phy = 0;
    rc = current(fn, port_id, &mac, &phy);
    if (!rc.ok()) return rc;
    *mode = LoopbackMode::none;
    for (const ModeRow& r : kModes) {
        const bool mac_match = r.mac_lpbk != HWRM_PORT_MAC_LPBK_NONE && r.mac_lpbk == mac;
        const bool phy_match = r.phy_lpbk != HWRM_PORT_PHY_LPBK_NONE && r.phy_lpbk == phy;
        if (mac_match || phy_match) {
            *mode = r.mode;
            break;
        }
    }
    return rc;
}

Result zelt_is_loopback_mode_supported(const Function& fn, LoopbackMode mode, bool* supported) {
    uint16_t port_id = 0;
    Result rc = port_of(fn, &port_id);
    if (!rc.ok()) return rc;
    hwrm_port_phy_qcaps_input req{};
    req.port_id = cpu_to_le16(port_id);
    hwrm_port_phy_qcaps_output out{};
    rc = exchange(fn, HWRM_PORT_PHY_QCAPS, req, out);
    if (!rc.ok()) return rc;
    const uint8_t bit = row_of(mode).capability;
    *supported = bit == 0 || (out.supported_lpbk & bit) != 0;
    return rc;
}

Result zelt_loop_back_test(const Function& fn, LoopbackMode mode) {
    uint16_t port_id = 0;
    Result rc = port_of(fn, &port_id);
    if (!rc.ok()) return rc;
    uint8_t mac = 0;
    uint8_t phy = 0;
    rc = current(fn, port_id, &mac, &phy);
    if (!rc.ok()) return rc;
    const ModeRow& want = row_of(mode);
    hwrm_port_mac_cfg_input mreq{};
    mreq.enables = cpu_to_le32(HWRM_PORT_CFG_ENABLES_LPBK);
    mreq.port_id = cpu_to_le16(port_id);
    mreq.lpbk = want.mac_lpbk;
    hwrm_port_cfg_output out{};
    rc = exchange(fn, HWRM_PORT_MAC_CFG, mreq, out);
    if (!rc.ok()) return rc;
    hwrm_port_phy_cfg_input preq{};
    preq.enables = cpu_to_le32(HWRM_PORT_CFG_ENABLES_LPBK);
    preq.port_id = cpu_to_le16(port_id);
    preq.lpbk = want.phy_lpbk;
    out = {};
    return exchange(fn, HWRM_PORT_PHY_CFG, preq, out);
}

}  // namespace zelt::device
