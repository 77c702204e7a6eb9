// Firmware messages of the transmit equalisation (TX FIR) of a port's SerDes lanes:
// hwrm_port_tx_fir_qcfg reads the four values of one lane, hwrm_port_tx_fir_cfg sets
// them on the lanes of a mask. Each message names the signalling the values apply to.
// Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// Message number of hwrm_port_tx_fir_cfg (hwrm_port_tx_fir_qcfg is HWRM_PORT_TX_FIR_QCFG).
inline constexpr uint16_t HWRM_PORT_TX_FIR_CFG = 0x00BB;

// `mod_type`: the signalling of the settings.
inline constexpr uint8_t HWRM_PORT_TX_FIR_MOD_TYPE_NRZ = 0;
inline constexpr uint8_t HWRM_PORT_TX_FIR_MOD_TYPE_PAM4 = 1;

// ---- hwrm_port_tx_fir_qcfg (0x00BC) -------------------------------------------------
struct hwrm_port_tx_fir_qcfg_input {
    hwrm_input_header hdr;
    uint16_t port_id;
    uint8_t mod_type;
    uint8_t lane_id;
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_port_tx_fir_qcfg_input, 24);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_qcfg_input, port_id, 16);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_qcfg_input, mod_type, 18);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_qcfg_input, lane_id, 19);

struct hwrm_port_tx_fir_qcfg_output {
    hwrm_output_header hdr;
    uint32_t txfir_val_1;
    uint32_t txfir_val_2;
    uint32_t txfir_val_3;
    uint32_t txfir_val_4;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_tx_fir_qcfg_output, 32);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_qcfg_output, txfir_val_1, 8);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_qcfg_output, txfir_val_4, 20);

// ---- hwrm_port_tx_fir_cfg (0x00BB) --------------------------------------------------
struct hwrm_port_tx_fir_cfg_input {
    hwrm_input_header hdr;
    uint16_t port_id;
    uint8_t mod_type;
    uint8_t lane_mask;
    uint8_t unused_0[4];
    uint32_t txfir_val_1;
    uint32_t txfir_val_2;
    uint32_t txfir_val_3;
    uint32_t txfir_val_4;
};
ZELT_HWRM_INPUT(hwrm_port_tx_fir_cfg_input, 40);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_cfg_input, port_id, 16);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_cfg_input, mod_type, 18);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_cfg_input, lane_mask, 19);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_cfg_input, txfir_val_1, 24);
ZELT_WIRE_FIELD(hwrm_port_tx_fir_cfg_input, txfir_val_4, 36);

struct hwrm_port_tx_fir_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_tx_fir_cfg_output, 16);

}  // namespace zelt
