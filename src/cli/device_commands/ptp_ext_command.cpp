#include "cli/device_commands/ptp_ext_command.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <map>
#include <optional>
#include <string_view>

#include "cli/command_registry.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "common/hvxretval.h"
#include "device/features/ptp_ext.h"
#include "wire/hwrm_ptp_ext.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;

constexpr int kNotSupported = 7;
constexpr int kInvalidValue = 16;
// The firmware's answer to a request it finds inconsistent.
constexpr uint16_t kFirmwareInvalidParams = 2;

constexpr std::array<std::string_view, 8> kNames{"primary_pf",    "primary_vf_pf",   "primary_vf",
                                                 "secondary_pf",  "secondary_vf_pf", "secondary_vf",
                                                 "secondary_mode", "failover_timer"};

constexpr std::array<std::pair<std::string_view, uint8_t>, 3> kModes{{
    {"switch", HWRM_PTP_EXT_SEC_MODE_SWITCH},
    {"all", HWRM_PTP_EXT_SEC_MODE_ALL},
    {"pf_only", HWRM_PTP_EXT_SEC_MODE_PF_ONLY},
}};

const char* mode_word(uint8_t mode) {
    for (const auto& [word, value] : kModes)
        if (value == mode) return word.data();
    return nullptr;
}

bool all_digits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

Report refuse(Report& r, int status, const char* message) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", message);
    return r.ends(status);
}

// The function a firmware id names, as a line and a JSON value; none for an id that
// names no function.
void show_function(Report& r, Json& fields, const char* key, const char* label,
                   const std::vector<device::PfVfRange>& ranges, uint16_t fid) {
    // 0 is not a function id the firmware hands out (PFs count from 1).
    if (fid == HWRM_PTP_EXT_FID_NONE || fid == 0) {
        r.text(ZELT_LOC_BOTH, "%-42s : N/A\n", label);
        fields[key] = nullptr;
        return;
    }
    const device::DecodedFid d = device::zeltnvm_decode_fid(ranges, fid);
    if (d.is_vf) {
        r.text(ZELT_LOC_BOTH, "%-42s : %d (Belongs to PF %d)\n", label, d.vf, d.pf);
        fields[key] = Json{{"vf", d.vf}, {"pf", d.pf}};
    } else {
        r.text(ZELT_LOC_BOTH, "%-42s : %d\n", label, d.pf);
        fields[key] = Json{{"pf", d.pf}};
    }
}

// The clock is there: the newest family, and the firmware reports it.
bool ptp_here(const device::InventoryFunction& dev) {
    if (!feature::on_newest_family(dev)) return false;
    bool supported = false;
    const Result rc = device::zelt_is_ptp_supported(dev.function, &supported);
    if (!rc.ok()) zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Function capability query failed with status %d\n", rc.code());
    return rc.ok() && supported;
}

}  // namespace

PtpExtArgs PtpExtArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    PtpExtArgs args;
    const ArgumentLine line(parsed);
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

Report get_ptp_extended_command(ParsedCommand& parsed, const PtpExtArgs& args) {
    Report r = report::open_report(parsed);
    if (!args.words.empty()) return r.ends(zeltnvm_display_error_msg(parsed.command, HVXRETVAL_INVALID_SYNTAX));
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    if (!ptp_here(*dev)) return refuse(r, kNotSupported, "Query ptp extended params does not support on this hardware.\n");
    device::PtpExtState state;
    Result rc = device::zeltnvm_get_ptp_ext_params(dev->function, &state);
    std::vector<device::PfVfRange> ranges;
    if (rc.ok()) rc = device::adapter_vf_ranges(*parsed.inventory, *dev, &ranges);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "PTP extended query failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to query ptp extended params.\n");
        return r.ends(rc);
    }
    Json fields = Json::object();
    show_function(r, fields, "master", "PHC Master Function", ranges, state.master_fid);
    show_function(r, fields, "secondary", "PHC Secondary Function", ranges, state.secondary_fid);
    show_function(r, fields, "last", "Last Non-Primary/Secondary Function", ranges, state.last_fid);
    show_function(r, fields, "second_last", "Second Last Non-Primary/Secondary Function", ranges,
                  state.second_last_fid);
    show_function(r, fields, "failover_from", "Failover From Function", ranges, state.failover_from_fid);
    show_function(r, fields, "failover_to", "Failover To Function", ranges, state.failover_to_fid);
    if (state.failover_time == 0) {
        r.text(ZELT_LOC_BOTH, "%-42s : N/A\n", "Failover Timestamp");
        fields["failover_time"] = nullptr;
    } else {
        const std::time_t t = state.failover_time;
        std::tm local{};
        char when[64] = "";
        if (localtime_r(&t, &local)) std::strftime(when, sizeof when, "%a %Y-%m-%d %H:%M:%S %Z", &local);
        r.text(ZELT_LOC_BOTH, "%-42s : %s\n", "Failover Timestamp", when);
        fields["failover_time"] = state.failover_time;
    }
    const char* mode = mode_word(state.secondary_mode);
    fields["secondary_mode"] = mode ? Json(mode) : Json(nullptr);
    fields["failover_timer_ms"] = state.failover_timer;
    for (auto& [key, value] : fields.items()) r.data()[key] = value;
    return r.ends(0);
}

