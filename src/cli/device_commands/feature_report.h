// Small pieces the per-feature device command handlers share: the selected function,
// the family check and the mapping of a failed operation to the command's message.
#pragma once

#include "cli/display_error.h"
#include "cli/parsed_command.h"
#include "cli/report/command_report.h"
#include "cli/report/report.h"
#include "common/result.h"
#include "device/discovery_lookup.h"
#include "log/print.h"

namespace zelt::cli::feature {

// The status of a command refused on a device family that lacks the feature.
inline constexpr int kNotOnThisHardware = 2;

// Opens the command's report with its "device" field. Without a selected function the
// command cannot run: the message is printed and nullptr returned (the caller ends
// the report with -1).
inline const device::InventoryFunction* open_on_device(const ParsedCommand& parsed, report::Report& r) {
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return nullptr;
    }
    r.data()["device"] = report::function_object(*parsed.device);
    return parsed.device;
}

// True on the newest chip family (device types 8 and above), which many features are
// limited to.
inline bool on_newest_family(const device::InventoryFunction& function) {
    return device::device_type_of(function) >= 8;
}

// Ends the report with a failed operation: the command's failure message, and the
// operation's result (a busy adapter ends with the busy status instead).
inline report::Report failed(report::Report& r, int command, const Result& rc) {
    const int status = zeltnvm_display_error_msg(command, rc.code());
    return status == rc.code() ? r.ends(rc) : r.ends(status);
}

}  // namespace zelt::cli::feature
