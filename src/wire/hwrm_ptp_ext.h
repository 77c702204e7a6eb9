// Firmware messages of the extended PTP parameters: which function is the PTP
// hardware clock's master and which its secondary, how the secondary takes over and
// the history of take-overs (hwrm_func_ptp_ext_cfg, hwrm_func_ptp_ext_qcfg).
// Functions are firmware function ids. Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// A function id field that names no function.
inline constexpr uint16_t HWRM_PTP_EXT_FID_NONE = 0xFFFF;

// How the secondary takes over (`phc_sec_mode`).
inline constexpr uint8_t HWRM_PTP_EXT_SEC_MODE_SWITCH = 0;
inline constexpr uint8_t HWRM_PTP_EXT_SEC_MODE_ALL = 1;
inline constexpr uint8_t HWRM_PTP_EXT_SEC_MODE_PF_ONLY = 2;

// `failover_timer` in milliseconds: 0 lets the firmware choose, this value never fails over.
inline constexpr uint32_t HWRM_PTP_EXT_FAILOVER_NEVER = 0xFFFFFFFF;

// ---- hwrm_func_ptp_ext_cfg (0x01A0) -------------------------------------------------
inline constexpr uint16_t HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_MASTER_FID = 0x1;
inline constexpr uint16_t HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_SEC_FID = 0x2;
inline constexpr uint16_t HWRM_FUNC_PTP_EXT_CFG_ENABLES_PHC_SEC_MODE = 0x4;
inline constexpr uint16_t HWRM_FUNC_PTP_EXT_CFG_ENABLES_FAILOVER_TIMER = 0x8;

struct hwrm_func_ptp_ext_cfg_input {
    hwrm_input_header hdr;
    uint16_t enables;
    uint16_t phc_master_fid;
    uint16_t phc_sec_fid;
    uint8_t phc_sec_mode;
    uint8_t unused_0;
    uint32_t failover_timer;
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_func_ptp_ext_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_cfg_input, enables, 16);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_cfg_input, phc_master_fid, 18);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_cfg_input, phc_sec_fid, 20);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_cfg_input, phc_sec_mode, 22);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_cfg_input, failover_timer, 24);

struct hwrm_func_ptp_ext_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_ptp_ext_cfg_output, 16);

// ---- hwrm_func_ptp_ext_qcfg (0x01A1) ------------------------------------------------
struct hwrm_func_ptp_ext_qcfg_input {
    hwrm_input_header hdr;
    uint8_t unused_0[8];
};
ZELT_HWRM_INPUT(hwrm_func_ptp_ext_qcfg_input, 24);

struct hwrm_func_ptp_ext_qcfg_output {
    hwrm_output_header hdr;
    uint16_t phc_master_fid;
    uint16_t phc_sec_fid;
    // The last and the second-last function that used the clock while being neither
    // master nor secondary.
    uint16_t phc_active_fid0;
    uint16_t phc_active_fid1;
    uint32_t last_failover_event;  // seconds since the epoch (0: never)
    uint16_t from_fid;             // the take-over: from this function
    uint16_t to_fid;               // to this one
    uint32_t failover_timer;
    uint8_t phc_sec_mode;
    uint8_t unused_0[2];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_ptp_ext_qcfg_output, 32);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, phc_master_fid, 8);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, phc_active_fid1, 14);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, last_failover_event, 16);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, from_fid, 20);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, to_fid, 22);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, failover_timer, 24);
ZELT_WIRE_FIELD(hwrm_func_ptp_ext_qcfg_output, phc_sec_mode, 28);

}  // namespace zelt
