#include "device/features/ntuple_filter.h"

#include <cstring>

#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_ntuple.h"
#include "wire/hwrm_query.h"

namespace zelt::device {

namespace {

constexpr uint16_t kEthertypeIpv4 = 0x0800;
constexpr uint16_t kEthertypeIpv6 = 0x86DD;
constexpr uint16_t kEthertypeArp = 0x0806;

// The flow filter's 16-bit match fields travel in network byte order.
constexpr uint16_t network_order(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

ResultOr<uint64_t> alloc_l2_filter(const transport::Function& fn, const NtupleFilterMatch& match) {
    hwrm_cfa_l2_filter_alloc_input req{};
    hwrm_cfa_l2_filter_alloc_output resp{};
    req.flags = match.ip_type == NtupleIpType::arp_reply ? HWRM_CFA_L2_FILTER_ALLOC_FLAGS_ARP_REPLY
                                                        : HWRM_CFA_L2_FILTER_ALLOC_FLAGS_PATH_RX;
    req.enables = HWRM_CFA_L2_FILTER_ALLOC_ENABLES_L2_ADDR | HWRM_CFA_L2_FILTER_ALLOC_ENABLES_L2_ADDR_MASK;
    std::memcpy(req.l2_addr, match.mac.data(), 6);
    std::memset(req.l2_addr_mask, 0xFF, 6);
    const Result rc = transport::exchange(fn, HWRM_CFA_L2_FILTER_ALLOC, req, resp);
    if (!rc.ok()) return rc;
    return resp.l2_filter_id;
}

ResultOr<uint16_t> first_vf_id(const transport::Function& fn) {
    hwrm_func_qcaps_input req{};
    hwrm_func_qcaps_output resp{};
    req.fid = HWRM_FID_SELF;
    const Result rc = transport::exchange(fn, HWRM_FUNC_QCAPS, req, resp);
    if (!rc.ok()) return rc;
    return resp.first_vf_id;
}

}  // namespace

ResultOr<bool> ntuple_filter_supported(const transport::Function& fn) {
    hwrm_cfa_adv_flow_mgnt_qcaps_input req{};
    hwrm_cfa_adv_flow_mgnt_qcaps_output resp{};
    const Result rc = transport::exchange(fn, HWRM_CFA_ADV_FLOW_MGNT_QCAPS, req, resp);
    if (!rc.ok()) return rc;
    return (resp.flags & HWRM_CFA_ADV_FLOW_MGNT_QCAPS_FLAGS_NTUPLE_DEST_FUNC) != 0;
}

ResultOr<uint64_t> add_ntuple_filter(const transport::Function& fn, const NtupleFilterMatch& match) {
    const auto l2_filter = alloc_l2_filter(fn, match);
    if (!l2_filter.ok()) return l2_filter.result();
    const auto first_vf = first_vf_id(fn);
    if (!first_vf.ok()) return first_vf.result();

    hwrm_cfa_ntuple_filter_alloc_input req{};
    hwrm_cfa_ntuple_filter_alloc_output resp{};
    req.l2_filter_id = *l2_filter;
    if (match.ip_type == NtupleIpType::arp_reply) {
        // ARP replies go back to the function itself (firmware function ids count
        // PFs from 1).
        req.flags = HWRM_CFA_NTUPLE_FILTER_ALLOC_FLAGS_ARP_REPLY;
        req.enables = HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_L2_FILTER_ID |
                      HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_ETHERTYPE | HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_ARP_REPLY;
        req.ethertype = network_order(kEthertypeArp);
        req.dst_id = static_cast<uint16_t>(fn.address.function + 1);
    } else {
        const bool v6 = match.ip_type == NtupleIpType::ipv6;
        req.flags = HWRM_CFA_NTUPLE_FILTER_ALLOC_FLAGS_DEST_FID;
        req.enables =
            HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_L2_FILTER_ID | HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_ETHERTYPE |
            HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_IPADDR_TYPE | HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_DST_ID |
            HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_DST_PORT | HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_DST_PORT_MASK;
        req.ethertype = network_order(v6 ? kEthertypeIpv6 : kEthertypeIpv4);
        req.ip_addr_type =
            v6 ? HWRM_CFA_NTUPLE_FILTER_ALLOC_IP_ADDR_TYPE_IPV6 : HWRM_CFA_NTUPLE_FILTER_ALLOC_IP_ADDR_TYPE_IPV4;
        req.ip_protocol = HWRM_CFA_NTUPLE_FILTER_ALLOC_IP_PROTOCOL_TCP;
        req.dst_id = static_cast<uint16_t>(*first_vf + match.vf_index);
        req.dst_port = network_order(match.dst_port);
        req.dst_port_mask = network_order(match.dst_port_mask);
    }
    const Result rc = transport::exchange(fn, HWRM_CFA_NTUPLE_FILTER_ALLOC, req, resp);
    if (!rc.ok()) return rc;
    return resp.ntuple_filter_id;
}

Result free_ntuple_filter(const transport::Function& fn, uint64_t filter_id) {
    hwrm_cfa_ntuple_filter_free_input req{};
    hwrm_cfa_ntuple_filter_free_output resp{};
    req.ntuple_filter_id = filter_id;
    return transport::exchange(fn, HWRM_CFA_NTUPLE_FILTER_FREE, req, resp);
}

}  // namespace zelt::device
