// Device-dependent checks of an option request: what the catalogue alone cannot decide
// (privileges, capabilities, port and function counts, limits of the adapter).
#include <cstring>
#include <string>
#include <vector>

#include "cli/device_queries.h"
#include "cli/option_commands.h"
#include "cli/option_commands_internal.h"
#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "log/print.h"
#include "options/catalogue.h"
#include "options/option_parse.h"
#include "transport/function.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

constexpr int kKestraFirst = 8;  // device types of the newest chip family start here

bool is_link_speed_option(uint16_t option) {
    return option == ZELTNVM_OPT_DRV_LINK_SPEED || option == ZELTNVM_OPT_FIRMWARE_LINK_SPEED_D0 ||
           option == ZELTNVM_OPT_FIRMWARE_LINK_SPEED_D3;
}

int check_truflow(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt, int type) {
    if (type >= kKestraFirst) return 0;
    if (!zeltnvm_has_hcapi_directory(device, opt)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "HCAPI NVM directory is not installed\n");
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Setting %s is not supported on the current NVM configuration\n",
                      opt->name);
        return 2;
    }
    if (opt->option == ZELTNVM_OPT_ENABLE_TRUFLOW && type == 6) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Setting True Flow is not supported on this hardware\n");
        return 2;
    }
    return 0;
}

int check_support_rdma(const zelt::device::InventoryFunction* device, zeltnvm_option* opt, int type) {
    if (type <= 5 && opt->opt_value != 0) {
        const int functions = adapter_function_count(device, false);
        int enabled = 0;
        for (int f = 0; f < functions; ++f) {
            uint64_t v = 0;
            if (zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_SUPPORT_RDMA, 1, 1, static_cast<uint16_t>(f), &v) == 0 &&
                v != 0) {
                ++enabled;
            }
        }
        if (enabled > 3) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                          "Cannot enable RDMA on this function, because this will exceed maximum number of RDMA "
                          "functions (4).\n");
            return ZELT_RC_BUSY;
        }
    }
    uint64_t capable = 0;
    if (zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_RDMA_CAPABLE, 1, 0, 0, &capable) != 0 || capable == 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Error: Please enable %s to set %s\n", "rdma_capable", opt->name);
        return 2;
    }
    return 0;
}

int check_port_hide(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    uint64_t capable = 0;
    if (zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_PORT_HIDE_CAPABLE, 1, 0, 0, &capable) != 0 || capable == 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "port hide configuration is not supported on this hardware\n");
        return 1;
    }
    int ports = 0;
    const int rc = zeltnvm_option_port_count(device, opt, &ports);
    if (rc != 0) return rc;
    if (ports == 1) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "port hide configuration is not supported on this hardware\n");
        return 1;
    }
    if (ports == 2 && opt->opt_value > 1) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "Invalid value provided. Please run optionhelp for supported values\n");
        return 1;
    }
    return 0;
}

// Labels of the speeds the firmware supports, in the order they are reported.
std::vector<std::string> supported_speed_labels(uint16_t speeds, uint16_t pam4) {
    struct Bit {
        bool pam4;
        uint16_t mask;
        const char* label;
    };
    static const Bit bits[] = {
        {false, 0x8, "1G"},       {false, 0x40, "10G"},     {false, 0x100, "25G"},   {false, 0x200, "40G"},
        {false, 0x400, "50G"},    {false, 0x800, "100G"},   {true, 0x1, "50G_PAM4"}, {true, 0x2, "100G_PAM4"},
        {true, 0x4, "200G_PAM4"}, {false, 0x20, "2.5G"},    {false, 0x2, "100M"},
    };
    std::vector<std::string> labels;
    for (const auto& b : bits) {
        if (((b.pam4 ? pam4 : speeds) & b.mask) != 0) labels.emplace_back(b.label);
    }
    return labels;
}

int check_link_speed(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    uint16_t speeds = 0;
    uint16_t pam4 = 0;
    const int rc = on_function(device, [&](const zelt::transport::Function& fn) {
                       return zeltnvm_get_supported_speeds(fn, &speeds, &pam4);
                   }).code();
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Failed to get FW supported speeds\n");
        return rc;
    }
    const auto labels = supported_speed_labels(speeds, pam4);
    const nvm_mapping_table_row_t* row = zeltnvm_find_row_by_number(opt->option);
    const allowedVal* e = row ? zeltnvm_find_allowed_value(row->allowedValList, opt->opt_value) : nullptr;
    if (e == nullptr || e->desc[0] == '\0') {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Failed to get list of supported speeds\n");
        return 1;
    }
    for (const auto& l : labels) {
        if (l == e->desc) return 0;
    }
    std::string joined;
    for (const auto& l : labels) joined += (joined.empty() ? "" : ", ") + l;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Failed to set given speed. FW supported speeds is %s\n", joined.c_str());
    return 1;
}

