// getoption, setoption and optionhelp: the common front part (parse, scope, instance
// checks, catalogue and device checks), the read and write paths, and the advice on
// how a written value takes effect.
#include "cli/option_commands.h"

#include <cstring>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "cli/device_queries.h"
#include "cli/display_error.h"
#include "cli/option_commands_internal.h"
#include "cli/report/command_report.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "log/error_check.h"
#include "log/print.h"
#include "options/catalogue.h"
#include "options/option_help.h"
#include "options/option_parse.h"
#include "transport/function.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

using zelt::cli::report::Json;
using zelt::cli::report::Report;

constexpr int kKestraFirst = 8;

// Reboot types of the firmware's option action status.
constexpr uint8_t kActionDeviceReset = 1;
constexpr uint8_t kActionReboot = 2;
constexpr uint8_t kActionColdBoot = 3;

void say(const char* fmt, const char* name) { zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, fmt, name); }

void say(const char* text) { zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%s", text); }

const char* failed_line(uint16_t command) {
    return command == ZELTNVM_OPTION_SET ? "Setting option(%s) value failed\n" : "Getting option(%s) value failed\n";
}

const char* unsupported_line(uint16_t command) {
    return command == ZELTNVM_OPTION_SET ? "Setting option(%s) value does not support on this hardware\n"
                                         : "Getting option(%s) value does not support on this hardware\n";
}

void print_detailed_help(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    say(zeltnvm_detailed_option_help(opt, zeltnvm_option_device_type(device)).c_str());
}

// The option a request names, as the JSON form shows it: its catalogue name and number
// and the indexes given.
Json option_object(const zeltnvm_option* opt) {
    Json j = Json::object();
    j["name"] = opt->name;
    j["number"] = opt->option;
    const uint16_t indexes[] = {opt->index_0, opt->index_1, opt->index_2, opt->index_3};
    Json list = Json::array();
    for (int i = 0; i < opt->dimensions && i < 4; ++i) list.push_back(indexes[i]);
    j["indexes"] = std::move(list);
    return j;
}

// A help text that is the command's output (the option list, an option's help): the
// text form prints it, the JSON form carries it as "help".
void help_text(Report& r, const std::string& text) {
    r.data()["help"] = text;
    r.text(ZELT_LOC_BOTH, "%s", text.c_str());
}

bool is_vf_index(uint16_t index) { return index >= 128 && index <= 256; }

// Instance index checks by scope. 0 or the command's result.
int check_instance(const zelt::device::InventoryFunction* device, zeltnvm_option* opt, int scope,
                   const OptionArgs& args) {
    switch (scope) {
        case ZEL_DIR_TYPE_SHARED_CFG:
        case ZEL_DIR_TYPE_OOB_MGMT_CFG:
            if (opt->dimensions > 0) {
                say("This is the device shared configuration. Dont specify the Index\n");
                return HVXRETVAL_OPTION_MULTINSTANCE_FAILURE;
            }
            return 0;
        case ZEL_DIR_TYPE_PORT_CFG: {
            if (opt->dimensions == 0) {
                say("This is the device port configuration. Please specify the port index.\n");
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            }
            int ports = 0;
            const int rc = zeltnvm_option_port_count(device, opt, &ports);
            if (rc != 0) return rc;
            if (ports != 0 && opt->index_0 >= ports) {
                say("Invalid device port index.Please specify the correct port index\n");
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            }
            return 0;
        }
        case ZEL_DIR_TYPE_FUNC_CFG: {
            if (opt->dimensions == 0) {
                say("This is the device function configuration. Please specify the function index.\n");
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            }
            bool valid;
            if (args.force) {
                valid = opt->index_0 <= ZELTNVM_MAX_PHYS_INSTANCE;
            } else {
                const int functions = adapter_function_count(device, args.debug);
                if (functions == 0) return 1;
                valid = opt->index_0 < functions || is_vf_index(opt->index_0);
            }
            if (!valid) {
                say("Invalid device function index. Please specify the correct function index\n");
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            }
            return 0;
        }
        default:
            return 0;
    }
}

// The part every option command shares. Sets *done when the command has ended (the
// option list or the help was printed, or a check failed); the result is then the
// command's result.
int front_part(const zelt::device::InventoryFunction* device, int cmd, const OptionArgs& args, zeltnvm_option* opt,
               bool* done, Report& r) {
    *done = true;
    const char* arg = args.request ? args.request : "";
    if (arg[0] == '\0' || std::strcmp(arg, "?") == 0) {
        help_text(r, zeltnvm_display_option_help());
        return 0;
    }
    std::memset(opt, 0, sizeof *opt);
    opt->command = cmd == CMD_SETOPTION ? ZELTNVM_OPTION_SET : cmd == CMD_GETOPTION ? ZELTNVM_OPTION_GET
                                                                                     : ZELTNVM_OPTION_HELP;
    opt->max_instance = ZELTNVM_MAX_PHYS_INSTANCE;
    zeltnvm_set_option_device(device, opt);
    const auto sink = zeltnvm_console_sink();

    int rc = zeltnvm_fill_option_Info(opt, arg, sink);
    if (rc == HVXRETVAL_INVALID_SYNTAX) return zeltnvm_display_error_msg(cmd, rc);
    if (rc != 0) {
        if (opt->option != 0) print_detailed_help(device, opt);
        return rc;
    }
    if (opt->command == ZELTNVM_OPTION_HELP) {
        r.data()["option"] = option_object(opt);
        help_text(r, zeltnvm_detailed_option_help(opt, zeltnvm_option_device_type(device)));
        return 0;
    }

    const int scope = zeltnvm_find_scope(opt, sink);
    if (scope < 0 || scope == ZEL_DIR_TYPE_HCAPI_RM_CFG) {
        say(failed_line(opt->command), opt->name);
        return scope == HVXRETVAL_OPTION_NOTSUPPORTED ? scope : HVXRETVAL_FAILURE;
    }
    rc = check_instance(device, opt, scope, args);
    if (rc != 0) {
        say(failed_line(opt->command), opt->name);
        return rc;
    }
    rc = zeltnvm_verify_option_Info(opt, sink);
    if (rc != 0) {
        if (rc == HVXRETVAL_OPTION_MULTINSTANCE_FAILURE || rc == HVXRETVAL_OPTION_ARRAYTYPE_FAILURE ||
            rc == HVXRETVAL_INVALID_PARAMETER_VALUE) {
            print_detailed_help(device, opt);
        }
        return rc;
    }
    rc = zelt_verify_nvm_value(device, opt);
    if (rc != 0) return rc;
    *done = false;
    return 0;
}

// Final handling of a failed read or write.
int exchange_failure(int cmd, const zeltnvm_option* opt, int rc) {
    if (rc == ZELT_RC_NOT_PERMITTED) {
        checkErrorcode(rc, false);
        return rc;
    }
    if (rc == ZELT_RC_BUSY || rc == -ZELT_RC_BUSY) return zeltnvm_display_error_msg(cmd, rc);
    if (rc == ZELT_RC_NOT_SUPPORTED) {
        say(unsupported_line(opt->command), opt->name);
    } else {
        say(failed_line(opt->command), opt->name);
    }
    return 1;
}

// Options that exist only on the newest adapters, as getoption and setoption know them.
bool newest_only_for_get(uint16_t option) {
    switch (option) {
        case ZELTNVM_OPT_NCSI_OVER_SMBUS:
        case ZELTNVM_OPT_NCSI_OVER_PCIE_VDM:
        case ZELTNVM_OPT_SPDM_MCTP_SMBUS:
        case ZELTNVM_OPT_SPDM_MCTP_PCIEVDM:
        case ZELTNVM_OPT_ENABLE_CRASH_DUMP_TO_HOST_DDR:
        case ZELTNVM_OPT_PF_FOR_HOST_MEM_CHDMP:
            return true;
        default:
            return zeltnvm_is_four_element_option(option) || zeltnvm_is_two_element_option(option);
    }
}

bool newest_only_for_set(uint16_t option) {
    switch (option) {
        case ZELTNVM_OPT_PTP_SYNC_IN_FREQ:
        case ZELTNVM_OPT_ENABLE_CRASH_DUMP_TO_HOST_DDR:
        case ZELTNVM_OPT_PF_FOR_HOST_MEM_CHDMP:
        case ZELTNVM_OPT_PERFORMANCE_PROFILE:
            return true;
        default:
            return zeltnvm_is_four_element_option(option) || zeltnvm_is_two_element_option(option);
    }
}

bool is_multi_host(const zelt::device::InventoryFunction* device) {
    int multi_host = 0;
    int multi_root = 0;
    return on_function(
               device,
               [&](const zelt::transport::Function& fn) { return zelt_query_host_type(fn, &multi_host, &multi_root); })
               .ok() &&
           multi_host != 0;
}

uint64_t le_number(const uint8_t* p, int n) {
    uint64_t v = 0;
    for (int i = std::min(n, 8) - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// Element lists (four or two elements): one read per element, highest index first.
int get_elements(const zelt::device::InventoryFunction* device, int cmd, zeltnvm_option* opt, Report& r) {
    const bool four = zeltnvm_is_four_element_option(opt->option);
    const int count = four ? 4 : 2;
    uint64_t values[4] = {};
    for (int i = 0; i < count; ++i) {
        const uint16_t index = static_cast<uint16_t>(count - 1 - i);
        opt->dimensions = 1;
        opt->index_0 = index;
        std::memset(opt->value, 0, sizeof opt->value);
        const int rc = zeltnvmOptionGet(device, opt);
        if (!four) zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "nvmoption.num_bytes = %d\n", opt->num_bytes);
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Get NVM option %d failed with status 0x%x for index = %d.\n",
                          opt->option, static_cast<unsigned>(rc), index);
            return exchange_failure(cmd, opt, rc);
        }
        values[i] = le_number(opt->value, opt->num_bytes);
    }
    Json& elements = r.data()["elements"] = Json::array();
    for (int i = 0; i < count; ++i) elements.push_back(values[i]);
    if (opt->option == ZELTNVM_OPT_PTP_TSIO_PIN_CFG) {
        r.data()["value"] = zeltnvm_format("%s:%s:%s:%s", zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[0])),
                                           zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[1])),
                                           zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[2])),
                                           zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[3])));
        r.text(ZELT_LOC_BOTH, "%s = %s:%s:%s:%s\n", opt->name,
                      zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[0])),
                      zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[1])),
                      zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[2])),
                      zeltnvm_ptp_pin_function_name(static_cast<uint32_t>(values[3])));
    } else if (four) {
        r.data()["value"] = zeltnvm_format("%llu:%llu:%llu:%llu", static_cast<unsigned long long>(values[0]),
                                           static_cast<unsigned long long>(values[1]),
                                           static_cast<unsigned long long>(values[2]),
                                           static_cast<unsigned long long>(values[3]));
        r.text(ZELT_LOC_BOTH, "%s = %llu:%llu:%llu:%llu\n", opt->name,
                      static_cast<unsigned long long>(values[0]), static_cast<unsigned long long>(values[1]),
                      static_cast<unsigned long long>(values[2]), static_cast<unsigned long long>(values[3]));
    } else {
        r.data()["value"] = zeltnvm_format("%llu:%llu", static_cast<unsigned long long>(values[0]),
                                           static_cast<unsigned long long>(values[1]));
        r.text(ZELT_LOC_BOTH, "%s = %llu:%llu\n", opt->name,
                      static_cast<unsigned long long>(values[0]), static_cast<unsigned long long>(values[1]));
    }
    return 0;
}

