// Firmware message of the PRBS test of a port's SerDes lanes (hwrm_port_prbs_test):
// starts the generator on the transmit lanes and the checker on the receive lanes of
// the masks, or stops both. Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// `flags`: start (with the masks, polynomial and time-out) or stop the test.
inline constexpr uint16_t HWRM_PORT_PRBS_TEST_FLAGS_ENABLE = 0x0001;

// `poly`: the pseudo-random sequence.
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS7 = 0;
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS9 = 1;
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS11 = 2;
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS15 = 3;
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS23 = 4;
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS31 = 5;
inline constexpr uint8_t HWRM_PORT_PRBS_POLY_PRBS58 = 6;

// ---- hwrm_port_prbs_test (0x00D5) ---------------------------------------------------
struct hwrm_port_prbs_test_input {
    hwrm_input_header hdr;
    uint16_t port_id;
    uint16_t flags;
    uint8_t poly;
    uint8_t unused_0;
    uint16_t tx_lane_mask;  // 0: every lane of the port
    uint16_t rx_lane_mask;  // 0: every lane of the port
    uint16_t timeout;       // seconds the test runs; 0: until stopped
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_port_prbs_test_input, 32);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_input, port_id, 16);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_input, flags, 18);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_input, poly, 20);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_input, tx_lane_mask, 22);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_input, rx_lane_mask, 24);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_input, timeout, 26);

struct hwrm_port_prbs_test_output {
    hwrm_output_header hdr;
    uint16_t tx_lanes_running;
    uint16_t rx_lanes_running;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_prbs_test_output, 16);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_output, tx_lanes_running, 8);
ZELT_WIRE_FIELD(hwrm_port_prbs_test_output, rx_lanes_running, 10);

}  // namespace zelt
