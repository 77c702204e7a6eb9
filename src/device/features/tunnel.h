// Custom tunnel destination ports and the RSS hash mode of tunnelled traffic.
#pragma once

#include <cstdint>
#include <optional>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

enum class TunnelType { vxlan_ipv4, vxlan_ipv6 };

// The destination port configured for a tunnel type (port 0: none) and the firmware's
// id of it.
struct TunnelPort {
    uint16_t port = 0;
    uint16_t id = 0;
};

// The custom destination port of `type`: query, set (`port` 1 to 65534) and free (the
// port of `current`, as the query found it).
Result zeltnvm_query_tunnel_port(const transport::Function& fn, TunnelType type, TunnelPort* current);
Result zeltnvm_alloc_tunnel_port(const transport::Function& fn, TunnelType type, uint16_t port);
Result zeltnvm_free_tunnel_port(const transport::Function& fn, TunnelType type, const TunnelPort& current);

// Keeps the VXLAN over IPv4 port (0: none) in the NVM configuration, where the firmware
// reads it at start-up: the ipv4ovxlan_udp_port option, written and committed.
Result zeltnvm_store_vxlan_port_option(const transport::Function& fn, uint16_t port);

enum class RssMode { outer, inner };

// The RSS hash mode of the function's default VNIC (nullopt when the firmware reports
// neither), and setting it.
Result zeltnvm_query_rss_mode(const transport::Function& fn, std::optional<RssMode>* mode);
Result zeltnvm_config_rss_mode(const transport::Function& fn, RssMode mode);

}  // namespace zelt::device
