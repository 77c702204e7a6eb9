#include "cli/resmgmt/resource_profile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "cli/option_commands.h"
#include "cli/option_commands_internal.h"
#include "cli/report/command_report.h"
#include "common/hvxretval.h"
#include "host/output_file.h"
#include "log/print.h"
#include "options/option_messages.h"
#include "options/option_parse.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;

// The internal options of one resource group: valid flag, unit type and value. The
// strategy has no unit.
struct ResGroup {
    const char* word;
    uint16_t valid;
    uint16_t type;  // 0: none
    uint16_t value;
    bool percentage;
};

constexpr ResGroup kMin{"min", 806, 805, 804, true};
constexpr ResGroup kMax{"max", 809, 808, 807, true};
constexpr ResGroup kRoceMax{"roce_max", 812, 811, 810, true};
constexpr ResGroup kMaxCmpl{"max_cmpl", 803, 802, 801, false};
constexpr ResGroup kStrategy{"strategy", 815, 0, 813, false};
// The order the profile reads the groups and `save` writes them in.
constexpr const ResGroup* kAllGroups[] = {&kMin, &kMax, &kRoceMax, &kMaxCmpl, &kStrategy};

// Unit types of a group's value.
constexpr uint32_t kTypeAbsolute = 0;
constexpr uint32_t kTypePercentage = 1;

// Allocation strategies, by stored value (1 is "minimal", named only by its word).
constexpr uint32_t kStrategyMaximal = 0;
constexpr uint32_t kStrategyMinimalStatic = 2;
constexpr const char* kStrategyWords[] = {"maximal", "minimal", "minimal-static"};

// A percentage of 100 as stored.
constexpr uint32_t kHundredPercent = 100 * 100;

// Results of the command.
constexpr int kRcSyntax = 15;
constexpr int kRcNotSupported = 7;

// Reboot types of the firmware's option action status.
constexpr uint8_t kActionDeviceReset = 1;
constexpr uint8_t kActionReboot = 2;
constexpr uint8_t kActionColdBoot = 3;

// Device types from this one on share more completion rings among their PFs.
constexpr int kLargeRingFamily = 8;

// The completion rings the adapter shares among its PFs: the bound of one PF's
// max_cmpl and of their sum.
uint32_t max_cmpl_limit(const device::InventoryFunction* device) {
    return zeltnvm_option_device_type(device) >= kLargeRingFamily ? 256 : 128;
}

// One PF's group as read.
struct GroupValue {
    bool valid = false;
    uint32_t type = 0;
    uint32_t value = 0;
};

const char* status_name(int rc) {
    const char* name = hvxretvalStringPtr(rc);
    return name ? name : "UNKNOWN";
}

// Builds and checks a request from `text` ("<number or name>[:<instance>][#<value>]").
int prepare(const device::InventoryFunction* device, uint16_t command, const std::string& text, zeltnvm_option* opt) {
    std::memset(opt, 0, sizeof *opt);
    opt->command = command;
    opt->max_instance = ZELTNVM_MAX_PHYS_INSTANCE;
    zeltnvm_set_option_device(device, opt);
    int rc = zeltnvm_fill_option_Info(opt, text.c_str());
    if (rc == 0) rc = zeltnvm_verify_option_Info(opt);
    if (rc == 0) rc = zelt_verify_nvm_value(device, opt);
    return rc;
}

// Reads one option; `text` names it as a get request does.
int get_option(const device::InventoryFunction* device, const std::string& text, int instance, uint32_t* value) {
    zeltnvm_option opt;
    int rc = prepare(device, ZELTNVM_OPTION_GET, text, &opt);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Verifying option(%s) value failed for instance %d with status: %s\n",
                      text.c_str(), instance, status_name(rc));
        return rc;
    }
    rc = zeltnvmOptionGet(device, &opt);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Getting option(%s) value failed for instance %d with status: %s\n",
                      opt.name, instance, status_name(rc));
        return rc;
    }
    *value = static_cast<uint32_t>(zeltnvm_option_value_number(&opt));
    return 0;
}

