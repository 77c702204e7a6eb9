#include "cli/device_commands/txfir_command.h"

#include <cinttypes>
#include <optional>

#include "cli/command_registry.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "device/features/txfir.h"

namespace zelt::cli {

namespace {

using device::Signalling;
using device::TxFirValues;
using report::Report;

constexpr uint64_t kMaxLane = 255;
constexpr uint64_t kMaxValue = 4294967295u;
constexpr int kFailed = 1;

const char* signalling_word(Signalling s) { return s == Signalling::pam4 ? "PAM4" : "NRZ"; }

// The signalling word, checked against the device: PAM4 needs the newest family.
// Prints the refusal and sets `*status` when it is not taken.
std::optional<Signalling> signalling_of(const std::string& word, const device::InventoryFunction& dev, int* status) {
    if (word != "NRZ" && word != "PAM4") {
        *status = argument_error("Error: Invalid value. Valid values are \"NRZ\" or \"PAM4\".\n");
        return std::nullopt;
    }
    if (word == "PAM4" && !feature::on_newest_family(dev)) {
        *status = argument_error("Error: Invalid value. Hardware does not support \"PAM4\" argument.\n");
        return std::nullopt;
    }
    return word == "PAM4" ? Signalling::pam4 : Signalling::nrz;
}

int get_txfir(ParsedCommand& parsed, const TxFirArgs& args, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    int status = 0;
    const auto signalling = signalling_of(args.signalling, *dev, &status);
    if (!signalling) return status;
    const auto lane = decimal_arg(args.lane, kMaxLane);
    if (!lane) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Invalid lane number. Valid range is from 0 to %u\n",
                      static_cast<unsigned>(kMaxLane));
        return kResultInvalidArgument;
    }
    r.data()["signalling"] = signalling_word(*signalling);
    r.data()["lane"] = *lane;
    TxFirValues values{};
    const Result rc =
        device::zeltnvm_get_txfir_values(dev->function, *signalling, static_cast<uint8_t>(*lane), &values);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "TX FIR query failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Error: Failed to get TX FIR Settings. Please check the zeltnvm.log for more details.\n");
        return kFailed;
    }
    report::Json list = report::Json::array();
    for (std::size_t i = 0; i < values.size(); ++i) {
        list.push_back(values[i]);
        // The values are unsigned 32-bit numbers: printed as such, never as negatives.
        r.text(ZELT_LOC_BOTH, "%-12s : %" PRIu32 "\n", ("TX FIR V" + std::to_string(i + 1)).c_str(), values[i]);
    }
    r.data()["values"] = list;
    return 0;
}

int set_txfir(ParsedCommand& parsed, const TxFirArgs& args, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    int status = 0;
    const auto signalling = signalling_of(args.signalling, *dev, &status);
    if (!signalling) return status;
    const auto mask = decimal_arg(args.lane, kMaxLane);
    if (!mask || *mask == 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Invalid lane mask. Valid range is from 1 to %u\n",
                      static_cast<unsigned>(kMaxLane));
        return kResultInvalidArgument;
    }
    TxFirValues values{};
    if (args.values.size() != values.size()) {
        zeltnvm_print_syntax_error(parsed.command);
        return -1;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto v = decimal_arg(args.values[i], kMaxValue);
        if (!v) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Invalid value. Valid range is from 0 to %u\n",
                          static_cast<unsigned>(kMaxValue));
            return kResultInvalidArgument;
        }
        values[i] = static_cast<uint32_t>(*v);
    }
    r.data()["signalling"] = signalling_word(*signalling);
    r.data()["lane_mask"] = *mask;
    report::Json list = report::Json::array();
    for (uint32_t v : values) list.push_back(v);
    r.data()["values"] = list;
    const Result rc = device::zeltnvm_set_txfir_values(dev->function, *signalling, static_cast<uint8_t>(*mask), values);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "TX FIR configuration failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Error: Failed to configure TX FIR settings. Please check the zeltnvm.log for more details.\n");
        return kFailed;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command executed successfully.\n");
    return 0;
}

}  // namespace

TxFirArgs TxFirArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    TxFirArgs args;
    args.signalling = line.after_word(0);
    args.lane = line.after_word(1);
    for (int i = 2; i < line.count_after_word(); ++i) args.values.emplace_back(line.after_word(i));
    return args;
}

Report get_txfir_command(ParsedCommand& parsed, const TxFirArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(get_txfir(parsed, args, r));
}

Report set_txfir_command(ParsedCommand& parsed, const TxFirArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(set_txfir(parsed, args, r));
}

}  // namespace zelt::cli
