// The self-test messages behind the eye diagrams: the test list's eye-scope target
// support, and the SerDes data retrieval in its older-scan and eye-scope forms.
// Every operation returns the channel's result unchanged.
#pragma once

#include <cstdint>
#include <span>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::transport {

// The highest eye-scope target BER index the firmware supports.
Result zelt_query_target_ber_support(const Function& fn, uint8_t* support);

struct SerdesRequest {
    uint8_t flags = 0;
    uint8_t lane = 0;
    uint8_t target = 0;   // eye-scope target BER index
    uint8_t action = 0;   // 0 for the older scans
};

struct SerdesAnswer {
    uint16_t total_len = 0;
    uint16_t copied_len = 0;
    uint16_t progress = 0;  // tenths of a percent
    uint8_t flags = 0;
};

// One retrieval. `buffer` (empty for a progress query) receives the data.
Result zelt_retrieve_serdes_data(const Function& fn, const SerdesRequest& request, std::span<uint8_t> buffer,
                                 SerdesAnswer* answer);

}  // namespace zelt::transport
