// Firmware messages of the n-tuple flow filters: the capability query, the L2
// filter a flow filter hangs from, and the allocation and release of the flow
// filter itself. Little-endian unless a field says otherwise.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// ---- hwrm_cfa_adv_flow_mgnt_qcaps (0x0124)
// ------------------------------------------
struct hwrm_cfa_adv_flow_mgnt_qcaps_input {
    hwrm_input_header hdr;
    uint8_t unused_0[8];
};
ZELT_HWRM_INPUT(hwrm_cfa_adv_flow_mgnt_qcaps_input, 24);

// The function may steer n-tuple filters to its virtual functions.
inline constexpr uint32_t HWRM_CFA_ADV_FLOW_MGNT_QCAPS_FLAGS_NTUPLE_DEST_FUNC = 0x0001;

struct hwrm_cfa_adv_flow_mgnt_qcaps_output {
    hwrm_output_header hdr;
    uint32_t flags;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_cfa_adv_flow_mgnt_qcaps_output, 16);
ZELT_WIRE_FIELD(hwrm_cfa_adv_flow_mgnt_qcaps_output, flags, 8);

// ---- hwrm_cfa_l2_filter_alloc (0x0090)
// ----------------------------------------------
inline constexpr uint32_t HWRM_CFA_L2_FILTER_ALLOC_FLAGS_PATH_RX = 0x01;
// Receive path, outermost headers, ARP reply traffic that may be dropped.
inline constexpr uint32_t HWRM_CFA_L2_FILTER_ALLOC_FLAGS_ARP_REPLY = 0x59;
inline constexpr uint32_t HWRM_CFA_L2_FILTER_ALLOC_ENABLES_L2_ADDR = 0x01;
inline constexpr uint32_t HWRM_CFA_L2_FILTER_ALLOC_ENABLES_L2_ADDR_MASK = 0x02;

struct hwrm_cfa_l2_filter_alloc_input {
    hwrm_input_header hdr;
    uint32_t flags;
    uint32_t enables;
    uint8_t l2_addr[6];
    uint8_t unused_0[2];
    uint8_t l2_addr_mask[6];
    uint16_t l2_ovlan;
    uint16_t l2_ovlan_mask;
    uint16_t l2_ivlan;
    uint16_t l2_ivlan_mask;
    uint8_t unused_1[2];
    uint8_t t_l2_addr[6];
    uint8_t unused_2[2];
    uint8_t t_l2_addr_mask[6];
    uint16_t t_l2_ovlan;
    uint16_t t_l2_ovlan_mask;
    uint16_t t_l2_ivlan;
    uint16_t t_l2_ivlan_mask;
    uint8_t src_type;
    uint8_t unused_3;
    uint32_t src_id;
    uint8_t tunnel_type;
    uint8_t unused_4;
    uint16_t dst_id;
    uint16_t mirror_vnic_id;
    uint8_t pri_hint;
    uint8_t unused_5;
    uint32_t unused_6;
    uint64_t l2_filter_id_hint;
};
ZELT_HWRM_INPUT(hwrm_cfa_l2_filter_alloc_input, 96);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_input, flags, 16);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_input, enables, 20);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_input, l2_addr, 24);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_input, l2_addr_mask, 32);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_input, dst_id, 78);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_input, l2_filter_id_hint, 88);

struct hwrm_cfa_l2_filter_alloc_output {
    hwrm_output_header hdr;
    uint64_t l2_filter_id;
    uint32_t flow_id;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_cfa_l2_filter_alloc_output, 24);
ZELT_WIRE_FIELD(hwrm_cfa_l2_filter_alloc_output, l2_filter_id, 8);

// ---- hwrm_cfa_ntuple_filter_alloc (0x0099)
// ------------------------------------------ Steer the matching traffic to the
// function named by dst_id.
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_FLAGS_DEST_FID = 0x08;
// The same, for ARP replies.
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_FLAGS_ARP_REPLY = 0x18;
// Fields the filter matches on (`enables`).
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_L2_FILTER_ID = 0x00001;
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_ETHERTYPE = 0x00002;
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_IPADDR_TYPE = 0x00010;
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_DST_ID = 0x00200;
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_DST_PORT = 0x01000;
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_DST_PORT_MASK = 0x02000;
inline constexpr uint32_t HWRM_CFA_NTUPLE_FILTER_ALLOC_ENABLES_ARP_REPLY = 0x20000;
inline constexpr uint8_t HWRM_CFA_NTUPLE_FILTER_ALLOC_IP_ADDR_TYPE_IPV4 = 4;
inline constexpr uint8_t HWRM_CFA_NTUPLE_FILTER_ALLOC_IP_ADDR_TYPE_IPV6 = 6;
inline constexpr uint8_t HWRM_CFA_NTUPLE_FILTER_ALLOC_IP_PROTOCOL_TCP = 6;

struct hwrm_cfa_ntuple_filter_alloc_input {
    hwrm_input_header hdr;
    uint32_t flags;
    uint32_t enables;
    uint64_t l2_filter_id;
    uint8_t src_macaddr[6];
    uint16_t ethertype;  // network byte order
    uint8_t ip_addr_type;
    uint8_t ip_protocol;
    uint16_t dst_id;
    uint16_t mirror_vnic_id;
    uint8_t tunnel_type;
    uint8_t pri_hint;
    uint32_t src_ipaddr[4];
    uint32_t src_ipaddr_mask[4];
    uint32_t dst_ipaddr[4];
    uint32_t dst_ipaddr_mask[4];
    uint16_t src_port;
    uint16_t src_port_mask;
    uint16_t dst_port;       // network byte order
    uint16_t dst_port_mask;  // network byte order
    uint64_t ntuple_filter_id_hint;
};
ZELT_HWRM_INPUT(hwrm_cfa_ntuple_filter_alloc_input, 128);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, flags, 16);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, enables, 20);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, l2_filter_id, 24);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, ethertype, 38);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, ip_addr_type, 40);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, ip_protocol, 41);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, dst_id, 42);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, src_ipaddr, 48);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, dst_port, 116);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, dst_port_mask, 118);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_input, ntuple_filter_id_hint, 120);

struct hwrm_cfa_ntuple_filter_alloc_output {
    hwrm_output_header hdr;
    uint64_t ntuple_filter_id;
    uint32_t flow_id;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_cfa_ntuple_filter_alloc_output, 24);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_alloc_output, ntuple_filter_id, 8);

// ---- hwrm_cfa_ntuple_filter_free (0x009A)
// -------------------------------------------
struct hwrm_cfa_ntuple_filter_free_input {
    hwrm_input_header hdr;
    uint64_t ntuple_filter_id;
};
ZELT_HWRM_INPUT(hwrm_cfa_ntuple_filter_free_input, 24);
ZELT_WIRE_FIELD(hwrm_cfa_ntuple_filter_free_input, ntuple_filter_id, 16);

struct hwrm_cfa_ntuple_filter_free_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_cfa_ntuple_filter_free_output, 16);

}  // namespace zelt
