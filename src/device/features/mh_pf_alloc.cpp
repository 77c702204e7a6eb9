#include "device/features/mh_pf_alloc.h"

#include "options/catalogue.h"
#include "transport/nvm_variables.h"

namespace zelt::device {

namespace {

constexpr uint16_t kOption = 163;

// Element `index` of the option. Each element is read and written at the element's own
// width (one byte of data), as getoption does for an array element: asking for the
// whole option's width would let the firmware write more than the one-byte buffer.
transport::NvmVariableRef element(uint16_t index) {
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(kOption);
    const uint16_t bits = row && row->elem_num_bits ? row->elem_num_bits : 8;
    return {.option = kOption, .bits = bits, .dimensions = 1, .index_0 = index};
}

}  // namespace

Result zeltnvm_get_mh_pf_alloc(const transport::Function& fn, MhPfCounts* counts, int* failed_index) {
    MhPfCounts read{};
    for (uint16_t ep = 0; ep < read.size(); ++ep) {
        const Result rc = transport::nvmVariableGet(fn, element(ep + 1), &read[ep], 1);
        if (!rc.ok()) {
            *failed_index = ep + 1;
            return rc;
        }
    }
    *counts = read;
    return {};
}

Result zeltnvm_set_mh_pf_alloc(const transport::Function& fn, const MhPfCounts& counts) {
    for (uint16_t ep = 0; ep < counts.size(); ++ep) {
        const Result rc = transport::nvmVariableSet(fn, element(ep + 1), &counts[ep], 1);
        if (!rc.ok()) return rc;
    }
    return transport::nvmVariablesFlush(fn);
}

}  // namespace zelt::device
