// N-tuple flow filter messages: the capability query, L2 filter and flow filter
// allocation, and the release of a flow filter. The filters live in the
// adapter's state, so a filter made by one process can be freed by another.
#include <cstdio>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_ntuple.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "ntuple";
// Ids handed out: the L2 filters count up from one base, the flow filters from
// another.
constexpr uint64_t kL2FilterIdBase = 0x2C000000ull;
constexpr uint64_t kNtupleFilterIdBase = 0x7E1000000000ull;

json load(const AdapterState& st) {
    auto it = st.features.find(kFeature);
    json j = it == st.features.end() ? json::object() : json::parse(it->second, nullptr, false);
    if (!j.is_object()) j = json::object();
    if (!j.contains("l2")) j["l2"] = json::object();
    if (!j.contains("filters")) j["filters"] = json::object();
    return j;
}

void store(AdapterState& st, const json& j) { st.features[kFeature] = j.dump(); }

std::string mac_text(const uint8_t* mac) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return buf;
}

uint16_t host_order(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

void qcaps(FirmwareContext& ctx, Exchange& ex) {
    hwrm_cfa_adv_flow_mgnt_qcaps_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_cfa_adv_flow_mgnt_qcaps_output out{};
    if (ctx.adapter.ntuple) out.flags = HWRM_CFA_ADV_FLOW_MGNT_QCAPS_FLAGS_NTUPLE_DEST_FUNC;
    ex.answer(out);
}

void l2_filter_alloc(FirmwareContext& ctx, Exchange& ex) {
    hwrm_cfa_l2_filter_alloc_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ntuple) return ex.error(kFwErrUnsupported);
    constexpr uint32_t kAddr = HWRM_CFA_L2_FILTER_ALLOC_ENABLES_L2_ADDR;
    if ((in.enables & kAddr) == 0) return ex.error(kFwErrInvalidParams);
    json j = load(ctx.state);
    const uint64_t id = kL2FilterIdBase + j.value("next_l2", 0u);
    j["next_l2"] = j.value("next_l2", 0u) + 1;
    j["l2"][std::to_string(id)] = json{{"mac", mac_text(in.l2_addr)}, {"flags", in.flags}};
    store(ctx.state, j);
    hwrm_cfa_l2_filter_alloc_output out{};
    out.l2_filter_id = id;
    ex.answer(out);
}

void ntuple_filter_alloc(FirmwareContext& ctx, Exchange& ex) {
    hwrm_cfa_ntuple_filter_alloc_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ntuple) return ex.error(kFwErrUnsupported);
    json j = load(ctx.state);
    if (!j["l2"].contains(std::to_string(in.l2_filter_id))) return ex.error(kFwErrInvalidParams);
    const uint64_t id = kNtupleFilterIdBase + j.value("next", 0u);
    j["next"] = j.value("next", 0u) + 1;
    j["filters"][std::to_string(id)] = json{{"l2_filter_id", in.l2_filter_id},
                                            {"flags", in.flags},
                                            {"enables", in.enables},
                                            {"ethertype", host_order(in.ethertype)},
                                            {"ip_addr_type", in.ip_addr_type},
                                            {"dst_id", in.dst_id},
                                            {"dst_port", host_order(in.dst_port)},
                                            {"dst_port_mask", host_order(in.dst_port_mask)}};
    store(ctx.state, j);
    hwrm_cfa_ntuple_filter_alloc_output out{};
    out.ntuple_filter_id = id;
    ex.answer(out);
}

void ntuple_filter_free(FirmwareContext& ctx, Exchange& ex) {
    hwrm_cfa_ntuple_filter_free_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!ctx.adapter.ntuple) return ex.error(kFwErrUnsupported);
    json j = load(ctx.state);
    if (j["filters"].erase(std::to_string(in.ntuple_filter_id)) == 0) return ex.error(kFwErrNotFound);
    store(ctx.state, j);
    hwrm_cfa_ntuple_filter_free_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_ntuple_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_CFA_ADV_FLOW_MGNT_QCAPS: qcaps(ctx, ex); return true;
        case HWRM_CFA_L2_FILTER_ALLOC: l2_filter_alloc(ctx, ex); return true;
        case HWRM_CFA_NTUPLE_FILTER_ALLOC: ntuple_filter_alloc(ctx, ex); return true;
        case HWRM_CFA_NTUPLE_FILTER_FREE: ntuple_filter_free(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
