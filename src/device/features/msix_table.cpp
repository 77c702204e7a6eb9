#include "device/features/msix_table.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_structured_data.h"

namespace zelt::device {

namespace {

// PFs an adapter can have: the read buffer has room for a table of each.
constexpr std::size_t kMaxTables = 16;

}  // namespace

Result zeltnvm_get_msix_tables(const transport::Function& fn, std::vector<MsixTable>* tables, bool* structure_matches) {
    std::vector<uint8_t> buf(sizeof(hwrm_struct_hdr) + kMaxTables * sizeof(hwrm_msix_vector_table_entry), 0);
    hwrm_fw_get_structured_data_input req{};
    req.data_len = cpu_to_le16(static_cast<uint16_t>(buf.size()));
    req.structure_id = cpu_to_le16(HWRM_STRUCT_ID_MSIX_VECTOR_TABLE);
    req.count = static_cast<uint8_t>(kMaxTables);
    hwrm_fw_get_structured_data_output resp{};
    const transport::HwrmData data{buf.data(), static_cast<uint32_t>(buf.size()),
                                   offsetof(hwrm_fw_get_structured_data_input, dest_data_addr), 1};
    const Result rc = transport::exchange(fn, HWRM_FW_GET_STRUCTURED_DATA, req, resp, &data);
    tables->clear();
    *structure_matches = false;
    if (!rc.ok()) return rc;
    hwrm_struct_hdr hdr;
    std::memcpy(&hdr, buf.data(), sizeof hdr);
    if (le16_to_cpu(hdr.struct_id) != HWRM_STRUCT_ID_MSIX_VECTOR_TABLE) return rc;
    *structure_matches = true;
    // Only entries that lie wholly inside both the buffer and the length the header gives.
    const std::size_t room = std::min<std::size_t>(le16_to_cpu(hdr.len), buf.size() - sizeof hdr);
    const std::size_t count = std::min<std::size_t>(hdr.count, room / sizeof(hwrm_msix_vector_table_entry));
    for (std::size_t i = 0; i < count; ++i) {
        hwrm_msix_vector_table_entry e;
        std::memcpy(&e, buf.data() + sizeof hdr + i * sizeof e, sizeof e);
        MsixTable t;
        t.pf = le16_to_cpu(e.pf_id);
        const std::size_t rows = std::min<std::size_t>(le16_to_cpu(e.row_count), t.rows.size());
        for (std::size_t r = 0; r < rows; ++r)
            t.rows[r] = {le16_to_cpu(e.rows[r].start_vf), le16_to_cpu(e.rows[r].msix)};
        tables->push_back(t);
    }
    return rc;
}

Result zeltnvm_set_msix_table(const transport::Function& fn, const MsixTable& table, MsixRefusal* refusal) {
    std::vector<uint8_t> buf(sizeof(hwrm_struct_hdr) + sizeof(hwrm_msix_vector_table_entry), 0);
    hwrm_struct_hdr hdr{};
    hdr.struct_id = cpu_to_le16(HWRM_STRUCT_ID_MSIX_VECTOR_TABLE);
    hdr.len = cpu_to_le16(sizeof(hwrm_msix_vector_table_entry));
    hdr.version = HWRM_MSIX_VECTOR_TABLE_VERSION;
    hdr.count = 1;
    hwrm_msix_vector_table_entry e{};
    e.pf_id = cpu_to_le16(table.pf);
    e.row_count = cpu_to_le16(HWRM_MSIX_VECTOR_TABLE_ROWS);
    for (std::size_t r = 0; r < table.rows.size(); ++r)
        e.rows[r] = {cpu_to_le16(table.rows[r].start_vf), cpu_to_le16(table.rows[r].msix)};
    std::memcpy(buf.data(), &hdr, sizeof hdr);
    std::memcpy(buf.data() + sizeof hdr, &e, sizeof e);

    hwrm_fw_set_structured_data_input req{};
    req.data_len = cpu_to_le16(static_cast<uint16_t>(buf.size()));
    req.hdr_cnt = 1;
    hwrm_fw_set_structured_data_output resp{};
    const transport::HwrmData data{buf.data(), static_cast<uint32_t>(buf.size()),
                                   offsetof(hwrm_fw_set_structured_data_input, src_data_addr), 0};
    const Result rc = transport::exchange(fn, HWRM_FW_SET_STRUCTURED_DATA, req, resp, &data);
    *refusal = {};
    if (!rc.ok() && rc.origin() == Origin::kFirmware) {
        // The error answer stands where the answer would: its status words say why.
        static_assert(sizeof resp == sizeof(hwrm_err_output));
        hwrm_err_output err;
        std::memcpy(&err, &resp, sizeof err);
        const uint16_t second = le16_to_cpu(err.opaque_1);
        const uint32_t first = le32_to_cpu(err.opaque_0);
        *refusal = {.reason = static_cast<uint8_t>(second & 0xFF),
                    .row = static_cast<uint8_t>(second >> 8),
                    .vf_value = static_cast<uint16_t>(first & 0xFFFF),
                    .other_value = static_cast<uint16_t>(first >> 16)};
    }
    return rc;
}

}  // namespace zelt::device
