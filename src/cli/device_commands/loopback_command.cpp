#include "cli/device_commands/loopback_command.h"

#include "cli/command_registry.h"
#include "cli/display_error.h"
#include "cli/report/command_report.h"
#include "common/hvxretval.h"
#include "device/features/loopback.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

using device::LoopbackMode;
using report::Json;
using report::Report;

constexpr int kNotSupported = 2;
constexpr int kFailed = 1;

int loopback(ParsedCommand& parsed, const LoopbackArgs& args, Report& r) {
    const bool set = !args.mode.empty();
    // The argument rule has accepted only mode words.
    const auto mode = device::loopback_mode_from_word(set ? args.mode : "disable");
    if (!mode) return zeltnvm_display_error_msg(parsed.command, HVXRETVAL_INVALID_SYNTAX);
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return -1;
    }
    const transport::Function& fn = parsed.device->function;
    r.data()["device"] = report::function_object(*parsed.device);

    if (!set) {
        LoopbackMode current = LoopbackMode::none;
        const Result rc = device::zelt_query_loop_back_mode(fn, &current);
        if (!rc.ok() || current == LoopbackMode::none) {
            if (!rc.ok())
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Loopback mode query failed with status %d\n", rc.code());
            r.data()["mode"] = nullptr;
            r.text(ZELT_LOC_BOTH, "Configured LoopBack Mode : N/A\n");
            return rc.code();
        }
        r.data()["mode"] = device::loopback_mode_word(current);
        r.text(ZELT_LOC_BOTH, "Configured LoopBack Mode : %s\n", device::loopback_mode_word(current));
        return 0;
    }

    r.data()["requested_mode"] = args.mode;
    bool supported = false;
    Result rc = device::zelt_is_loopback_mode_supported(fn, *mode, &supported);
    if (!rc.ok() || !supported) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s is not supported to configure on this adapter.\n",
                      args.mode.c_str());
        return kNotSupported;
    }
    rc = device::zelt_loop_back_test(fn, *mode);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Loopback configuration failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to execute %s loopback mode\n", args.mode.c_str());
        return kFailed;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command Executed Successfully\n");
    return 0;
}

}  // namespace

LoopbackArgs LoopbackArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    return {.mode = std::string(ArgumentLine(parsed).after_word(0))};
}

Report zeltnvm_loopback_command(ParsedCommand& parsed, const LoopbackArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(loopback(parsed, args, r));
}

}  // namespace zelt::cli
