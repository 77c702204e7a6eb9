// Option list and detailed option help.
#include "options/option_help.h"

#include "common/directory_types.h"
#include "options/catalogue.h"
#include "options/option_messages.h"
#include "options/option_parse.h"

namespace zelt {

namespace {

const char* scope_word(uint16_t dir_type) {
    switch (dir_type) {
        case ZEL_DIR_TYPE_PORT_CFG:
            return "Port";
        case ZEL_DIR_TYPE_FUNC_CFG:
            return "Function";
        default:
            return "Device";
    }
}

}  // namespace

std::string zeltnvm_display_option_help() {
    std::string s = zeltnvm_format("%-32s  %-10s\n", "Name", "Scope");
    s += zeltnvm_format("---------------- %*s --------- \n", 16, "");
    for (const auto* row = arr; row->option != 0; ++row) {
        if (row->visibility & ZELTNVM_VIS_LISTED) s += zeltnvm_format("%-32s  %-10s\n", row->name, scope_word(row->dir_type));
    }
    s += "\nFor additional information about each parameter, please\n"
         "run zeltnvm -dev=<interface_name> optionhelp=<parameter>\n";
    return s;
}

std::string zeltnvm_detailed_option_help(const zeltnvm_option* opt, int device_type) {
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(opt->option);
    if (row == nullptr) return {};
    std::string s = zeltnvm_format("%-22s : %s\n", "Name", opt->name);

    s += zeltnvm_format("%-22s : ", "Description");
    for (size_t i = 0; i < sizeof row->description && row->description[i] != '\0'; ++i) {
        if (row->description[i] == '\n') {
            s += "\n\t\t\t ";
        } else {
            s += row->description[i];
        }
    }
    s += "\n";

    const bool array = row->elem_num_bits != 0;
    if (row->dir_type == ZEL_DIR_TYPE_PORT_CFG || row->dir_type == ZEL_DIR_TYPE_FUNC_CFG) {
        s += zeltnvm_format("%-22s : %s\n", "Option Type", array ? "Multi Instance, Array Type" : "Multi Instance Type");
        if (row->option == ZELTNVM_OPT_SUPPORT_RDMA && device_type >= 0 && device_type <= 5) {
            s += zeltnvm_format("%-22s : 0 to 3\n", "Max Instance Indexes");
        } else {
            s += zeltnvm_format("%-22s : 0 to %d\n", "Max Instance Indexes", opt->max_instance);
        }
    } else {
        s += zeltnvm_format("%-22s : %s\n", "Option Type", "Single Instance Type");
    }

    if (array) {
        if (zeltnvm_is_four_element_option(row->option)) {
            s += zeltnvm_format("%-22s : 0 to 3\n", "Array Indexes");
        } else if (zeltnvm_is_two_element_option(row->option)) {
            s += zeltnvm_format("%-22s : 0 to 1\n", "Array Indexes");
        } else {
            s += zeltnvm_format("%-22s : 0 to %d\n", "Array Indexes", row->num_bits / row->elem_num_bits - 1);
        }
    }

    const char* vv = "Valid values";
    if (row->allowedValList == nullptr && row->max != 0) {
        if (row->option == ZELTNVM_OPT_MAX_NUM_PF_MSIX_VECT) {
            s += zeltnvm_format("%-22s : %d to %d\n", vv, static_cast<int>(row->min), device_type > 3 ? 512 : 470);
        } else {
            s += zeltnvm_format("%-22s : %d to %u\n", vv, static_cast<int>(row->min), row->max);
        }
    } else if (zeltnvm_is_afm_option_num(row->option)) {
        s += zeltnvm_format("%-22s : 0 to 65535\n", vv);
    } else if (zeltnvm_row_has_value_list(*row)) {
        s += zeltnvm_format("%-22s :\n", vv);
        for (const auto* e = row->allowedValList; e->value != -1; ++e) s += zeltnvm_format("  %d (%s)\n", e->value, e->desc);
        if (row->option == ZELTNVM_OPT_AUTODETECT_SPEED_EXCLUDE_MASK) s += "  value '0' and combination of valid values\n";
    } else {
        s += zeltnvm_format("%-22s :", vv);
        if (row->option == ZELTNVM_OPT_PTP_TSIO_PIN_CFG) {
            s += "\n";
            for (uint32_t i = 0; i < ZELTNVM_PTP_PIN_FUNCTIONS; ++i) {
                s += zeltnvm_format(" %u (%s)\n", i, zeltnvm_ptp_pin_function_name(i));
            }
        } else if (row->option == ZELTNVM_OPT_COS_PRECEDENCE_ORDER) {
            s += " A valid setting is four unique digit between range 0 to 3.\n";
        } else if (row->option >= ZELTNVM_OPT_EP4_TX_MIN_RATE && row->option <= ZELTNVM_OPT_QG1_RX_MAX_RATE) {
            s += " 0 to 100. A value of 0 indicates no rate limit.\n";
        } else {
            s += " Digit String with valid value\n";
        }
    }
    return s;
}

}  // namespace zelt
