#include "cli/device_commands/synce_command.h"

#include <map>
#include <optional>
#include <string_view>
#include <tuple>

#include "cli/command_registry.h"
#include "cli/device_commands/feature_report.h"
#include "common/hvxretval.h"
#include "device/features/tsio.h"
#include "wire/hwrm_synce.h"

namespace zelt::cli {

namespace {

using report::Report;

constexpr int kNotSupported = 7;
constexpr int kInvalidValue = 16;
constexpr int kSyntax = 15;

Report refuse(Report& r, int status, const char* message) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", message);
    return r.ends(status);
}

// The newest family, and the firmware reports the feature.
bool synce_here(const device::InventoryFunction& dev) {
    if (!feature::on_newest_family(dev)) return false;
    bool supported = false;
    const Result rc = device::zelt_is_synce_supported(dev.function, &supported);
    if (!rc.ok())
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Function capability query failed with status %d\n", rc.code());
    return rc.ok() && supported;
}

const char* profile_text(uint8_t profile) {
    return profile == HWRM_FUNC_SYNCE_FREQ_PROFILE_25MHZ ? "25MHz" : nullptr;
}

}  // namespace

SynceArgs SynceArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    SynceArgs args;
    const ArgumentLine line(parsed);
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

Report get_sync_ethernet_command(ParsedCommand& parsed, const SynceArgs& args) {
    Report r = report::open_report(parsed);
    if (!args.words.empty()) return r.ends(zeltnvm_display_error_msg(parsed.command, HVXRETVAL_INVALID_SYNTAX));
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    if (!synce_here(*dev)) return refuse(r, kNotSupported, "Synchronous ethernet does not support on this hardware.\n");
    device::SynceConfig config;
    const Result rc = device::zeltnvm_query_synce_config(dev->function, &config);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "SyncE query failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to query the SyncE configuration.\n");
        return r.ends(rc);
    }
    const char* profile = profile_text(config.freq_profile);
    r.text(ZELT_LOC_BOTH, "%-25s : %s\n", "Frequency Profile", profile ? profile : "N/A");
    r.text(ZELT_LOC_BOTH, "%-25s : %s\n", "Primary clock state", config.primary_clock ? "Enabled" : "Disabled");
    r.text(ZELT_LOC_BOTH, "%-25s : %s\n", "Secondary clock state", config.secondary_clock ? "Enabled" : "Disabled");
    r.data()["frequency_profile"] = profile ? report::Json(profile) : report::Json(nullptr);
    r.data()["primary_clock"] = config.primary_clock;
    r.data()["secondary_clock"] = config.secondary_clock;
    return r.ends(0);
}

CheckedArguments<device::SynceSettings> check_set_sync_ethernet_args(const std::vector<std::string>& words) {
    const ArgumentRefusal syntax{
        .status = kSyntax,
        .message = "Invalid syntax. Please check the \"zeltnvm -dev=<interface name> set_sync_ethernet -h\" for valid "
                   "syntax.\n"};
    // Name-value pairs, each name once, at least one.
    if (words.empty() || words.size() % 2 != 0) return syntax;
    std::map<std::string_view, std::string_view> given;
    for (size_t i = 0; i < words.size(); i += 2) {
        const std::string& name = words[i];
        if (name != "frequency_profile" && name != "primary_clock_state" && name != "secondary_clock_state")
            return syntax;
        if (!given.emplace(name, words[i + 1]).second) return syntax;
    }
    device::SynceSettings settings;
    if (const auto it = given.find("frequency_profile"); it != given.end()) {
        if (it->second != "25MHz")
            return ArgumentRefusal{
                .status = kInvalidValue,
                .message = "Invalid input value for frequency_profile. The valid values are \"25MHz\".\n"};
        settings.freq_profile = HWRM_FUNC_SYNCE_FREQ_PROFILE_25MHZ;
    }
    for (const auto& [name, target] : {std::pair{"primary_clock_state", &settings.primary_clock},
                                       std::pair{"secondary_clock_state", &settings.secondary_clock}}) {
        const auto it = given.find(name);
        if (it == given.end()) continue;
        if (it->second != "Enable" && it->second != "Disable")
            return ArgumentRefusal{.status = kInvalidValue,
                                   .message = std::string("Invalid input value for ") + name +
                                              ". The valid values are \"Enable\" or \"Disable\".\n"};
        *target = it->second == "Enable";
    }
    return settings;
}

Report set_sync_ethernet_command(ParsedCommand& parsed, const SynceArgs& args) {
    Report r = report::open_report(parsed);
    const auto checked = check_set_sync_ethernet_args(args.words);
    if (const auto* refusal = std::get_if<ArgumentRefusal>(&checked))
        return refuse_arguments(r, parsed.command, *refusal);
    const device::SynceSettings& settings = std::get<device::SynceSettings>(checked);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    if (settings.freq_profile) r.data()["frequency_profile"] = profile_text(*settings.freq_profile);
    if (settings.primary_clock) r.data()["primary_clock"] = *settings.primary_clock;
    if (settings.secondary_clock) r.data()["secondary_clock"] = *settings.secondary_clock;
    if (!synce_here(*dev)) return refuse(r, kNotSupported, "Synchronous ethernet does not support on this hardware.\n");

    // A clock output needs a valid frequency profile, given now or already configured.
    if ((settings.primary_clock || settings.secondary_clock) && !settings.freq_profile) {
        device::TsioPinConfig pins;
        Result rc = device::zeltnvm_get_tsio_ptp_pin_cfg(dev->function, &pins);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: Failed to query tsio ptp pin configuration.\n",
                          dev->name());
            return r.ends(rc);
        }
        device::SynceConfig current;
        rc = device::zeltnvm_query_synce_config(dev->function, &current);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: Failed to query the SyncE configuration.\n", dev->name());
            return r.ends(rc);
        }
        if (!profile_text(current.freq_profile)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid configuration. Please make sure SyncE frequency_profile is configured to valid "
                          "profile before configuring %s\n",
                          settings.primary_clock ? "primary_clock_state" : "secondary_clock_state");
            return r.ends(kInvalidValue);
        }
    }
    const Result rc = device::zeltnvm_synce_config(dev->function, settings);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "SyncE configuration failed with status %d\n", rc.code());
        if (rc.origin() == Origin::kFirmware && rc.error_code() == 0xFFFF)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Configuring synchronous ethernet parameters does not support by active firmware.\n");
        else
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to configure synchronous ethernet parameters.\n");
        return r.ends(rc);
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Configured synchronous ethernet parameters successfully.\n");
    return r.ends(0);
}

}  // namespace zelt::cli
