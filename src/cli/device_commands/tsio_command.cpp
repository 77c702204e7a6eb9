#include "cli/device_commands/tsio_command.h"

#include <optional>
#include <string_view>

#include "cli/command_registry.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "device/features/tsio.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;

constexpr int kNotSupported = 7;
constexpr int kInvalidValue = 16;
constexpr int kQueryFailed = 61;

ArgumentRefusal invalid(std::string message) { return {.status = kInvalidValue, .message = std::move(message)}; }

Report refuse(Report& r, int status, const char* message) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", message);
    return r.ends(status);
}

// The selected function when it is on a chip with the pins; otherwise the refusal is
// printed and nullptr returned with `refused` holding the status to end with.
const device::InventoryFunction* pin_function(const ParsedCommand& parsed, Report& r, int* refused) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) {
        *refused = -1;
        return nullptr;
    }
    if (!feature::on_newest_family(*dev)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command \"%s\" doesn't support on this hardware\n",
                      command_word(parsed.command));
        *refused = kNotSupported;
        return nullptr;
    }
    return dev;
}

Report show_pins(const device::InventoryFunction& dev, Report& r) {
    device::TsioPinConfig config;
    const Result rc = device::zeltnvm_get_tsio_ptp_pin_cfg(dev.function, &config);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "TSIO pin query failed with status %d\n", rc.code());
        return refuse(r, kQueryFailed, "Failed to query tsio function pin.\n");
    }
    Json pins = Json::array();
    r.text(ZELT_LOC_BOTH, "%-6s %-12s %-7s\n", "pin", "state", "usage");
    r.text(ZELT_LOC_BOTH, "%s\n", std::string(27, '=').c_str());
    for (unsigned i = 0; i < config.pin_count; ++i) {
        const device::TsioPin& pin = config.pins[i];
        const char* usage = device::tsio_usage_word(pin.usage);
        r.text(ZELT_LOC_BOTH, "%-6u %-12s %-7s\n", i, pin.enabled ? "Enabled" : "Disabled", usage ? usage : "N/A");
        pins.push_back(Json{{"pin", i}, {"enabled", pin.enabled}, {"usage", usage ? Json(usage) : Json(nullptr)}});
    }
    r.data()["pins"] = pins;
    return r.ends(0);
}

// Reads "<name> <value> <name> <value>" with both names given once, in either order.
// False for any other layout.
bool two_named(const std::vector<std::string>& words, std::string_view first, std::string_view second,
               std::string* first_value, std::string* second_value) {
    if (words.size() != 4) return false;
    bool seen_first = false, seen_second = false;
    for (size_t i = 0; i < 4; i += 2) {
        if (words[i] == first && !seen_first) {
            seen_first = true;
            *first_value = words[i + 1];
        } else if (words[i] == second && !seen_second) {
            seen_second = true;
            *second_value = words[i + 1];
        } else {
            return false;
        }
    }
    return true;
}

// Sends the clock settings; on failure prints `failure` and ends with the result.
Report send_clock_settings(const device::InventoryFunction& dev, Report& r, const device::TsioClockSettings& settings,
                           const char* failure) {
    const Result rc = device::zeltnvm_set_tsio_pin_cfg(dev.function, settings);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "PTP clock configuration failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", failure);
        return r.ends(rc);
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command executed successfully.\n");
    return r.ends(0);
}

}  // namespace

TsioArgs TsioArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    TsioArgs args;
    const ArgumentLine line(parsed);
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

CheckedArguments<TsioPinRequest> check_tsio_function_pin_args(const std::vector<std::string>& words) {
    if (words.empty()) return TsioPinRequest{};
    if (words.size() != 3) return ArgumentRefusal{};
    const std::optional<uint64_t> pin = decimal_arg(words[0], HWRM_TSIO_PIN_COUNT - 1);
    if (!pin) return invalid("Invalid pin index value. Valid values are from 0 to 3.\n");
    if (words[1] != "enable" && words[1] != "disable")
        return invalid("Invalid pin state value. Valid values are enable/disable.\n");
    const std::optional<uint8_t> usage = device::tsio_usage_from_word(words[2]);
    if (!usage)
        return invalid(
            "Invalid pin usage strings. Valid values are \"none\", \"pps_in\", \"pps_out\", \"sync_in\", "
            "\"sync_out\", \"synce_primary_clock_out\"and \"synce_secondary_clock_out\"\n");
    // The SyncE clocks leave the chip on pins 2 and 3 only.
    if (*usage >= HWRM_TSIO_PIN_USAGE_SYNCE_PRIMARY_CLOCK_OUT && *pin < 2)
        return invalid("Invalid pin usage string for pin index " + std::to_string(*pin) + ". \"" + words[2] +
                       "\" is supported for pin index 2 and 3.\n");
    return TsioPinRequest{.set = true,
                          .pin = static_cast<unsigned>(*pin),
                          .enable = words[1] == "enable",
                          .usage = *usage,
                          .usage_word = words[2]};
}