void print_value(const zeltnvm_option* opt, bool dec, Report& r) {
    std::string label;
    zeltnvm_get_option_string(opt, &label);
    const uint64_t v = zeltnvm_option_value_number(opt);
    std::string text;
    if (!label.empty()) {
        text = label + "\n";  // a label stands on a line of its own
    } else if (dec) {
        text = std::to_string(v);
    } else if (opt->option == ZELTNVM_OPT_MAC_ADDRESS) {
        const uint8_t* b = opt->value;
        text = zeltnvm_format("%02x-%02x-%02x-%02x-%02x-%02x", b[1], b[0], b[7], b[6], b[5], b[4]);
    } else if (opt->option == ZELTNVM_OPT_COS_PRECEDENCE_ORDER) {
        text = zeltnvm_format("%d:%d:%d:%d", static_cast<int>(v >> 6 & 3), static_cast<int>(v >> 4 & 3),
                              static_cast<int>(v >> 2 & 3), static_cast<int>(v & 3));
    } else if (uint32_t pair = 0; zeltnvm_get_afm_option_value(opt, &pair)) {
        text = zeltnvm_format("%d:%d", static_cast<int>(pair >> 16), static_cast<int>(pair & 0xFFFF));
    } else {
        text = zeltnvm_format("0x%llx", static_cast<unsigned long long>(v));
    }
    // A label stands on a line of its own in the text; the value is the label alone.
    r.data()["value"] = label.empty() ? text : label;
    r.data()["raw_value"] = v;
    r.text(ZELT_LOC_BOTH, "%s = %s\n", opt->name, text.c_str());
}

