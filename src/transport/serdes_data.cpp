#include "transport/serdes_data.h"

#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_selftest.h"

namespace zelt::transport {

Result zelt_query_target_ber_support(const Function& fn, uint8_t* support) {
    hwrm_selftest_qlist_input req{};
    hwrm_selftest_qlist_output resp{};
    Result rc = exchange(fn, HWRM_SELFTEST_QLIST, req, resp);
    if (rc.ok() && support) *support = resp.eyescope_target_BER_support;
    return rc;
}

Result zelt_retrieve_serdes_data(const Function& fn, const SerdesRequest& request, std::span<uint8_t> buffer,
                                 SerdesAnswer* answer) {
    hwrm_selftest_retrieve_serdes_data_input req{};
    req.data_len = cpu_to_le16(static_cast<uint16_t>(buffer.size()));
    req.flags = request.flags;
    req.options = request.lane;
    req.targetBER = request.target;
    req.action = request.action;
    hwrm_selftest_retrieve_serdes_data_output resp{};
    HwrmData data{buffer.data(), static_cast<uint32_t>(buffer.size()),
                  offsetof(hwrm_selftest_retrieve_serdes_data_input, resp_data_addr), 1};
    Result rc = exchange(fn, HWRM_SELFTEST_RETRIEVE_SERDES_DATA, req, resp, buffer.empty() ? nullptr : &data);
    if (rc.ok() && answer) {
        answer->total_len = le16_to_cpu(resp.total_data_len);
        answer->copied_len = le16_to_cpu(resp.copied_data_len);
        answer->progress = le16_to_cpu(resp.progress_percent);
        answer->flags = resp.flags;
    }
    return rc;
}

}  // namespace zelt::transport
