// N-tuple flow filters: steering the traffic of one MAC address (and, for IP
// traffic, one TCP destination port) to a virtual function or to the function
// itself.
#pragma once

#include <array>
#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// The traffic a filter matches, as the command names it.
enum class NtupleIpType : uint8_t { ipv4 = 1, ipv6 = 2, arp_reply = 3 };

struct NtupleFilterMatch {
    std::array<uint8_t, 6> mac{};
    uint16_t dst_port = 0;       // IPv4/IPv6 only
    uint16_t dst_port_mask = 0;  // IPv4/IPv6 only
    uint16_t vf_index = 0;       // IPv4/IPv6: the VF the traffic goes to
    NtupleIpType ip_type = NtupleIpType::ipv4;
};

// Whether the function's firmware can steer n-tuple filters.
ResultOr<bool> ntuple_filter_supported(const transport::Function& fn);

// Creates the L2 filter for the MAC address and the flow filter on it; returns
// the flow filter's id.
ResultOr<uint64_t> add_ntuple_filter(const transport::Function& fn, const NtupleFilterMatch& match);

// Removes the flow filter with `filter_id`.
Result free_ntuple_filter(const transport::Function& fn, uint64_t filter_id);

}  // namespace zelt::device
