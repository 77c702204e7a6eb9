// Firmware messages of the port loopback modes: the MAC's loopback (hwrm_port_mac_qcfg,
// hwrm_port_mac_cfg), the PHY's (the `lpbk` byte of hwrm_port_phy_qcfg,
// hwrm_port_phy_cfg) and the modes the port can take (hwrm_port_phy_qcaps).
// Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// The PHY's loopback (hwrm_port_phy_qcfg and hwrm_port_phy_cfg `lpbk`).
inline constexpr uint8_t HWRM_PORT_PHY_LPBK_NONE = 0;
inline constexpr uint8_t HWRM_PORT_PHY_LPBK_LOCAL = 1;
inline constexpr uint8_t HWRM_PORT_PHY_LPBK_REMOTE = 2;
inline constexpr uint8_t HWRM_PORT_PHY_LPBK_EXTERNAL = 3;
// The MAC's loopback (hwrm_port_mac_qcfg and hwrm_port_mac_cfg `lpbk`).
inline constexpr uint8_t HWRM_PORT_MAC_LPBK_NONE = 0;
inline constexpr uint8_t HWRM_PORT_MAC_LPBK_LOCAL = 1;

// ---- hwrm_port_mac_qcfg (0x0028) ---------------------------------------------------
struct hwrm_port_mac_qcfg_input {
    hwrm_input_header hdr;
    uint16_t port_id;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_port_mac_qcfg_input, 24);
ZELT_WIRE_FIELD(hwrm_port_mac_qcfg_input, port_id, 16);

struct hwrm_port_mac_qcfg_output {
    hwrm_output_header hdr;
    uint16_t mru;
    uint16_t mtu;
    uint8_t ipg;
    uint8_t lpbk;
    uint8_t unused_0[9];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_mac_qcfg_output, 24);
ZELT_WIRE_FIELD(hwrm_port_mac_qcfg_output, lpbk, 13);

// ---- hwrm_port_mac_cfg and hwrm_port_phy_cfg ----------------------------------------
// Both set the loopback of one port when `enables` has the loopback bit.
inline constexpr uint32_t HWRM_PORT_CFG_ENABLES_LPBK = 0x00000001;

struct hwrm_port_mac_cfg_input {
    hwrm_input_header hdr;
    uint32_t flags;
    uint32_t enables;
    uint16_t port_id;
    uint8_t lpbk;
    uint8_t unused_0[5];
};
ZELT_HWRM_INPUT(hwrm_port_mac_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_port_mac_cfg_input, enables, 20);
ZELT_WIRE_FIELD(hwrm_port_mac_cfg_input, port_id, 24);
ZELT_WIRE_FIELD(hwrm_port_mac_cfg_input, lpbk, 26);

struct hwrm_port_phy_cfg_input {
    hwrm_input_header hdr;
    uint32_t flags;
    uint32_t enables;
    uint16_t port_id;
    uint8_t lpbk;
    uint8_t unused_0[5];
};
ZELT_HWRM_INPUT(hwrm_port_phy_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_port_phy_cfg_input, enables, 20);
ZELT_WIRE_FIELD(hwrm_port_phy_cfg_input, port_id, 24);
ZELT_WIRE_FIELD(hwrm_port_phy_cfg_input, lpbk, 26);

// The answer of both.
struct hwrm_port_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_cfg_output, 16);

// ---- hwrm_port_phy_qcaps (0x002A) ---------------------------------------------------
// `supported_lpbk`: the loopback modes the port can be set to.
inline constexpr uint8_t HWRM_PORT_PHY_QCAPS_LPBK_PHY_LOCAL = 0x01;
inline constexpr uint8_t HWRM_PORT_PHY_QCAPS_LPBK_PHY_REMOTE = 0x02;
inline constexpr uint8_t HWRM_PORT_PHY_QCAPS_LPBK_MAC_LOCAL = 0x04;
inline constexpr uint8_t HWRM_PORT_PHY_QCAPS_LPBK_EXTERNAL = 0x08;

struct hwrm_port_phy_qcaps_input {
    hwrm_input_header hdr;
    uint16_t port_id;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_port_phy_qcaps_input, 24);
ZELT_WIRE_FIELD(hwrm_port_phy_qcaps_input, port_id, 16);

struct hwrm_port_phy_qcaps_output {
    hwrm_output_header hdr;
    uint8_t flags;
    uint8_t port_cnt;
    uint8_t supported_lpbk;
    uint8_t unused_0[12];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_phy_qcaps_output, 24);
ZELT_WIRE_FIELD(hwrm_port_phy_qcaps_output, supported_lpbk, 10);

}  // namespace zelt