int set_option(const device::InventoryFunction* device, uint16_t option, int instance, uint32_t value) {
    const std::string text = zeltnvm_format("%d:%d#%u", option, instance, value);
    zeltnvm_option opt;
    int rc = prepare(device, ZELTNVM_OPTION_SET, text, &opt);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Verifying option(%s) value failed for instance %d with status: %s\n",
                      opt.name, instance, status_name(rc));
        return rc;
    }
    rc = zeltnvmOptionSet(device, &opt);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Setting option(%s) value failed for instance %d with status: %s\n",
                      opt.name, instance, status_name(rc));
    }
    return rc;
}

int get_group(const device::InventoryFunction* device, const ResGroup& g, int instance, GroupValue* out) {
    uint32_t valid = 0;
    int rc = get_option(device, zeltnvm_format("%d:%d", g.valid, instance), instance, &valid);
    if (rc == 0 && g.type != 0) rc = get_option(device, zeltnvm_format("%d:%d", g.type, instance), instance, &out->type);
    if (rc == 0) rc = get_option(device, zeltnvm_format("%d:%d", g.value, instance), instance, &out->value);
    out->valid = valid != 0;
    return rc;
}

int set_group(const device::InventoryFunction* device, const ResGroup& g, int instance, uint32_t type,
              uint32_t value) {
    int rc = set_option(device, g.valid, instance, 1);
    if (rc == 0 && g.type != 0) rc = set_option(device, g.type, instance, type);
    if (rc == 0) rc = set_option(device, g.value, instance, value);
    return rc;
}

int flush(const device::InventoryFunction* device) {
    zeltnvm_option opt;
    std::memset(&opt, 0, sizeof opt);
    zeltnvm_set_option_device(device, &opt);
    const int rc = zeltnvmFlush(device, &opt);
    if (rc != 0) zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "NVM Flush failed with status: %s\n", status_name(rc));
    return rc;
}

// The failure line of a group read or write, by what the firmware answered.
int report_get_failure(const char* word, int rc) {
    if (rc == ZELT_RC_NOT_SUPPORTED)
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Getting %s value does not support on this hardware\n", word);
    else
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Resource management Get operation failed with error :%d\n", rc);
    return rc;
}

int report_set_failure(const char* word, int rc) {
    if (rc == ZELT_RC_NOT_SUPPORTED)
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Setting %s value does not support on this hardware\n", word);
    else
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Resource management Set operation failed with error :%d\n", rc);
    return rc;
}

// The text a PF's group value shows as (also the word `save` replays).
std::string value_text(const ResGroup& g, const GroupValue& v) {
    if (&g == &kStrategy) return v.valid && v.value < 3 ? kStrategyWords[v.value] : "unknown";
    if (v.type == kTypePercentage) return res_percentage_text(v.value);
    return std::to_string(v.value);
}

Json value_json(const ResGroup& g, const GroupValue& v) {
    if (&g == &kStrategy) return value_text(g, v);
    if (!v.valid) return nullptr;
    if (v.type == kTypePercentage && v.value % 100 != 0) return v.value / 100 + (v.value % 100) / 10.0;
    if (v.type == kTypePercentage) return v.value / 100;
    return v.value;
}

// The adapter's PFs, each an instance index of the function-scope options.
int pf_count(const device::InventoryFunction* device) { return adapter_function_count(device, false); }

// Reads the group of every PF. 0 or the failing read's result (reported).
int read_all(const device::InventoryFunction* device, const ResGroup& g, std::vector<GroupValue>& values) {
    values.assign(static_cast<size_t>(pf_count(device)), GroupValue{});
    for (size_t pf = 0; pf < values.size(); ++pf) {
        const int rc = get_group(device, g, static_cast<int>(pf), &values[pf]);
        if (rc != 0) return report_get_failure(g.word, rc);
    }
    return 0;
}