int run_get(const zelt::device::InventoryFunction* device, int cmd, zeltnvm_option* opt, bool dec, Report& r) {
    const int type = zeltnvm_option_device_type(device);
    if (newest_only_for_get(opt->option) && type < kKestraFirst) {
        say(unsupported_line(opt->command), opt->name);
        return 7;
    }
    if (opt->option == ZELTNVM_OPT_ENABLE_POWER_REDUCTION && (type == 6 || type >= kKestraFirst)) {
        say(unsupported_line(opt->command), opt->name);
        return 7;
    }
    if (opt->option == ZELTNVM_OPT_MH_PORT_BREAKOUT_MODE && !is_multi_host(device)) {
        say(unsupported_line(opt->command), opt->name);
        return 1;
    }
    if (zeltnvm_is_four_element_option(opt->option) || zeltnvm_is_two_element_option(opt->option)) {
        return get_elements(device, cmd, opt, r);
    }
    const int rc = zeltnvmOptionGet(device, opt);
    if (rc != 0) return exchange_failure(cmd, opt, rc);
    print_value(opt, dec, r);
    return 0;
}

// Writes the elements typed for an element-list option, one per index: the first
// typed goes to the highest index.
int set_elements(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    uint32_t elements[4] = {};
    const int count = zeltnvm_option_elements(opt, elements);
    if (count < 0) return count;
    for (int i = 0; i < count; ++i) {
        const uint16_t index = static_cast<uint16_t>(count - 1 - i);
        opt->dimensions = 1;
        opt->index_0 = index;
        std::memset(opt->value, 0, sizeof opt->value);
        for (int b = 0; b < 4; ++b) opt->value[b] = static_cast<uint8_t>(elements[i] >> (8 * b));
        const int rc = zeltnvmOptionSet(device, opt);
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Set NVM option %d failed with status 0x%x for index = %d.\n",
                          opt->option, static_cast<unsigned>(rc), index);
            return rc;
        }
    }
    return 0;
}

