// The PRBS test of the SerDes lanes of a function's port.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

struct PrbsTest {
    bool enable = false;
    uint8_t poly = 0;           // HWRM_PORT_PRBS_POLY_*
    uint16_t rx_lane_mask = 0;  // 0: every lane
    uint16_t tx_lane_mask = 0;
    uint16_t timeout_s = 0;  // 0: until stopped
};

// Starts (`test.enable`) or stops the PRBS test on the port of `fn`.
Result zelt_run_prbs_test(const transport::Function& fn, const PrbsTest& test);

}  // namespace zelt::device
