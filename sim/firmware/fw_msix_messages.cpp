// The MSI-X vector tables of the adapter's PFs as structured data, checked by the
// firmware's own rules before one is kept: the table of a PF starts at the PF's first
// VF, its rows start VF ranges in ascending, aligned steps inside the PF's VFs, and the
// vectors stay within the configuration space's size, the small VFs' limit and the
// PF's total. A refusal names its reason and values in the answer's status words.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_structured_data.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "msix";
constexpr unsigned kRows = HWRM_MSIX_VECTOR_TABLE_ROWS;
// The firmware's limits.
constexpr unsigned kStartAlignment = 8;  // a row starts a multiple of this many VFs into the PF's
constexpr unsigned kSmallVfs = 8;        // the PF's first VFs, which take fewer vectors
constexpr unsigned kSmallVfMaxMsix = 16;
constexpr unsigned kConfigSizeMsix = 64;  // the MSI-X table size of a VF's configuration space
constexpr unsigned kPfMaxMsix = 2048;     // vectors of all the PF's VFs together

struct Row {
    unsigned start_vf = 0;
    unsigned msix = 0;
};

const FunctionDesc* pf_desc(const FirmwareContext& ctx, unsigned pf) {
    for (const FunctionDesc& f : ctx.adapter.functions)
        if (!f.is_vf && f.pf_index == pf) return &f;
    return nullptr;
}

// Firmware id of the PF's first VF (as its function query reports it).
unsigned first_vf(const FunctionDesc& f) { return 128 + f.pf_index * f.total_vfs; }

json load(const AdapterState& st) {
    auto it = st.features.find(kFeature);
    json j = it == st.features.end() ? json::object() : json::parse(it->second, nullptr, false);
    return j.is_object() ? j : json::object();
}

// The PF's table: as stored, or its first row over every VF.
std::vector<Row> table_of(const json& j, const FunctionDesc& f) {
    std::vector<Row> rows(kRows);
    const std::string key = std::to_string(f.pf_index);
    if (j.contains(key) && j[key].is_array() && j[key].size() == kRows) {
        for (unsigned i = 0; i < kRows; ++i) rows[i] = {j[key][i].value("start_vf", 0u), j[key][i].value("msix", 0u)};
    } else {
        rows[0] = {first_vf(f), kSmallVfMaxMsix};
    }
    return rows;
}

struct Refusal {
    uint8_t reason = 0;
    unsigned row = 0;
    unsigned vf_value = 0;
    unsigned other_value = 0;
};

// The first rule the table breaks (reason 0: none).
Refusal check_table(const FirmwareContext& ctx, unsigned pf, unsigned row_count, const std::vector<Row>& rows) {
    const FunctionDesc* f = pf_desc(ctx, pf);
    if (!f) return {HWRM_MSIX_REFUSED_PF_OUT_OF_RANGE};
    if (f->total_vfs == 0) return {HWRM_MSIX_REFUSED_NO_VFS};
    // The used rows come first: a row with vectors after one without is a gap.
    unsigned used = 0;
    while (used < rows.size() && rows[used].msix != 0) ++used;
    bool gap = false;
    for (unsigned i = used; i < rows.size(); ++i) gap = gap || rows[i].msix != 0 || rows[i].start_vf != 0;
    if (row_count != kRows || gap) return {HWRM_MSIX_REFUSED_ROW_COUNT};
    if (rows[0].msix == 0) return {HWRM_MSIX_REFUSED_FIRST_ROW_ZERO};
    const unsigned begin = first_vf(*f);
    const unsigned end = begin + f->total_vfs - 1;
    if (rows[0].start_vf != begin) return {HWRM_MSIX_REFUSED_FIRST_ROW_START, 0, begin};
    unsigned sum = 0;
    for (unsigned i = 0; i < used; ++i) {
        const Row& r = rows[i];
        if (i > 0) {
            if (r.start_vf < begin || r.start_vf > end) return {HWRM_MSIX_REFUSED_START_OUT_OF_RANGE, i, end, begin};
            if ((r.start_vf - begin) % kStartAlignment != 0)
                return {HWRM_MSIX_REFUSED_START_ALIGNMENT, i, 0, kStartAlignment};
            if (r.start_vf <= rows[i - 1].start_vf) return {HWRM_MSIX_REFUSED_START_NOT_ASCENDING, i};
        }
        if (r.msix > kConfigSizeMsix) return {HWRM_MSIX_REFUSED_ABOVE_CONFIG_SIZE, i, 0, kConfigSizeMsix};
        if (r.start_vf < begin + kSmallVfs && r.msix > kSmallVfMaxMsix)
            return {HWRM_MSIX_REFUSED_SMALL_VF, i, r.start_vf, kSmallVfMaxMsix};
        const unsigned next = i + 1 < used ? rows[i + 1].start_vf : end + 1;
        sum += r.msix * (next - r.start_vf);
    }
    if (sum > kPfMaxMsix) return {HWRM_MSIX_REFUSED_SUM_ABOVE_PF_MAX, 0, sum, kPfMaxMsix};
    return {};
}

