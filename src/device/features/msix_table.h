// The MSI-X vector table of the virtual functions of an adapter's PFs, kept by the
// firmware as structured data.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

struct MsixRow {
    uint16_t start_vf = 0;  // firmware function id of the row's first VF
    uint16_t msix = 0;      // vectors of each VF of the row
};

struct MsixTable {
    uint16_t pf = 0;
    std::array<MsixRow, 8> rows{};
};

// Why the firmware refused a table: its reason code, the row it names and the two
// values its message carries (a VF id and another number).
struct MsixRefusal {
    uint8_t reason = 0;
    uint8_t row = 0;
    uint16_t vf_value = 0;
    uint16_t other_value = 0;
};

// The tables of every PF with VFs. `structure_matches` is false when the firmware
// answered with another structure than the table (then `tables` stays empty).
Result zeltnvm_get_msix_tables(const transport::Function& fn, std::vector<MsixTable>* tables, bool* structure_matches);

// Sends `table` as the PF's new table. A refusal's reason is written to `refusal`
// (reason 0 when the answer carried none).
Result zeltnvm_set_msix_table(const transport::Function& fn, const MsixTable& table, MsixRefusal* refusal);

}  // namespace zelt::device