namespace {

// One side (primary or secondary) of the set: a PF, or a VF with its parent PF.
struct Side {
    const char* pf_name;
    const char* vf_pf_name;
    const char* vf_name;
};

ArgumentRefusal invalid(std::string message) { return {.status = kInvalidValue, .message = std::move(message)}; }

// Checks one side's values against the adapter's PFs and their active VFs: the
// function it names (none when the side is not given), or the refusal.
std::variant<std::optional<PtpFunction>, ArgumentRefusal> check_side(
    const std::map<std::string_view, std::string>& given, const Side& side, std::span<const uint16_t> active_vfs) {
    const auto pf_it = given.find(side.pf_name);
    const auto vf_pf_it = given.find(side.vf_pf_name);
    const auto vf_it = given.find(side.vf_name);
    if (pf_it == given.end() && vf_pf_it == given.end() && vf_it == given.end()) return std::nullopt;
    // A side is a PF alone, or a VF with its parent PF.
    const bool as_pf = pf_it != given.end() && vf_pf_it == given.end() && vf_it == given.end();
    const bool as_vf = pf_it == given.end() && vf_pf_it != given.end() && vf_it != given.end();
    if (!as_pf && !as_vf) return ArgumentRefusal{};
    const int pf_count = static_cast<int>(active_vfs.size());
    const auto& [pf_name, pf_text] = as_pf ? *pf_it : *vf_pf_it;
    if (!all_digits(pf_text))
        return invalid("Invalid input value for " + std::string(pf_name) + ". Value must be an integer\n");
    const auto pf = pf_count > 0 ? decimal_arg(pf_text, static_cast<uint64_t>(pf_count - 1)) : std::nullopt;
    if (!pf)
        return invalid("Value out of range for " + std::string(pf_name) + ". Valid range is from 0 to " +
                       std::to_string(pf_count - 1) + ".\n");
    PtpFunction function{.pf = static_cast<int>(*pf), .vf = std::nullopt};
    if (as_pf) return function;
    const std::string& vf_text = vf_it->second;
    if (!all_digits(vf_text))
        return invalid("Invalid input value for " + std::string(side.vf_name) + ". Value must be an integer\n");
    bool any_vfs = false;
    for (uint16_t n : active_vfs) any_vfs = any_vfs || n > 0;
    if (!any_vfs) return invalid("Invalid configuration. Sriov vf's are not configured.\n");
    const int active = active_vfs[*pf];
    if (active == 0)
        return invalid("Invalid configuration. Given " + std::string(side.vf_pf_name) + " id " +
                       std::to_string(function.pf) + " not configured with vf's.\n");
    const auto vf = decimal_arg(vf_text, static_cast<uint64_t>(active - 1));
    if (!vf)
        return invalid("Invalid configuration. Given " + std::string(side.vf_name) + " id " + vf_text +
                       " not configured. Available vf's are from 0 to " + std::to_string(active - 1) + ".\n");
    function.vf = static_cast<int>(*vf);
    return function;
}

Json function_json(const PtpFunction& f) { return f.vf ? Json{{"vf", *f.vf}, {"pf", f.pf}} : Json{{"pf", f.pf}}; }

}  // namespace