// "<word> :" and one line per PF.
int show_group(const device::InventoryFunction* device, const ResGroup& g, Report& r) {
    std::vector<GroupValue> values;
    if (const int rc = read_all(device, g, values); rc != 0) return rc;
    r.text(ZELT_LOC_BOTH, "%s :\n", g.word);
    Json& list = r.data()["pfs"] = Json::array();
    for (size_t pf = 0; pf < values.size(); ++pf) {
        const GroupValue& v = values[pf];
        const int n = static_cast<int>(pf);
        if (&g == &kStrategy) {
            r.text(ZELT_LOC_BOTH, "PF %d : %s\n", n, value_text(g, v).c_str());
        } else if (!v.valid) {
            r.text(ZELT_LOC_BOTH, "PF %d = %s\n", n, "Not Configured");
        } else {
            r.text(ZELT_LOC_BOTH, "PF %d = %s\n", n, value_text(g, v).c_str());
        }
        list.push_back({{"pf", n}, {"configured", v.valid}, {"value", value_json(g, v)}, {"stored", v.value}});
    }
    return 0;
}

// The advice once settings are applied, by the firmware's boot status.
void applied(const device::InventoryFunction* device, Report& r) {
    r.data()["applied"] = true;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Resource management settings are applied Successfully\n");
    uint8_t reboot_type = 0;
    (void)on_function(device, [&](const transport::Function& fn) {
        return transport::zeltnvmFwQueryStatus(fn, 0, 1, &reboot_type);
    });
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "reboot_type = %d\n", reboot_type);
    Json& action = r.data()["action"] = nullptr;
    if (reboot_type == kActionReboot) {
        action = "reboot";
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Please reboot the system to apply the configuration\n");
    } else if (reboot_type == kActionColdBoot) {
        action = "cold_boot";
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Please cold boot the system to apply the configuration\n");
    } else if (reboot_type == kActionDeviceReset) {
        action = "device_reset";
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Please do the device reset to apply the configuration\n");
    }
}

// True when a PF's strategy is set to maximal.
bool maximal_strategy_set(const device::InventoryFunction* device, int pfs) {
    for (int pf = 0; pf < pfs; ++pf) {
        GroupValue s;
        if (get_group(device, kStrategy, pf, &s) == 0 && s.valid && s.value == kStrategyMaximal) return true;
    }
    return false;
}

bool rdma_enabled(const device::InventoryFunction* device, int pfs) {
    uint32_t capable = 0;
    if (get_option(device, "rdma_capable", -1, &capable) != 0 || capable == 0) return false;
    for (int pf = 0; pf < pfs; ++pf) {
        uint32_t support = 0;
        if (get_option(device, zeltnvm_format("support_rdma:%d", pf), pf, &support) != 0 || support == 0) return false;
    }
    return true;
}

// Parses and checks the values typed for a percentage or count group. 0 with the
// stored values, or the refusal's result (reported).
int check_values(const device::InventoryFunction* device, const ResGroup& g, const std::vector<std::string>& typed,
                 std::vector<uint32_t>& stored) {
    const int pfs = pf_count(device);
    if (static_cast<int>(typed.size()) != pfs) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Number of values do not match number of%sPFs\n", " ");
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    const uint32_t limit = g.percentage ? 100 : max_cmpl_limit(device);
    uint64_t sum = 0;
    stored.clear();
    for (int pf = 0; pf < pfs; ++pf) {
        const ResValueParse v = parse_res_value(typed[static_cast<size_t>(pf)], g.percentage);
        switch (v.error) {
            case ResValueParse::Error::not_a_number:
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : please enter valid number for instance %d\n", pf);
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            case ResValueParse::Error::too_many_decimals:
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Fraction is limited to %d digit!\n", 1);
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            case ResValueParse::Error::decimal_not_allowed:
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Decimal values not allowed for max_cmpl\n");
                return HVXRETVAL_INVALID_PARAMETER_VALUE;
            case ResValueParse::Error::none:
                break;
        }
        // Percentages are compared as stored, so 0.5 is below 1 and 100.5 above 100.
        const uint32_t scale = g.percentage ? 100 : 1;
        if (v.stored < scale) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Error : Invalid input for instance %d, Please enter values from 1 to %d\n", pf,
                          static_cast<int>(limit));
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
        if (v.stored > limit * scale) {
            if (g.percentage)
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                              "Error : value provided is greater than 100 for instance %d\n", pf);
            else
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                              "Error : value provided is greater than %d for instance %d\n", static_cast<int>(limit),
                              pf);
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
        stored.push_back(v.stored);
        sum += v.stored;
    }
    if (&g == &kMaxCmpl && sum > limit) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Error : Total value exceeds %d, please provide the correct values\n", static_cast<int>(limit));
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    if (&g == &kMin && sum > kHundredPercent) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Error : %sTotal value provided should not exceed 100, please provide the correct values\n", "");
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    if (&g == &kRoceMax) {
        if (!rdma_enabled(device, pfs)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Please set rdma_capable option (161)\n");
            return HVXRETVAL_FAILURE;
        }
        if (sum > kHundredPercent && maximal_strategy_set(device, pfs)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Error : %sTotal value provided should not exceed 100, please provide the correct values\n",
                          "Maximal strategy is set! ");
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
    }
    return 0;
}

