#include "device/features/tunnel.h"

#include "options/catalogue.h"
#include "transport/hwrm_exchange.h"
#include "transport/nvm_variables.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_tunnel.h"

namespace zelt::device {

namespace {

using transport::exchange;
using transport::Function;

uint8_t wire_type(TunnelType type) {
    return type == TunnelType::vxlan_ipv6 ? HWRM_TUNNEL_TYPE_VXLAN_IPV6 : HWRM_TUNNEL_TYPE_VXLAN_IPV4;
}

// The option that keeps the VXLAN over IPv4 port.
constexpr uint16_t kVxlanPortOption = 851;

// UDP ports travel in network byte order.
uint16_t network_order(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

}  // namespace

Result zeltnvm_query_tunnel_port(const Function& fn, TunnelType type, TunnelPort* current) {
    hwrm_tunnel_dst_port_query_input req{};
    req.tunnel_type = wire_type(type);
    hwrm_tunnel_dst_port_query_output resp{};
    const Result rc = exchange(fn, HWRM_TUNNEL_DST_PORT_QUERY, req, resp);
    if (rc.ok()) {
        current->port = network_order(le16_to_cpu(resp.tunnel_dst_port_val));
        current->id = le16_to_cpu(resp.tunnel_dst_port_id);
    }
    return rc;
}

Result zeltnvm_alloc_tunnel_port(const Function& fn, TunnelType type, uint16_t port) {
    hwrm_tunnel_dst_port_alloc_input req{};
    req.tunnel_type = wire_type(type);
    req.tunnel_dst_port_val = network_order(port);
    hwrm_tunnel_dst_port_alloc_output resp{};
    return exchange(fn, HWRM_TUNNEL_DST_PORT_ALLOC, req, resp);
}

Result zeltnvm_free_tunnel_port(const Function& fn, TunnelType type, const TunnelPort& current) {
    hwrm_tunnel_dst_port_free_input req{};
    req.tunnel_type = wire_type(type);
    req.tunnel_dst_port_id = cpu_to_le16(current.id);
    hwrm_tunnel_dst_port_free_output resp{};
    return exchange(fn, HWRM_TUNNEL_DST_PORT_FREE, req, resp);
}

Result zeltnvm_store_vxlan_port_option(const Function& fn, uint16_t port) {
    // The option is the tool's own to set (users cannot): it is written directly, at the
    // width the catalogue gives it.
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(kVxlanPortOption);
    const transport::NvmVariableRef ref{.option = kVxlanPortOption, .bits = row ? row->num_bits : uint16_t{16}};
    const uint8_t value[2] = {static_cast<uint8_t>(port & 0xFF), static_cast<uint8_t>(port >> 8)};
    Result rc = transport::nvmVariableSet(fn, ref, value, sizeof value);
    if (!rc.ok()) return rc;
    return transport::nvmVariablesFlush(fn);
}

Result zeltnvm_query_rss_mode(const Function& fn, std::optional<RssMode>* mode) {
    hwrm_vnic_rss_qcfg_input req{};
    req.vnic_id = cpu_to_le16(HWRM_VNIC_ID_DEFAULT);
    hwrm_vnic_rss_qcfg_output resp{};
    const Result rc = exchange(fn, HWRM_VNIC_RSS_QCFG, req, resp);
    if (!rc.ok()) return rc;
    if (resp.hash_mode_flags & HWRM_VNIC_RSS_HASH_MODE_INNER)
        *mode = RssMode::inner;
    else if (resp.hash_mode_flags & HWRM_VNIC_RSS_HASH_MODE_OUTER)
        *mode = RssMode::outer;
    else
        *mode = std::nullopt;
    return rc;
}

Result zeltnvm_config_rss_mode(const Function& fn, RssMode mode) {
    hwrm_vnic_rss_cfg_input req{};
    req.vnic_id = cpu_to_le16(HWRM_VNIC_ID_DEFAULT);
    req.hash_mode_flags = mode == RssMode::inner ? HWRM_VNIC_RSS_HASH_MODE_INNER : HWRM_VNIC_RSS_HASH_MODE_OUTER;
    hwrm_vnic_rss_cfg_output resp{};
    return exchange(fn, HWRM_VNIC_RSS_CFG, req, resp);
}

}  // namespace zelt::device
