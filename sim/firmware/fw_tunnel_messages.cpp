// Tunnel destination port and RSS hash mode messages. The adapter keeps one custom
// destination port per tunnel type and the RSS hash mode of its functions' default
// VNICs in its state, so a later process sees what an earlier one set.
#include <string>

#include <nlohmann/json.hpp>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_tunnel.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "tunnel";

json load(const AdapterState& st) {
    auto it = st.features.find(kFeature);
    json j = it == st.features.end() ? json::object() : json::parse(it->second, nullptr, false);
    if (!j.is_object()) j = json::object();
    if (!j.contains("ports") || !j["ports"].is_object()) j["ports"] = json::object();
    return j;
}

void store(AdapterState& st, const json& j) { st.features[kFeature] = j.dump(); }

bool known_type(uint8_t type) { return type == HWRM_TUNNEL_TYPE_VXLAN_IPV4 || type == HWRM_TUNNEL_TYPE_VXLAN_IPV6; }

uint16_t swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

void port_query(FirmwareContext& ctx, Exchange& ex) {
    hwrm_tunnel_dst_port_query_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || !known_type(in.tunnel_type))
        return ex.error(kFwErrInvalidParams);
    const json j = load(ctx.state);
    hwrm_tunnel_dst_port_query_output out{};
    const std::string key = std::to_string(in.tunnel_type);
    if (j["ports"].contains(key)) {
        out.tunnel_dst_port_val = swap16(j["ports"][key].value("port", uint16_t{0}));
        out.tunnel_dst_port_id = j["ports"][key].value("id", uint16_t{0});
    }
    ex.answer(out);
}

void port_alloc(FirmwareContext& ctx, Exchange& ex) {
    hwrm_tunnel_dst_port_alloc_input in;
    if (!ex.request(in) || !known_type(in.tunnel_type) || in.tunnel_dst_port_val == 0)
        return ex.error(kFwErrInvalidParams);
    json j = load(ctx.state);
    const std::string key = std::to_string(in.tunnel_type);
    if (j["ports"].contains(key)) return ex.error(kFwErrNoResources);
    const uint16_t id = static_cast<uint16_t>(j.value("next_id", 1u));
    j["next_id"] = id + 1u;
    j["ports"][key] = json{{"port", swap16(in.tunnel_dst_port_val)}, {"id", id}};
    store(ctx.state, j);
    hwrm_tunnel_dst_port_alloc_output out{};
    out.tunnel_dst_port_id = id;
    ex.answer(out);
}

void port_free(FirmwareContext& ctx, Exchange& ex) {
    hwrm_tunnel_dst_port_free_input in;
    if (!ex.request(in) || !known_type(in.tunnel_type)) return ex.error(kFwErrInvalidParams);
    json j = load(ctx.state);
    const std::string key = std::to_string(in.tunnel_type);
    if (!j["ports"].contains(key) || j["ports"][key].value("id", 0u) != in.tunnel_dst_port_id)
        return ex.error(kFwErrNotFound);
    j["ports"].erase(key);
    store(ctx.state, j);
    hwrm_tunnel_dst_port_free_output out{};
    ex.answer(out);
}

void rss_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_vnic_rss_qcfg_input in;
    if (!ex.request(in) || in.vnic_id != HWRM_VNIC_ID_DEFAULT) return ex.error(kFwErrInvalidParams);
    const json j = load(ctx.state);
    hwrm_vnic_rss_qcfg_output out{};
    out.hash_type = 0x3F;
    out.hash_mode_flags = j.value("rss_mode", HWRM_VNIC_RSS_HASH_MODE_OUTER);
    ex.answer(out);
}

void rss_cfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_vnic_rss_cfg_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0) || in.vnic_id != HWRM_VNIC_ID_DEFAULT)
        return ex.error(kFwErrInvalidParams);
    if (in.hash_mode_flags != HWRM_VNIC_RSS_HASH_MODE_INNER && in.hash_mode_flags != HWRM_VNIC_RSS_HASH_MODE_OUTER)
        return ex.error(kFwErrInvalidParams);
    json j = load(ctx.state);
    j["rss_mode"] = in.hash_mode_flags;
    store(ctx.state, j);
    hwrm_vnic_rss_cfg_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_tunnel_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_TUNNEL_DST_PORT_QUERY: port_query(ctx, ex); return true;
        case HWRM_TUNNEL_DST_PORT_ALLOC: port_alloc(ctx, ex); return true;
        case HWRM_TUNNEL_DST_PORT_FREE: port_free(ctx, ex); return true;
        case HWRM_VNIC_RSS_QCFG: rss_qcfg(ctx, ex); return true;
        case HWRM_VNIC_RSS_CFG: rss_cfg(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