void get_structured_data(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_get_structured_data_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.structure_id != HWRM_STRUCT_ID_MSIX_VECTOR_TABLE) return ex.error(kFwErrNotFound);
    if (in.data_len < sizeof(hwrm_struct_hdr)) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.dma_at(offsetof(hwrm_fw_get_structured_data_input, dest_data_addr), in.data_len);
    if (buf.size() != in.data_len) return ex.error(kFwErrInvalidParams);
    const json j = load(ctx.state);
    const size_t room =
        std::min<size_t>(in.count, (buf.size() - sizeof(hwrm_struct_hdr)) / sizeof(hwrm_msix_vector_table_entry));
    uint8_t count = 0;
    for (const FunctionDesc& f : ctx.adapter.functions) {
        if (f.is_vf || f.total_vfs == 0 || count >= room) continue;
        hwrm_msix_vector_table_entry e{};
        e.pf_id = static_cast<uint16_t>(f.pf_index);
        e.row_count = kRows;
        const std::vector<Row> rows = table_of(j, f);
        for (unsigned i = 0; i < kRows; ++i)
            e.rows[i] = {static_cast<uint16_t>(rows[i].start_vf), static_cast<uint16_t>(rows[i].msix)};
        std::memcpy(buf.data() + sizeof(hwrm_struct_hdr) + count * sizeof e, &e, sizeof e);
        ++count;
    }
    hwrm_struct_hdr hdr{};
    hdr.struct_id = HWRM_STRUCT_ID_MSIX_VECTOR_TABLE;
    hdr.len = static_cast<uint16_t>(count * sizeof(hwrm_msix_vector_table_entry));
    hdr.version = HWRM_MSIX_VECTOR_TABLE_VERSION;
    hdr.count = count;
    std::memcpy(buf.data(), &hdr, sizeof hdr);
    hwrm_fw_get_structured_data_output out{};
    out.hdr_cnt = 1;
    ex.answer(out);
}

void set_structured_data(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_set_structured_data_input in;
    if (!ex.request(in) || in.hdr_cnt != 1) return ex.error(kFwErrInvalidParams);
    constexpr size_t kBytes = sizeof(hwrm_struct_hdr) + sizeof(hwrm_msix_vector_table_entry);
    if (in.data_len != kBytes) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.source_at(offsetof(hwrm_fw_set_structured_data_input, src_data_addr), kBytes);
    if (buf.size() != kBytes) return ex.error(kFwErrInvalidParams);
    hwrm_struct_hdr hdr;
    std::memcpy(&hdr, buf.data(), sizeof hdr);
    if (hdr.struct_id != HWRM_STRUCT_ID_MSIX_VECTOR_TABLE || hdr.version != HWRM_MSIX_VECTOR_TABLE_VERSION ||
        hdr.count != 1 || hdr.len != sizeof(hwrm_msix_vector_table_entry))
        return ex.error(kFwErrInvalidParams);
    hwrm_msix_vector_table_entry e;
    std::memcpy(&e, buf.data() + sizeof hdr, sizeof e);
    std::vector<Row> rows(kRows);
    for (unsigned i = 0; i < kRows; ++i) rows[i] = {e.rows[i].start_vf, e.rows[i].msix};
    const Refusal f = check_table(ctx, e.pf_id, e.row_count, rows);
    if (f.reason != 0) {
        const uint32_t first = (f.vf_value & 0xFFFFu) | (uint32_t{f.other_value} << 16);
        const uint16_t second = static_cast<uint16_t>(f.reason | (f.row << 8));
        return ex.error_with_status(kFwErrInvalidParams, first, second);
    }
    json j = load(ctx.state);
    json list = json::array();
    for (const Row& r : rows) list.push_back({{"start_vf", r.start_vf}, {"msix", r.msix}});
    j[std::to_string(e.pf_id)] = list;
    ctx.state.features[kFeature] = j.dump();
    hwrm_fw_set_structured_data_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_msix_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_FW_GET_STRUCTURED_DATA: get_structured_data(ctx, ex); return true;
        case HWRM_FW_SET_STRUCTURED_DATA: set_structured_data(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
