// Firmware messages of synchronous Ethernet: the frequency profile of the recovered
// clock and the state of its primary and secondary outputs (hwrm_func_synce_cfg,
// hwrm_func_synce_qcfg). Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// `freq_profile`: none configured, or the 25 MHz profile.
inline constexpr uint8_t HWRM_FUNC_SYNCE_FREQ_PROFILE_INVALID = 0;
inline constexpr uint8_t HWRM_FUNC_SYNCE_FREQ_PROFILE_25MHZ = 1;

// ---- hwrm_func_synce_cfg (0x01AB) ---------------------------------------------------
inline constexpr uint8_t HWRM_FUNC_SYNCE_CFG_ENABLES_FREQ_PROFILE = 0x1;
inline constexpr uint8_t HWRM_FUNC_SYNCE_CFG_ENABLES_PRIMARY_CLOCK = 0x2;
inline constexpr uint8_t HWRM_FUNC_SYNCE_CFG_ENABLES_SECONDARY_CLOCK = 0x4;

struct hwrm_func_synce_cfg_input {
    hwrm_input_header hdr;
    uint8_t enables;
    uint8_t freq_profile;
    uint8_t primary_clock_state;    // 1 enabled, 0 disabled
    uint8_t secondary_clock_state;  // 1 enabled, 0 disabled
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_func_synce_cfg_input, 24);
ZELT_WIRE_FIELD(hwrm_func_synce_cfg_input, enables, 16);
ZELT_WIRE_FIELD(hwrm_func_synce_cfg_input, freq_profile, 17);
ZELT_WIRE_FIELD(hwrm_func_synce_cfg_input, primary_clock_state, 18);
ZELT_WIRE_FIELD(hwrm_func_synce_cfg_input, secondary_clock_state, 19);

struct hwrm_func_synce_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_synce_cfg_output, 16);

// ---- hwrm_func_synce_qcfg (0x01AC) --------------------------------------------------
struct hwrm_func_synce_qcfg_input {
    hwrm_input_header hdr;
    uint8_t unused_0[8];
};
ZELT_HWRM_INPUT(hwrm_func_synce_qcfg_input, 24);

// `state`: the outputs that are enabled.
inline constexpr uint8_t HWRM_FUNC_SYNCE_QCFG_STATE_PRIMARY_CLOCK = 0x1;
inline constexpr uint8_t HWRM_FUNC_SYNCE_QCFG_STATE_SECONDARY_CLOCK = 0x2;

struct hwrm_func_synce_qcfg_output {
    hwrm_output_header hdr;
    uint8_t freq_profile;
    uint8_t state;
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_synce_qcfg_output, 16);
ZELT_WIRE_FIELD(hwrm_func_synce_qcfg_output, freq_profile, 8);
ZELT_WIRE_FIELD(hwrm_func_synce_qcfg_output, state, 9);

}  // namespace zelt