// Sets min, max, roce_max or max_cmpl of every PF; a new minimum above a PF's maximum
// raises the maximum with it, a new maximum below the minimum lowers the minimum.
int set_values(const device::InventoryFunction* device, const ResGroup& g, const std::vector<std::string>& typed,
               Report& r) {
    r.data()["values"] = typed;
    r.data()["applied"] = false;
    std::vector<uint32_t> stored;
    if (const int rc = check_values(device, g, typed, stored); rc != 0) return rc;
    const uint32_t type = g.percentage ? kTypePercentage : kTypeAbsolute;
    for (size_t i = 0; i < stored.size(); ++i) {
        const int pf = static_cast<int>(i);
        if (&g == &kMin || &g == &kMax) {
            const ResGroup& other = &g == &kMin ? kMax : kMin;
            GroupValue o;
            if (const int rc = get_group(device, other, pf, &o); rc != 0) return report_get_failure(other.word, rc);
            const bool crosses = o.valid && (&g == &kMin ? stored[i] > o.value : stored[i] < o.value);
            if (crosses) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                              &g == &kMin ? "Warning : Minimum value is greater than Maximum for instance %d, Max "
                                            "value will be changed to Min\n"
                                          : "Warning : Maximum value is lesser than Minimum for instance %d, Min "
                                            "value will be changed to Max\n",
                              pf);
                if (const int rc = set_group(device, other, pf, type, stored[i]); rc != 0)
                    return report_set_failure(other.word, rc);
            }
        }
        if (const int rc = set_group(device, g, pf, type, stored[i]); rc != 0) return report_set_failure(g.word, rc);
    }
    if (const int rc = flush(device); rc != 0) return rc;
    applied(device, r);
    return 0;
}

int set_strategy(const device::InventoryFunction* device, const std::vector<std::string>& typed, Report& r) {
    r.data()["values"] = typed;
    r.data()["applied"] = false;
    const int pfs = pf_count(device);
    if (static_cast<int>(typed.size()) != pfs) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Number of values do not match number of%sPFs\n", " ");
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    std::vector<uint32_t> strategies;
    bool maximal = false;
    for (const std::string& word : typed) {
        uint32_t s = 0;
        while (s < 3 && word != kStrategyWords[s]) ++s;
        if (s == 3) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Please specify the correct strategy\n");
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
        maximal = maximal || s == kStrategyMaximal;
        strategies.push_back(s);
    }
    if (maximal) {
        uint64_t sum = 0;
        for (int pf = 0; pf < pfs; ++pf) {
            GroupValue m;
            if (get_group(device, kMax, pf, &m) != 0) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Failed to get Max value!\n");
                return HVXRETVAL_FAILURE;
            }
            if (m.valid) sum += m.value;
        }
        if (sum > kHundredPercent) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Cannot set Maximal Strategy as sum of MAX exceeds 100\n");
            return HVXRETVAL_FAILURE;
        }
    }
    for (int pf = 0; pf < pfs; ++pf) {
        if (const int rc = set_group(device, kStrategy, pf, 0, strategies[static_cast<size_t>(pf)]); rc != 0)
            return report_set_failure(kStrategy.word, rc);
    }
    if (const int rc = flush(device); rc != 0) return rc;
    applied(device, r);
    return 0;
}

