// Firmware messages that configure a physical function's virtual functions: the
// trusted flag (hwrm_func_cfg, read back through hwrm_func_qcfg of the VF) and the
// default MAC address (hwrm_func_vf_cfg). Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// hwrm_ver_get dev_caps_cfg: the firmware can mark virtual functions trusted.
inline constexpr uint32_t HWRM_VER_GET_DEV_CAPS_CFG_TRUSTED_VF = 0x0400;
// hwrm_func_qcfg flags: the queried virtual function is trusted.
inline constexpr uint16_t HWRM_FUNC_QCFG_FLAGS_TRUSTED_VF = 0x0040;

// ---- hwrm_func_cfg ---------------------------------------------------------------
inline constexpr uint32_t HWRM_FUNC_CFG_FLAGS_TRUSTED_VF_ENABLE = 0x00000001;
inline constexpr uint32_t HWRM_FUNC_CFG_ENABLES_TRUSTED_VF = 0x00000001;

struct hwrm_func_cfg_input {
    hwrm_input_header hdr;
    uint16_t fid;  // the function configured (a VF's firmware id)
    uint8_t unused_0[2];
    uint32_t flags;
    uint32_t enables;  // which of the fields above are to be applied
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_func_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_func_cfg_input, fid, 16);
ZELT_WIRE_FIELD(hwrm_func_cfg_input, flags, 20);
ZELT_WIRE_FIELD(hwrm_func_cfg_input, enables, 24);

struct hwrm_func_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_cfg_output, 16);

// ---- hwrm_func_vf_cfg (0x000F) -----------------------------------------------------
inline constexpr uint32_t HWRM_FUNC_VF_CFG_ENABLES_DFLT_MAC_ADDR = 0x00000001;

struct hwrm_func_vf_cfg_input {
    hwrm_input_header hdr;
    uint16_t vf_id;  // the VF's firmware id
    uint8_t unused_0[2];
    uint32_t enables;
    uint8_t dflt_mac_addr[6];
    uint8_t unused_1[2];
};
ZELT_HWRM_INPUT(hwrm_func_vf_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_func_vf_cfg_input, vf_id, 16);
ZELT_WIRE_FIELD(hwrm_func_vf_cfg_input, enables, 20);
ZELT_WIRE_FIELD(hwrm_func_vf_cfg_input, dflt_mac_addr, 24);

struct hwrm_func_vf_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_vf_cfg_output, 16);

}  // namespace zelt
