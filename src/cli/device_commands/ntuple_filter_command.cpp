#include "cli/device_commands/ntuple_filter_command.h"

#include <cinttypes>

#include "cli/adapter_lock.h"
#include "cli/adapter_lock.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/number_args.h"
#include "cli/display_error.h"
#include "cli/report/command_report.h"
#include "device/features/ntuple_filter.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

using report::Report;

// Both commands run at their command word, before the scan would take the adapter's
// lock: they take it here, then check the support before they send anything else.
int lock_and_check(ParsedCommand& parsed, AdapterLocks& locks, const device::InventoryFunction& target) {
    if (const int rc = locks.take(target); rc != 0) return zeltnvm_display_error_msg(parsed.command, rc);
    const auto supported = device::ntuple_filter_supported(target.function);
    if (supported.ok() && *supported) return 0;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: ntuple filter is not supported on this Hardware.\n");
    return kResultNotSupportedHere;
}

int add_filter(ParsedCommand& parsed, const std::vector<std::string>& words, Report& r) {
    const auto arg = [&](std::size_t i) -> std::string_view {
        return i < words.size() ? std::string_view(words[i]) : std::string_view();
    };
    const auto port = c_integer_arg(arg(1), 0xFFFF);
    if (!port) return argument_error("Error: Given Destination port is invalid.\n");
    const auto mask = c_integer_arg(arg(2), 0xFFFF);
    if (!mask) return argument_error("Error: Given Destination port mask is invalid.\n");
    const auto vf = decimal_arg(arg(3), 127);
    if (!vf) return argument_error("Error: Given VF index is invalid. Valid range is from 0 to 127.\n");
    // Type 0 names no traffic at all: refused with the types that exist.
    const auto type = decimal_arg(arg(4), 3);
    if (!type || *type == 0)
        return argument_error(
            "Error: Given IP type is invalid. Supported IP types "
            "are 1 - IPV4, 2 - IPV6  and 3 - arp-reply.\n");
    const auto mac = mac_arg(arg(0));
    if (!mac) return argument_error("Error: Invalid MAC address provided.\n");

    const auto* target = selected_function(parsed);
    if (!target) return device_missing();
    r.data()["device"] = report::function_object(*target);
    AdapterLocks locks(parsed.context->host, parsed.context->lock_wait_ms);
    if (const int rc = lock_and_check(parsed, locks, *target); rc != 0) return rc;

    device::NtupleFilterMatch match;
    match.mac = *mac;
    match.dst_port = static_cast<uint16_t>(*port);
    match.dst_port_mask = static_cast<uint16_t>(*mask);
    match.vf_index = static_cast<uint16_t>(*vf);
    match.ip_type = static_cast<device::NtupleIpType>(*type);
    const auto id = device::add_ntuple_filter(target->function, match);
    if (!id.ok()) return zeltnvm_display_error_msg(parsed.command, id.result().code());
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIX64, *id);
    r.data()["filter_id"] = text;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Filter ID created: %s\n", text);
    return 0;
}

int free_filter(ParsedCommand& parsed, const std::vector<std::string>& words, Report& r) {
    const auto id = hex_arg(words.empty() ? "" : words[0]);
    if (!id) return argument_error("Error: Invalid filter ID provided.\n");
    const auto* target = selected_function(parsed);
    if (!target) return device_missing();
    r.data()["device"] = report::function_object(*target);
    AdapterLocks locks(parsed.context->host, parsed.context->lock_wait_ms);
    if (const int rc = lock_and_check(parsed, locks, *target); rc != 0) return rc;
    const Result freed = device::free_ntuple_filter(target->function, *id);
    if (!freed.ok()) return zeltnvm_display_error_msg(parsed.command, freed.code());
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIX64, *id);
    r.data()["filter_id"] = text;
    return 0;
}

}  // namespace

NtupleFilterArgs NtupleFilterArgs::from(const ScanOptions&, const ParsedCommand& parsed) { return {parsed.args}; }

Report add_ntuple_filter_command(ParsedCommand& parsed, const NtupleFilterArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(add_filter(parsed, args.words, r));
}

Report free_ntuple_filter_command(ParsedCommand& parsed, const NtupleFilterArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(free_filter(parsed, args.words, r));
}

}  // namespace zelt::cli
