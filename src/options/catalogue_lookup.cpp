// Searches over the option catalogue and its value lists. Every search walks from the
// first row to the end row and returns the first match.
#include <strings.h>

#include "options/catalogue.h"

namespace zelt {

const nvm_mapping_table_row_t* zeltnvm_find_row_by_number(uint16_t option) {
    if (option == 0) return nullptr;
    for (const auto* row = arr; row->option != 0; ++row) {
        if (row->option == option) return row;
    }
    return nullptr;
}

const nvm_mapping_table_row_t* zeltnvm_find_row_by_name(const char* name) {
    if (name == nullptr) return nullptr;
    for (const auto* row = arr; row->option != 0; ++row) {
        if (strcasecmp(row->name, name) == 0) return row;
    }
    return nullptr;
}

bool zeltnvm_row_has_value_list(const nvm_mapping_table_row_t& row) {
    return row.allowedValList != nullptr && row.allowedValList[0].value != -1;
}

const allowedVal* zeltnvm_find_allowed_value(const allowedVal* list, int64_t value) {
    if (list == nullptr) return nullptr;
    for (const auto* e = list; e->value != -1; ++e) {
        if (e->value == value) return e;
    }
    return nullptr;
}

const allowedVal* zeltnvm_find_allowed_label(const allowedVal* list, const char* label) {
    if (list == nullptr || label == nullptr) return nullptr;
    for (const auto* e = list; e->value != -1; ++e) {
        if (strcasecmp(e->desc, label) == 0) return e;
    }
    return nullptr;
}

const char* zeltnvm_ptp_pin_function_name(uint32_t value) {
    static const char* const names[ZELTNVM_PTP_PIN_FUNCTIONS] = {
        "none", "pps_in", "pps_out", "sync_in", "sync_out", "synce_primary_clk_out", "synce_secondary_clk_out"};
    return value < ZELTNVM_PTP_PIN_FUNCTIONS ? names[value] : "none";
}

}  // namespace zelt