// Writes the record once for every port index of the adapter.
int set_every_port(const zelt::device::InventoryFunction* device, zeltnvm_option* opt) {
    int ports = 0;
    int rc = zeltnvm_option_port_count(device, opt, &ports);
    if (rc != 0) return rc;
    for (int p = 0; p < ports; ++p) {
        opt->index_0 = static_cast<uint16_t>(p);
        rc = zeltnvmOptionSet(device, opt);
        if (rc != 0) return rc;
    }
    return 0;
}

// Physical functions of the adapter with their num_vf_per_pf values.
std::vector<uint64_t> vfs_per_pf(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt) {
    const int functions = adapter_function_count(device, false);
    std::vector<uint64_t> vfs;
    for (int f = 0; f < functions; ++f) {
        uint64_t v = 0;
        zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_NUM_VF_PER_PF, 16, 1, static_cast<uint16_t>(f), &v);
        vfs.push_back(v);
    }
    return vfs;
}

std::string join_numbers(const std::vector<int>& n) {
    std::string s;
    for (size_t i = 0; i < n.size(); ++i) {
        if (i > 0) s += i + 1 == n.size() ? " and " : ", ";
        s += std::to_string(n[i]);
    }
    return s;
}

// Partitioning (mf_mode) checks before the mode is written for every port. 0 or the result.
int check_mf_mode(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt, int type) {
    const uint32_t mode = opt->opt_value;
    if (mode == 2) {
        int multi_host = 0;
        int multi_root = 0;
        (void)on_function(device, [&](const zelt::transport::Function& fn) {
            return zelt_query_host_type(fn, &multi_host, &multi_root);
        });
        if (multi_host || multi_root) {
            say("Configure NPAR_1.2 is not supported on this hardware.\n");
            return 2;
        }
    }
    if (mode <= 1) return 0;
    const auto vfs = vfs_per_pf(device, opt);
    if (type < kKestraFirst) {
        uint64_t sriov = 0;
        zeltnvm_read_option_value(device, opt, ZELTNVM_OPT_ENABLE_SRIOV, 1, 0, 0, &sriov);
        std::vector<int> reset;
        for (size_t f = 0; f < vfs.size(); ++f) {
            if (vfs[f] > 8) reset.push_back(static_cast<int>(f));
        }
        if (sriov != 0 && !reset.empty()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                          "Note:\n    The nvm option \"num_vf_per_pf\" for physical function %s will be automatically "
                          "reset to 8 vf's\n    by the firmware in the next boot. Please ignore the NVM values for "
                          "\"num_vf_per_pf\" for those physical functions.\n\n",
                          join_numbers(reset).c_str());
        }
    }
    if (mode >= 2 && mode <= 4) {
        const uint64_t limit = type < kKestraFirst ? 128 : 256;
        uint64_t sum = 0;
        for (uint64_t v : vfs) sum += v;
        if (sum > limit) {
            say("\nSwitching to NPAR mode is not allowed. If NPAR mode is used with current configuration\n");
            say("the allocation of VFs will exceed the maximum number of VFs for the device.\n");
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                          "Sum of VFs allocated for NPAR mode is %llu. Maximum VFs for the device is %llu.\n",
                          static_cast<unsigned long long>(sum), static_cast<unsigned long long>(limit));
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                          "Please adjust \"num_vf_per_pf\" option to bring total to %llu or less and then a change\n",
                          static_cast<unsigned long long>(limit));
            say("to NPAR mode will be allowed.\n\n");
            return 2;
        }
    }
    return 0;
}

