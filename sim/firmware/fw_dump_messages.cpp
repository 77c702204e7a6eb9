// The firmware's core dump: a table of segments whose contents come from the adapter's
// own simulated state (running versions, option values, counters and registers), the
// segment list served in 2048-byte pages and each segment in 4096-byte pages.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_coredump.h"
#include "wire/hwrm_messages.h"

namespace zelt::sim {

namespace {

struct Segment {
    coredump_segment_record record{};
    std::vector<uint8_t> data;
};

void append_text(std::vector<uint8_t>& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

template <class T>
void append_value(std::vector<uint8_t>& out, const T& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    out.insert(out.end(), p, p + sizeof v);
}

Segment make_segment(uint16_t component, uint16_t segment, uint8_t version, std::vector<uint8_t> data) {
    Segment s;
    s.record.component_id = component;
    s.record.segment_id = segment;
    s.record.max_instances = 1;
    s.record.version_hi = 1;
    s.record.version_low = version;
    s.record.segment_len = static_cast<uint32_t>(data.size());
    s.data = std::move(data);
    return s;
}

// A memory image several pages long whose bytes depend on the adapter and on how often
// it was reset, so two dumps of different states differ.
std::vector<uint8_t> memory_image(const FirmwareContext& ctx) {
    uint32_t x = 2166136261u;
    for (char c : ctx.adapter.name) x = (x ^ static_cast<uint8_t>(c)) * 16777619u;
    x ^= ctx.state.reset_count;
    std::vector<uint8_t> out(3 * 4096 + 700);
    for (uint8_t& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

// The number of segments a "coredump_segments" fault makes the firmware list; -1 without one.
int listed_count_fault(const FirmwareContext& ctx) {
    if (!ctx.faults) return -1;
    for (const FaultDesc& f : *ctx.faults) {
        if (f.kind != "coredump_segments") continue;
        if (!f.adapter.empty() && f.adapter != ctx.adapter.name) continue;
        if (!f.function.empty() && f.function != ctx.function.address() && f.function != ctx.function.ifname) continue;
        return static_cast<int>(f.value);
    }
    return -1;
}

std::vector<Segment> segment_table(const FirmwareContext& ctx) {
    const AdapterState& st = ctx.state;
    std::vector<Segment> table;
    std::vector<uint8_t> versions;
    append_text(versions, "fw " + st.running_fw_version + "\npkg " + st.running_pkg_version + "\ncfg " +
                              st.running_cfg_version + "\n");
    table.push_back(make_segment(1, 0, 0, std::move(versions)));
    std::vector<uint8_t> options;
    for (const auto& [id, var] : st.options) {
        append_text(options, "option " + std::to_string(id) + " bits " + std::to_string(var.bits) + " values " +
                                 std::to_string(var.values.size()) + "\n");
    }
    if (options.empty()) append_text(options, "no options\n");
    table.push_back(make_segment(1, 1, 0, std::move(options)));
    std::vector<uint8_t> counters;
    append_value(counters, st.reset_count);
    append_value(counters, st.error_recovery_count);
    append_value(counters, st.flush_count);
    for (uint64_t c : st.pcie_counters) append_value(counters, c);
    table.push_back(make_segment(3, 0, 2, std::move(counters)));
    table.push_back(make_segment(5, 0, 1, memory_image(ctx)));
    std::vector<uint8_t> registers;
    append_text(registers, "REGS");
    append_value(registers, static_cast<uint32_t>(st.registers.size()));
    for (const auto& [addr, value] : st.registers) {
        append_value(registers, addr);
        append_value(registers, value);
    }
    table.push_back(make_segment(5, 2, 1, std::move(registers)));

    const int wanted = listed_count_fault(ctx);
    if (wanted >= 0) {
        table.resize(std::min<size_t>(table.size(), static_cast<size_t>(wanted)));
        for (int i = static_cast<int>(table.size()); i < wanted; ++i) {
            std::vector<uint8_t> data;
            append_text(data, "generated segment " + std::to_string(i) + " of " + ctx.adapter.name + "\n");
            table.push_back(make_segment(0x20, static_cast<uint16_t>(i), 0, std::move(data)));
        }
    }
    return table;
}

const Segment* find_segment(const std::vector<Segment>& table, uint16_t component, uint16_t segment) {
    for (const Segment& s : table)
        if (s.record.component_id == component && s.record.segment_id == segment) return &s;
    return nullptr;
}

void coredump_list(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_coredump_list_input in;
    if (!ex.request(in) || in.host_buf_len == 0) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf =
        ex.dma_at(offsetof(hwrm_dbg_coredump_list_input, host_dest_addr), in.host_buf_len, /*exact=*/false);
    if (buf.empty()) return ex.error(kFwErrInvalidParams);
    const std::vector<Segment> table = segment_table(ctx);
    std::vector<uint8_t> list;
    for (const Segment& s : table) append_value(list, s.record);
    const size_t page = std::min<size_t>(in.host_buf_len, 0xFFFF) / sizeof(coredump_segment_record) *
                        sizeof(coredump_segment_record);
    const size_t from = size_t{in.seq_no} * page;
    if (page == 0 || (from >= list.size() && !list.empty())) return ex.error(kFwErrInvalidParams);
    const size_t n = list.empty() ? 0 : std::min(page, list.size() - from);
    if (n) std::memcpy(buf.data(), list.data() + from, n);
    hwrm_dbg_coredump_list_output out{};
    out.total_segments = static_cast<uint16_t>(table.size());
    out.data_len = static_cast<uint16_t>(n);
    out.flags = from + n < list.size() ? 1 : 0;
    ex.answer(out);
}

void coredump_initiate(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_coredump_initiate_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (!find_segment(segment_table(ctx), in.component_id, in.segment_id)) return ex.error(kFwErrNotFound);
    hwrm_dbg_coredump_initiate_output out{};
    ex.answer(out);
}

void coredump_retrieve(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_coredump_retrieve_input in;
    if (!ex.request(in) || in.host_buf_len == 0) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf =
        ex.dma_at(offsetof(hwrm_dbg_coredump_retrieve_input, host_dest_addr), in.host_buf_len, /*exact=*/false);
    if (buf.empty()) return ex.error(kFwErrInvalidParams);
    const std::vector<Segment> table = segment_table(ctx);
    const Segment* seg = find_segment(table, in.component_id, in.segment_id);
    if (!seg) return ex.error(kFwErrNotFound);
    const size_t page = std::min<size_t>(in.host_buf_len, 0xFFFF);
    const size_t from = size_t{in.seq_no} * page;
    if (from > seg->data.size()) return ex.error(kFwErrInvalidParams);
    const size_t n = std::min(page, seg->data.size() - from);
    if (n) std::memcpy(buf.data(), seg->data.data() + from, n);
    hwrm_dbg_coredump_retrieve_output out{};
    out.data_len = static_cast<uint16_t>(n);
    out.flags = from + n < seg->data.size() ? 1 : 0;
    ex.answer(out);
}

// Lanes of a port the SerDes diagnostics serve.
constexpr uint16_t kDscLanes = 4;

// SerDes diagnostic data: started per lane and level, then retrieved; the bytes depend
// on the lane, the level and the adapter's temperature.
void port_dsc_dump(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_dsc_dump_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.lane_number >= kDscLanes || in.diag_level >= HWRM_DSC_DUMP_LEVELS) return ex.error(kFwErrInvalidParams);
    hwrm_port_dsc_dump_output out{};
    if (in.dsc_dump_config == HWRM_DSC_DUMP_CONFIG_START) return ex.answer(out);
    std::span<uint8_t> buf = ex.dma_at(offsetof(hwrm_port_dsc_dump_input, resp_data_addr), in.data_len, false);
    if (buf.empty()) return ex.error(kFwErrInvalidParams);
    const size_t n = std::min<size_t>(buf.size(), 256u + 64u * in.diag_level);
    for (size_t i = 0; i < n; ++i)
        buf[i] = static_cast<uint8_t>(i * 3 + in.lane_number * 17 + in.diag_level * 29 + ctx.state.temperature);
    out.total_data_len = static_cast<uint32_t>(n);
    ex.answer(out);
}

}  // namespace

bool answer_dump_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_DBG_COREDUMP_LIST: coredump_list(ctx, ex); return true;
        case HWRM_DBG_COREDUMP_INITIATE: coredump_initiate(ctx, ex); return true;
        case HWRM_DBG_COREDUMP_RETRIEVE: coredump_retrieve(ctx, ex); return true;
        case HWRM_PORT_DSC_DUMP: port_dsc_dump(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