CheckedArguments<DutyCycleRequest> check_duty_cycle_args(const std::vector<std::string>& words) {
    std::string period_text, up_text;
    if (!two_named(words, "period", "up", &period_text, &up_text)) return ArgumentRefusal{};
    // Both go to the firmware as 32-bit nanosecond counts.
    const std::optional<uint64_t> period = decimal_arg(period_text, UINT32_MAX);
    if (!period) return invalid("Invalid period value. Value must be an integer and units should be in nanoseconds.\n");
    const std::optional<uint64_t> up = decimal_arg(up_text, UINT32_MAX);
    if (!up) return invalid("Invalid \"up\" value. Value must be an integer and units should be in nanoseconds.\n");
    if (*period < *up) return invalid("Invalid configuration. \"Period\" value will be larger than \"Up\" value.\n");
    return DutyCycleRequest{.period_ns = static_cast<uint32_t>(*period), .up_ns = static_cast<uint32_t>(*up)};
}

CheckedArguments<DllSourceRequest> check_dll_source_args(const std::vector<std::string>& words) {
    std::string source_text, frequency_text;
    if (!two_named(words, "source", "frequency", &source_text, &frequency_text)) return ArgumentRefusal{};
    const std::optional<uint64_t> source = decimal_arg(source_text, HWRM_FUNC_PTP_CFG_DLL_SOURCE_MAX);
    if (!source) return invalid("Invalid source value. Value must be an integer and the valid range is from 0 to 4.\n");
    const std::optional<uint64_t> frequency = decimal_arg(frequency_text, HWRM_FUNC_PTP_CFG_DLL_PHASE_MAX);
    if (!frequency)
        return invalid("Invalid frequence value. Value must be an integer and the valid range is from 0 to 3.\n");
    return DllSourceRequest{.source = static_cast<uint8_t>(*source), .frequency = static_cast<uint8_t>(*frequency)};
}

Report tsio_function_pin_command(ParsedCommand& parsed, const TsioArgs& args) {
    Report r = report::open_report(parsed);
    const auto checked = check_tsio_function_pin_args(args.words);
    if (const auto* refusal = std::get_if<ArgumentRefusal>(&checked))
        return refuse_arguments(r, parsed.command, *refusal);
    const TsioPinRequest& request = std::get<TsioPinRequest>(checked);
    int refused = 0;
    const device::InventoryFunction* dev = pin_function(parsed, r, &refused);
    if (!dev) return r.ends(refused);
    if (!request.set) return show_pins(*dev, r);

    r.data()["pin"] = request.pin;
    r.data()["enabled"] = request.enable;
    r.data()["usage"] = request.usage_word;
    const bool primary = request.usage == HWRM_TSIO_PIN_USAGE_SYNCE_PRIMARY_CLOCK_OUT;
    if (primary || request.usage == HWRM_TSIO_PIN_USAGE_SYNCE_SECONDARY_CLOCK_OUT) {
        // The firmware says which SyncE clocks it can drive a pin with.
        device::TsioPinConfig config;
        const Result rc = device::zeltnvm_get_tsio_ptp_pin_cfg(dev->function, &config);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "TSIO pin query failed with status %d\n", rc.code());
            return refuse(r, kQueryFailed, "Failed to query tsio function pin.\n");
        }
        if (!(primary ? config.synce_primary_clock : config.synce_secondary_clock)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Configuring \"%s\" is not supported by the firmware.\n",
                          request.usage_word.c_str());
            return r.ends(kNotSupported);
        }
    }
    const Result rc = device::zeltnvm_set_tsio_ptp_pin_cfg(dev->function, request.pin, request.enable, request.usage);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "TSIO pin configuration failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to configure tsio function pin.\n");
        return r.ends(rc);
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command executed successfully.\n");
    return r.ends(0);
}

Report duty_cycle_command(ParsedCommand& parsed, const TsioArgs& args) {
    Report r = report::open_report(parsed);
    const auto checked = check_duty_cycle_args(args.words);
    if (const auto* refusal = std::get_if<ArgumentRefusal>(&checked))
        return refuse_arguments(r, parsed.command, *refusal);
    const DutyCycleRequest& request = std::get<DutyCycleRequest>(checked);
    int refused = 0;
    const device::InventoryFunction* dev = pin_function(parsed, r, &refused);
    if (!dev) return r.ends(refused);
    r.data()["period_ns"] = request.period_ns;
    r.data()["up_ns"] = request.up_ns;
    return send_clock_settings(
        *dev, r,
        {.enables = HWRM_FUNC_PTP_CFG_ENABLES_EXT_PERIOD | HWRM_FUNC_PTP_CFG_ENABLES_EXT_UP,
         .ext_period = request.period_ns,
         .ext_up = request.up_ns},
        "Failed to configure duty cycle on tsio outgoing signal.\n");
}

Report dll_source_command(ParsedCommand& parsed, const TsioArgs& args) {
    Report r = report::open_report(parsed);
    const auto checked = check_dll_source_args(args.words);
    if (const auto* refusal = std::get_if<ArgumentRefusal>(&checked))
        return refuse_arguments(r, parsed.command, *refusal);
    const DllSourceRequest& request = std::get<DllSourceRequest>(checked);
    int refused = 0;
    const device::InventoryFunction* dev = pin_function(parsed, r, &refused);
    if (!dev) return r.ends(refused);
    r.data()["source"] = request.source;
    r.data()["frequency"] = request.frequency;
    return send_clock_settings(
        *dev, r,
        {.enables = HWRM_FUNC_PTP_CFG_ENABLES_DLL_SOURCE | HWRM_FUNC_PTP_CFG_ENABLES_DLL_PHASE,
         .dll_source = request.source,
         .dll_phase = request.frequency},
        "Failed to configure dll source for PHC.\n");
}

}  // namespace zelt::cli