void print_advice(const zelt::device::InventoryFunction* device, const zeltnvm_option* opt, bool reboot_cap,
                  bool cold_boot, Report& r) {
    Json& action = r.data()["action"] = nullptr;
    const char* reboot = "Please reboot the system to apply the configuration\n";
    const char* cold = "Please cold boot the system to apply the configuration\n";
    if (!reboot_cap) {
        if (opt->option == ZELTNVM_OPT_LINK_TRAINING || cold_boot) {
            action = "cold_boot";
            say(cold);
        } else if (opt->option != ZELTNVM_OPT_COS_PRECEDENCE_ORDER) {
            action = "reboot";
            say(reboot);
        }
        return;
    }
    uint8_t reboot_type = 0;
    (void)on_function(
        device, [&](const zelt::transport::Function& fn) { return zeltnvmFwQueryStatus(fn, 0, 1, &reboot_type); });
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "reboot_type = %d\n", reboot_type);
    if (reboot_type == kActionDeviceReset) action = "device_reset";
    if (reboot_type == kActionReboot) action = "reboot";
    if (reboot_type == kActionColdBoot) action = "cold_boot";
    if (reboot_type == kActionDeviceReset) say("Please do the device reset to apply the configuration\n");
    if (reboot_type == kActionReboot) say(reboot);
    if (reboot_type == kActionColdBoot) say(cold);
}

int run_set(const zelt::device::InventoryFunction* device, int cmd, zeltnvm_option* opt, Report& r) {
    const int type = zeltnvm_option_device_type(device);
    bool reboot_cap = false;
    if (type >= kKestraFirst) {
        int cap = 0;
        (void)on_function(device, [&](const zelt::transport::Function& fn) {
            return zeltnvm_query_reboot_capability_enabled(fn, &cap);
        });
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "is_reboot_cap_enabled = %d\n", cap);
        reboot_cap = cap != 0;
    }

    bool cold_boot = false;
    int rc;
    if (opt->option == ZELTNVM_OPT_ENABLE_POWER_REDUCTION && (type == 6 || type >= kKestraFirst)) {
        say(unsupported_line(opt->command), opt->name);
        return 7;
    }
    if (newest_only_for_set(opt->option) && type < kKestraFirst) {
        say(unsupported_line(opt->command), opt->name);
        return 7;
    }
    if (zeltnvm_is_four_element_option(opt->option) || zeltnvm_is_two_element_option(opt->option)) {
        rc = set_elements(device, opt);
    } else if (opt->option == ZELTNVM_OPT_MF_MODE) {
        rc = check_mf_mode(device, opt, type);
        if (rc != 0) return rc;
        rc = set_every_port(device, opt);
    } else if (opt->option == ZELTNVM_OPT_NUM_PARTITIONS_PER_PORT) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Value %u will be applied for all the ports\n", opt->opt_value);
        rc = set_every_port(device, opt);
    } else if (opt->option == ZELTNVM_OPT_MH_PORT_BREAKOUT_MODE && !is_multi_host(device)) {
        rc = ZELT_RC_NOT_SUPPORTED;
    } else {
        cold_boot = opt->option == ZELTNVM_OPT_ENABLE_POWER_REDUCTION;
        rc = zeltnvmOptionSet(device, opt);
    }
    if (rc != 0) return exchange_failure(cmd, opt, rc);

    r.data()["set"] = true;
    say("%s is set successfully\n", opt->name);
    if (zeltnvmFlush(device, opt) != 0) {
        r.data()["flushed"] = false;
        r.data()["action"] = "cold_boot";
        say("NVM Flush failed. Need to cold boot for option to set!\n");
        return 0;
    }
    r.data()["flushed"] = true;
    print_advice(device, opt, reboot_cap, cold_boot, r);
    return 0;
}

}  // namespace