// "profile": symmetric when every PF's min and max are 100 / PFs percent and the
// strategies read are maximal (a minimal-static PF keeps the verdict of the PF before
// it; the first PF then counts as not maximal).
int show_profile(const device::InventoryFunction* device, Report& r) {
    const int pfs = pf_count(device);
    const uint32_t share = static_cast<uint32_t>(pfs > 0 ? 100 / pfs : 0) * 100;
    bool symmetric = pfs > 0;
    bool maximal = false;
    for (int pf = 0; pf < pfs; ++pf) {
        GroupValue v[5];
        for (size_t g = 0; g < 5; ++g) {
            if (get_group(device, *kAllGroups[g], pf, &v[g]) != 0) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to get Profile Type.\n");
                return HVXRETVAL_FAILURE;
            }
        }
        const GroupValue& min = v[0];
        const GroupValue& max = v[1];
        const GroupValue& strategy = v[4];
        if (strategy.value != kStrategyMinimalStatic) maximal = strategy.value == kStrategyMaximal;
        const bool even = min.valid && max.valid && min.type == kTypePercentage && max.type == kTypePercentage &&
                          min.value == share && max.value == share;
        symmetric = symmetric && even && maximal;
    }
    r.data()["profile"] = symmetric ? "symmetric" : "asymmetric";
    r.text(ZELT_LOC_BOTH, "Profile Type : %s\n", symmetric ? "Symmetric" : "Asymmetric");
    return 0;
}

// "profile symmetric": every PF gets 100 / PFs percent as min, max and roce_max, and
// the maximal strategy.
int set_symmetric(const device::InventoryFunction* device, Report& r) {
    r.data()["applied"] = false;
    const int pfs = pf_count(device);
    if (pfs <= 0) return report_set_failure("profile", HVXRETVAL_FAILURE);
    const uint32_t share = static_cast<uint32_t>(100 / pfs) * 100;
    for (int pf = 0; pf < pfs; ++pf) {
        for (const ResGroup* g : {&kMin, &kMax, &kRoceMax}) {
            if (const int rc = set_group(device, *g, pf, kTypePercentage, share); rc != 0)
                return report_set_failure(g->word, rc);
        }
        if (const int rc = set_group(device, kStrategy, pf, 0, kStrategyMaximal); rc != 0)
            return report_set_failure(kStrategy.word, rc);
    }
    if (const int rc = flush(device); rc != 0) return rc;
    applied(device, r);
    return 0;
}

// "save <file>": one resmgmt line per group that replays the PFs' values. A group
// that some PF has not configured has no value to replay and gets no line.
int save_profile(ParsedCommand& parsed, const std::vector<std::string>& words, Report& r) {
    if (words.size() < 2) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Please specify the file name!\n");
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    const std::string& file = words[1];
    r.data()["file"] = file;
    const device::InventoryFunction* device = parsed.device;
    std::string script;
    Json& lines = r.data()["lines"] = Json::array();
    for (const ResGroup* g : kAllGroups) {
        std::vector<GroupValue> values;
        if (const int rc = read_all(device, *g, values); rc != 0) return rc;
        bool complete = !values.empty();
        std::string line = zeltnvm_format("zeltnvm -dev=%s resmgmt %s ", parsed.device_name.c_str(), g->word);
        for (size_t pf = 0; pf < values.size(); ++pf) {
            const bool known = values[pf].valid && (g != &kStrategy || values[pf].value < 3);
            complete = complete && known;
            line += (pf ? " " : "") + value_text(*g, values[pf]);
        }
        if (!complete) continue;
        lines.push_back(line);
        script += line + "\n";
    }
    host::OutputFile out;
    if (!out.open(parsed.context->host, file, 0755) || !out.write(std::string_view(script)) || !out.commit()) {
        const int err = errno;
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Cannot write %s: %s\n", file.c_str(), std::strerror(err));
        return HVXRETVAL_FILE_OPEN_FAILURE;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Resource management values are saved successfully in %s\n",
                  file.c_str());
    return 0;
}

