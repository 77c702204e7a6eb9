#include "device/features/prbs.h"

#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_prbs.h"
#include "wire/hwrm_query.h"

namespace zelt::device {

Result zelt_run_prbs_test(const transport::Function& fn, const PrbsTest& test) {
    hwrm_func_qcaps_output caps{};
    Result rc = transport::zeltnvm_get_func_qcaps(fn, &caps);
    if (!rc.ok()) return rc;
    hwrm_port_prbs_test_input req{};
    req.port_id = caps.port_id;
    if (test.enable) {
        req.flags = cpu_to_le16(HWRM_PORT_PRBS_TEST_FLAGS_ENABLE);
        req.poly = test.poly;
        req.tx_lane_mask = cpu_to_le16(test.tx_lane_mask);
        req.rx_lane_mask = cpu_to_le16(test.rx_lane_mask);
        req.timeout = cpu_to_le16(test.timeout_s);
    }
    hwrm_port_prbs_test_output resp{};
    return transport::exchange(fn, HWRM_PORT_PRBS_TEST, req, resp);
}

}  // namespace zelt::device