zeltnvm_option_sink zeltnvm_console_sink() {
    return [](zeltnvm_stream stream, const std::string& text) {
        zeltnvm_print(ZELT_LOC_BOTH, stream == zeltnvm_stream::err ? ZELT_LVL_ERROR : ZELT_LVL_INFO, "%s", text.c_str());
    };
}

int adapter_function_count(const zelt::device::InventoryFunction* device, bool trace) {
    if (!device) return 0;
    if (trace) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "device_id = %04x vendor_id = %04x\n",
                      device->facts.pci_info.device_id, device->facts.pci_info.vendor_id);
    }
    return device->adapter_pf_count;
}

int zeltnvm_option_device_type(const zelt::device::InventoryFunction* device) {
    if (device == nullptr) return 0;
    const int type = zelt::device::device_type_of(*device);
    return type < 0 ? 0 : type;
}

OptionArgs OptionArgs::from(const zelt::cli::ScanOptions& scan, const zelt::cli::ParsedCommand&) {
    return {.request = scan.arg, .force = scan.force, .dec = scan.dec, .debug = scan.debug};
}

int zeltnvm_option_check(zelt::cli::ParsedCommand& parsed, const OptionArgs& args) {
    const zelt::device::InventoryFunction* device = parsed.device;
    const int command = parsed.command;
    // The option list is printed once, after the scan.
    const char* arg = args.request ? args.request : "";
    if (arg[0] == '\0' || std::strcmp(arg, "?") == 0) return 0;
    zeltnvm_option opt;
    bool done = false;
    const int rc = front_part(device, command, args, &opt, &done, *parsed.run);
    return done ? rc : 0;
}

Report zeltnvm_option_command(zelt::cli::ParsedCommand& parsed, const OptionArgs& args) {
    Report r = zelt::cli::report::open_report(parsed);
    const zelt::device::InventoryFunction* device = parsed.device;
    const int command = parsed.command;
    if (device) r.data()["device"] = zelt::cli::report::function_object(*device);
    if (args.request == nullptr) {
        say("%s\n", zelt::cli::command_row(command).usage);
        return r.ends(0);
    }
    zeltnvm_option opt;
    bool done = false;
    const int rc = front_part(device, command, args, &opt, &done, r);
    if (done) return r.ends(rc);
    r.data()["option"] = option_object(&opt);
    if (command == CMD_SETOPTION) {
        const char* hash = std::strchr(args.request, '#');
        r.data()["requested_value"] = hash ? Json(hash + 1) : Json(nullptr);
        r.data()["set"] = false;
    }
    return r.ends(command == CMD_SETOPTION ? run_set(device, command, &opt, r)
                                           : run_get(device, command, &opt, args.dec, r));
}

Report zeltnvm_optionhelp_command(zelt::cli::ParsedCommand& parsed, const OptionArgs& args) {
    Report r = zelt::cli::report::open_report(parsed);
    zeltnvm_option opt;
    bool done = false;
    return r.ends(front_part(parsed.device, CMD_OPTIONHELP, args, &opt, &done, r));
}

}  // namespace zelt::cli