const ResGroup* value_group(const std::string& word) {
    for (const ResGroup* g : {&kMin, &kMax, &kRoceMax, &kMaxCmpl})
        if (word == g->word) return g;
    return nullptr;
}

int run_resmgmt(ParsedCommand& parsed, const ResMgmtArgs& args, Report& r) {
    if (args.words.empty()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "ERROR: Invalid syntax. Please run \"zeltnvm resmgmt -h\" for help\n");
        return kRcSyntax;
    }
    const device::InventoryFunction* device = parsed.device;
    const std::string& word = args.words[0];
    r.data()["subcommand"] = word;
    const std::vector<std::string> values(args.words.begin() + 1, args.words.end());
    if (word == "profile") {
        if (values.empty()) return show_profile(device, r);
        if (values[0] == "symmetric") return set_symmetric(device, r);
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error : Please specify the correct profile type\n");
        return HVXRETVAL_INVALID_PARAMETER_VALUE;
    }
    if (const ResGroup* g = value_group(word)) return values.empty() ? show_group(device, *g, r) : set_values(device, *g, values, r);
    if (word == "strategy") return values.empty() ? show_group(device, kStrategy, r) : set_strategy(device, values, r);
    if (word == "save") return save_profile(parsed, args.words, r);
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command not supported\n");
    return kRcNotSupported;
}

}  // namespace

bool res_value_text_ok(std::string_view text) {
    if (text.empty() || text[0] == '.') return false;
    int stops = 0;
    for (char c : text) {
        if (c == '.') {
            if (++stops > 1) return false;
        } else if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

ResValueParse parse_res_value(std::string_view text, bool percentage) {
    ResValueParse v;
    if (!res_value_text_ok(text)) {
        v.error = ResValueParse::Error::not_a_number;
        return v;
    }
    const size_t stop = text.find('.');
    const std::string_view whole = text.substr(0, stop);
    const std::string_view fraction = stop == std::string_view::npos ? std::string_view() : text.substr(stop + 1);
    if (stop != std::string_view::npos && !percentage) {
        v.error = ResValueParse::Error::decimal_not_allowed;
        return v;
    }
    if (fraction.size() > 1) {
        v.error = ResValueParse::Error::too_many_decimals;
        return v;
    }
    // Past six digits a value is out of every range; keep it there without overflowing.
    uint64_t n = 0;
    for (char c : whole) n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(c - '0'), 1000000);
    v.integer = static_cast<uint32_t>(n);
    const uint32_t tenths = fraction.empty() ? 0 : static_cast<uint32_t>(fraction[0] - '0');
    v.stored = percentage ? v.integer * 100 + tenths : v.integer;
    return v;
}

std::string res_percentage_text(uint32_t stored) {
    const uint32_t tenths = stored % 100;
    return tenths == 0 ? std::to_string(stored / 100) : zeltnvm_format("%u.%u", stored / 100, tenths);
}

ResMgmtArgs ResMgmtArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    ResMgmtArgs args;
    for (const std::string& word : parsed.args)
        if (!word.empty() && word[0] != '-') args.words.push_back(word);
    return args;
}

report::Report resmgmt_command(ParsedCommand& parsed, const ResMgmtArgs& args) {
    Report r = report::open_report(parsed);
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return r.ends(HVXRETVAL_FAILURE);
    }
    r.data()["device"] = report::function_object(*parsed.device);
    return r.ends(run_resmgmt(parsed, args, r));
}

}  // namespace zelt::cli
