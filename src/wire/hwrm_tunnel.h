// Firmware messages of the tunnel destination ports (hwrm_tunnel_dst_port_query,
// hwrm_tunnel_dst_port_alloc, hwrm_tunnel_dst_port_free) and the RSS hash mode of the
// function's default VNIC (hwrm_vnic_rss_qcfg, hwrm_vnic_rss_cfg). Little-endian,
// except the UDP port values, which travel in network byte order.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// `tunnel_type` of the three port messages.
inline constexpr uint8_t HWRM_TUNNEL_TYPE_VXLAN_IPV4 = 9;
inline constexpr uint8_t HWRM_TUNNEL_TYPE_VXLAN_IPV6 = 12;

// ---- hwrm_tunnel_dst_port_query (0x00A0) --------------------------------------------
struct hwrm_tunnel_dst_port_query_input {
    hwrm_input_header hdr;
    uint8_t tunnel_type;
    uint8_t unused_0[7];
};
ZELT_HWRM_INPUT(hwrm_tunnel_dst_port_query_input, 24);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_query_input, tunnel_type, 16);

struct hwrm_tunnel_dst_port_query_output {
    hwrm_output_header hdr;
    uint16_t tunnel_dst_port_id;
    uint16_t tunnel_dst_port_val;  // network byte order; 0: no port configured
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_tunnel_dst_port_query_output, 16);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_query_output, tunnel_dst_port_id, 8);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_query_output, tunnel_dst_port_val, 10);

// ---- hwrm_tunnel_dst_port_alloc (0x00A1) --------------------------------------------
struct hwrm_tunnel_dst_port_alloc_input {
    hwrm_input_header hdr;
    uint8_t tunnel_type;
    uint8_t unused_0;
    uint16_t tunnel_dst_port_val;  // network byte order
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_tunnel_dst_port_alloc_input, 24);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_alloc_input, tunnel_type, 16);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_alloc_input, tunnel_dst_port_val, 18);

struct hwrm_tunnel_dst_port_alloc_output {
    hwrm_output_header hdr;
    uint16_t tunnel_dst_port_id;
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_tunnel_dst_port_alloc_output, 16);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_alloc_output, tunnel_dst_port_id, 8);

// ---- hwrm_tunnel_dst_port_free (0x00A2) ---------------------------------------------
struct hwrm_tunnel_dst_port_free_input {
    hwrm_input_header hdr;
    uint8_t tunnel_type;
    uint8_t unused_0;
    uint16_t tunnel_dst_port_id;
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_tunnel_dst_port_free_input, 24);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_free_input, tunnel_type, 16);
ZELT_WIRE_FIELD(hwrm_tunnel_dst_port_free_input, tunnel_dst_port_id, 18);

struct hwrm_tunnel_dst_port_free_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_tunnel_dst_port_free_output, 16);

// RSS hash mode of a VNIC (`hash_mode_flags`): hash on the outer headers of tunnelled
// packets, or on the inner ones.
inline constexpr uint8_t HWRM_VNIC_RSS_HASH_MODE_OUTER = 0x02;
inline constexpr uint8_t HWRM_VNIC_RSS_HASH_MODE_INNER = 0x04;
// `vnic_id` naming the function's default VNIC.
inline constexpr uint16_t HWRM_VNIC_ID_DEFAULT = 0xFFFF;

// ---- hwrm_vnic_rss_qcfg (0x0047) ----------------------------------------------------
struct hwrm_vnic_rss_qcfg_input {
    hwrm_input_header hdr;
    uint16_t rss_ctx_idx;
    uint16_t vnic_id;
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_vnic_rss_qcfg_input, 24);
ZELT_WIRE_FIELD(hwrm_vnic_rss_qcfg_input, vnic_id, 18);

struct hwrm_vnic_rss_qcfg_output {
    hwrm_output_header hdr;
    uint32_t hash_type;
    uint8_t hash_mode_flags;
    uint8_t unused_0[2];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_vnic_rss_qcfg_output, 16);
ZELT_WIRE_FIELD(hwrm_vnic_rss_qcfg_output, hash_mode_flags, 12);

// ---- hwrm_vnic_rss_cfg (0x0046) -----------------------------------------------------
struct hwrm_vnic_rss_cfg_input {
    hwrm_input_header hdr;
    uint32_t hash_type;
    uint16_t vnic_id;
    uint8_t ring_table_pair_index;
    uint8_t hash_mode_flags;
    uint8_t unused_0[8];
};
ZELT_HWRM_INPUT(hwrm_vnic_rss_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_vnic_rss_cfg_input, vnic_id, 20);
ZELT_WIRE_FIELD(hwrm_vnic_rss_cfg_input, hash_mode_flags, 23);

struct hwrm_vnic_rss_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_vnic_rss_cfg_output, 16);

}  // namespace zelt