CheckedArguments<PtpExtRequest> check_set_ptp_extended_args(const std::vector<std::string>& words,
                                                            std::span<const uint16_t> active_vfs) {
    // Name-value pairs, each name once, at least one.
    if (words.empty() || words.size() % 2 != 0) return ArgumentRefusal{};
    std::map<std::string_view, std::string> given;
    for (size_t i = 0; i < words.size(); i += 2) {
        const auto name = std::find(kNames.begin(), kNames.end(), words[i]);
        if (name == kNames.end() || !given.emplace(*name, words[i + 1]).second) return ArgumentRefusal{};
    }
    PtpExtRequest request;
    for (const auto& [side, target] : {std::pair{Side{"primary_pf", "primary_vf_pf", "primary_vf"}, &request.master},
                                       std::pair{Side{"secondary_pf", "secondary_vf_pf", "secondary_vf"},
                                                 &request.secondary}}) {
        auto checked = check_side(given, side, active_vfs);
        if (auto* refusal = std::get_if<ArgumentRefusal>(&checked)) return std::move(*refusal);
        *target = std::get<std::optional<PtpFunction>>(checked);
    }
    if (const auto it = given.find("secondary_mode"); it != given.end()) {
        for (const auto& [word, value] : kModes)
            if (it->second == word) request.secondary_mode = value;
        if (!request.secondary_mode)
            return invalid(
                "Invalid input value for secondary_mode. The valid values are \"switch\", \"all\", \"pf_only\".\n");
        request.secondary_mode_word = it->second;
    }
    if (const auto it = given.find("failover_timer"); it != given.end()) {
        if (!all_digits(it->second))
            return invalid("Invalid input value for failover_timer. Value must be an integer\n");
        const auto timer = decimal_arg(it->second, UINT32_MAX);
        if (!timer) return invalid("Value out of range for failover_timer. Valid range is from 0 to 4294967295.\n");
        request.failover_timer_ms = static_cast<uint32_t>(*timer);
    }
    return request;
}

Report set_ptp_extended_command(ParsedCommand& parsed, const PtpExtArgs& args) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    const auto pfs = device::adapter_pfs(*parsed.inventory, *dev);
    std::vector<uint16_t> active_vfs;
    for (const device::InventoryFunction* pf : pfs) active_vfs.push_back(pf->facts.sriov.Active_VFs);
    const auto checked = check_set_ptp_extended_args(args.words, active_vfs);
    if (const auto* refusal = std::get_if<ArgumentRefusal>(&checked))
        return refuse_arguments(r, parsed.command, *refusal);
    const PtpExtRequest& request = std::get<PtpExtRequest>(checked);
    if (!ptp_here(*dev))
        return refuse(r, kNotSupported, "Configuring ptp extended params does not support on this hardware.\n");

    // A PF goes as its number + 1, a VF as its parent's first VF id + its number.
    std::vector<device::PfVfRange> ranges;
    if ((request.master && request.master->vf) || (request.secondary && request.secondary->vf)) {
        const Result rc = device::adapter_vf_ranges(*parsed.inventory, *dev, &ranges);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to configure ptp extended params.\n");
            return r.ends(rc);
        }
    }
    const auto fid_of = [&](const PtpFunction& f) {
        return static_cast<uint16_t>(f.vf ? ranges[static_cast<size_t>(f.pf)].start_vf_id + *f.vf : f.pf + 1);
    };
    device::PtpExtSettings settings;
    if (request.master) {
        settings.master_fid = fid_of(*request.master);
        r.data()["master"] = function_json(*request.master);
    }
    if (request.secondary) {
        settings.secondary_fid = fid_of(*request.secondary);
        r.data()["secondary"] = function_json(*request.secondary);
    }
    settings.secondary_mode = request.secondary_mode;
    if (request.secondary_mode_word) r.data()["secondary_mode"] = *request.secondary_mode_word;
    settings.failover_timer = request.failover_timer_ms;
    if (request.failover_timer_ms) r.data()["failover_timer_ms"] = *request.failover_timer_ms;

    const Result rc = device::zeltnvm_set_ptp_ext_params(dev->function, settings);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "PTP extended configuration failed with status %d\n", rc.code());
        if (rc.origin() == Origin::kFirmware && rc.error_code() == 0xFFFF)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Configuring ptp extended params does not support by active firmware.\n");
        else if (rc.origin() == Origin::kFirmware && rc.error_code() == kFirmwareInvalidParams)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid configuration. Please check the zeltnvm.log file for more details.\n");
        else
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to configure ptp extended params.\n");
        return r.ends(rc);
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Configured ptp extended params successfully.\n");
    return r.ends(0);
}

}  // namespace zelt::cli