int check_num_vf_per_pf(const zelt::device::InventoryFunction* device, zeltnvm_option* opt, int type) {
    const uint32_t value = opt->opt_value;
    if (value % 8 != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Invalid value provided. Value should be multiples of 8\n");
        return ZELT_RC_BUSY;
    }
    if (type < kKestraFirst) {
        if (value > 128) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Invalid value provided. Maximum value for this adapter is 128\n");
            return ZELT_RC_BUSY;
        }
        int ports = 0;
        if (zeltnvm_option_port_count(device, opt, &ports) != 0 || ports <= 0) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Failed to execute command\n");
            return 1;
        }
        int pfs = 0;
        // Any failure, the name lookup's too, reads as no count.
        if (!on_function(device, [&](const zelt::transport::Function& fn) { return zelt_get_port_pf_count(fn, &pfs); })
                 .ok() ||
            pfs <= 0) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Failed to get port pf count\n");
            return 1;
        }
        const int limit = 128 / ports / pfs;
        if (value > static_cast<uint32_t>(limit)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Invalid value provided. Max %d VF's can be configured on this PF\n",
                          limit);
            return ZELT_RC_BUSY;
        }
        return 0;
    }
    // The newest adapters share 256 VFs among all PFs.
    const int functions = adapter_function_count(device, false);
    uint64_t others = 0;
    for (int f = 0; f < functions; ++f) {
        if (f == opt->index_0) continue;
        uint64_t v = 0;
        if (zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_NUM_VF_PER_PF, 16, 1, static_cast<uint16_t>(f), &v) != 0) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Failed to read number of active VF's\n");
            return 1;
        }
        others += v;
    }
    if (others > 256 || value > 256 - others) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "Invalid value provided. Sum of VF's for all the active PF's exceeds %d\n", 256);
        return ZELT_RC_BUSY;
    }
    return 0;
}

int check_partitions(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    int ports = 0;
    const int rc = zeltnvm_option_port_count(device, opt, &ports);
    if (rc != 0) return rc;
    int limit = 0;
    if (ports == 1) limit = 16;
    if (ports == 2) limit = 8;
    if (ports == 4) limit = 4;
    if (limit != 0 && opt->opt_value > static_cast<uint32_t>(limit)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "Invalid value provided. Valid value is 1 to %d for the current configuration\n", limit);
        return ZELT_RC_BUSY;
    }
    return 0;
}

// Privileged options: in secure mode only the admin function may read or write them.
int check_privilege(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    int secure = 0;
    const int rc = on_function(device, [&](const zelt::transport::Function& fn) {
                       return zelt_query_device_secure_mode(fn, &secure);
                   }).code();
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Error: Failed to query device secure mode\n");
        return rc;
    }
    if (!secure) return 0;
    int admin = 0;
    const zelt::transport::Function fn = option_function(device, opt);
    if (!zelt_query_admin_pf_status(fn, &admin).ok() || !admin) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "This operation do not have administrative privileges for given interface\n");
        return ZELT_RC_NO_ADMIN;
    }
    return 0;
}

}  // namespace

int zelt_verify_nvm_value(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    if (device == nullptr) return 13;
    if (opt->access & ZELTNVM_VIS_PRIVILEGED) {
        const int rc = check_privilege(device, opt);
        if (rc != 0) return rc;
    }
    const int type = zeltnvm_option_device_type(device);
    if (uint16_t family = 0; zeltnvm_family_index(opt->option, type, &family)) {
        opt->dimensions = static_cast<uint16_t>(opt->dimensions + 1);
        opt->index_1 = family;
    }
    if (opt->command != ZELTNVM_OPTION_SET) return 0;

    switch (opt->option) {
        case ZELTNVM_OPT_ENABLE_TRUFLOW:
        case ZELTNVM_OPT_AFM_RM_RESC_STRATEGY:
            return check_truflow(device, opt, type);
        case ZELTNVM_OPT_SUPPORT_RDMA:
            return check_support_rdma(device, opt, type);
        case ZELTNVM_OPT_PORT_HIDE:
            return check_port_hide(device, opt);
        case ZELTNVM_OPT_MAX_NUM_PF_MSIX_VECT: {
            const uint32_t limit = (type == 2 || type == 3) ? 470 : 512;
            if (opt->opt_value > limit) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                              "Invalid value provided: Max MSI-X supported for this device is %u\n", limit);
                return 1;
            }
            return 0;
        }
        case ZELTNVM_OPT_MF_MODE: {
            uint64_t capable = 0;
            if (zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_MF_CAPABLE, 1, 0, 0, &capable) != 0 || capable == 0) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "MF mode configuration is not supported on this hardware\n");
                return 1;
            }
            return 0;
        }
        case ZELTNVM_OPT_NUM_VF_PER_PF:
            return check_num_vf_per_pf(device, opt, type);
        case ZELTNVM_OPT_NUM_PARTITIONS_PER_PORT:
            return check_partitions(device, opt);
        default:
            if (is_link_speed_option(opt->option) && opt->opt_value != 0) return check_link_speed(device, opt);
            return 0;
    }
}

}  // namespace zelt::cli
