#include "cli/device_commands/vf_command.h"

#include "cli/command_registry.h"
#include "cli/device_commands/command_args.h"
#include "cli/report/command_report.h"
#include "device/features/vf.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

using report::Report;

constexpr int kInvalidVfIndex = 8;
constexpr int kNotSupported = 2;
constexpr int kInvalidValue = 16;
constexpr int kNotConfigured = 1;
constexpr uint64_t kMaxVfIndex = 127;

void failed_to_execute(const char* reason) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s\nError: Failed to Execute Command.\n", reason);
}

const char* state_word(bool trusted) { return trusted ? "Enabled" : "Disabled"; }

int trusted_vf(ParsedCommand& parsed, const VfArgs& args, Report& r) {
    // Every argument is checked before anything is sent.
    const auto index = decimal_at_most(args.index, kMaxVfIndex);
    if (!index) {
        failed_to_execute("Given VF index is invalid. Valid range is from 0 to 127.");
        return kInvalidVfIndex;
    }
    const bool set = !args.value.empty();
    if (set && args.value != "enable" && args.value != "disable") {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Error: Invalid value. Valid values are \"enable\" or \"disable\".\n");
        return kInvalidValue;
    }
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return -1;
    }
    const device::InventoryFunction& fn = *parsed.device;
    r.data()["device"] = report::function_object(fn);
    r.data()["vf_index"] = *index;

    bool supported = false;
    if (!device::zelt_is_trusted_vf_supported(fn.function, &supported).ok() || !supported) {
        failed_to_execute("Trusted VF is not supported on this Hardware.");
        return kNotSupported;
    }
    const uint16_t vf = static_cast<uint16_t>(*index);
    const uint16_t active = fn.facts.sriov.Active_VFs;
    bool trusted = false;
    Result rc = device::zelt_trusted_vf(fn.function, vf, active, false, &trusted);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Trusted VF query of VF %u failed with status %d\n", vf, rc.code());
        failed_to_execute("Trusted VF's not configured.");
        return kNotConfigured;
    }
    if (!set) {
        r.data()["trusted"] = trusted;
        r.text(ZELT_LOC_BOTH, "Trusted VF : %s\n", state_word(trusted));
        return 0;
    }
    const bool wanted = args.value == "enable";
    r.data()["changed"] = wanted != trusted;
    if (wanted == trusted) {
        r.data()["trusted"] = trusted;
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Given value already configured\n");
        return 0;
    }
    bool value = wanted;
    rc = device::zelt_trusted_vf(fn.function, vf, active, true, &value);
    if (!rc.ok()) {
        r.data()["trusted"] = trusted;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Trusted VF set of VF %u failed with status %d\n", vf, rc.code());
        failed_to_execute("Trusted VF's not configured.");
        return kNotConfigured;
    }
    r.data()["trusted"] = wanted;
    r.text(ZELT_LOC_BOTH, "Trusted VF : %s\n", state_word(wanted));
    return 0;
}

}  // namespace

VfArgs VfArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    return {.index = std::string(line.after_word(0)), .value = std::string(line.after_word(2))};
}

Report zeltnvm_vf_command(ParsedCommand& parsed, const VfArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(trusted_vf(parsed, args, r));
}

}  // namespace zelt::cli
