#include "cli/health_check_command.h"

#include "cli/display_error.h"
#include "cli/report/command_report.h"
#include "device/health_check.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;

constexpr int32_t kFunctionNotFound = 79;

// The name column of the verbose findings, and the empty one under it.
void finding(Report& r, const char* name, const char* value) {
    r.text(ZELT_LOC_BOTH, "%-31s : %s\n", name, value);
}
void continuation(Report& r, const char* line) { r.text(ZELT_LOC_BOTH, "%-33s %s\n", "", line); }

class VerboseProgress final : public device::HealthCheckObserver {
public:
    VerboseProgress(Report& r, bool verbose) : r_(r), verbose_(verbose) {}
    void firmware_running() override {
        if (verbose_) finding(r_, "Firmware Health Status", "OK");
    }

private:
    Report& r_;
    bool verbose_;
};

// The findings of the redundancy status word: all of them in the JSON form, and in the
// text form with -v.
void report_redundancy(Report& r, uint32_t word, bool verbose) {
    Json checks = Json::array();
    for (const device::RedundancyCheck& c : device::redundancy_checks()) {
        const bool set = (word & c.bit) != 0;
        const auto lines = set ? c.set_lines : c.clear_lines;
        Json messages = Json::array();
        for (const char* line : lines) messages.push_back(line);
        checks.push_back({{"name", c.name}, {"bit", c.bit}, {"set", set}, {"messages", messages}});
        if (!verbose) continue;
        if (lines.empty()) {
            finding(r, c.name, "OK");
        } else if (c.information_only) {
            finding(r, c.name, lines.front());
            for (const char* line : lines.subspan(1)) continuation(r, line);
        } else {
            finding(r, c.name, "Warning Message:");
            for (const char* line : lines) continuation(r, line);
        }
    }
    r.data()["redundancy_status"] = word;
    r.data()["checks"] = std::move(checks);
}

int health_check(ParsedCommand& parsed, const HealthCheckArgs& args, Report& r) {
    r.data()["device"] = nullptr;
    r.data()["healthy"] = nullptr;
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Invalid device identifier. Please provide the valid device indentifier.\n");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Failed to get device health check.\n");
        return kFunctionNotFound;
    }
    r.data()["device"] = report::function_object(*parsed.device);
    VerboseProgress progress(r, args.verbose);
    const auto findings =
        device::zeltnvm_invoke_device_health_check(parsed.context->host, *parsed.device, progress);
    if (!findings.ok()) {
        const int32_t rc = findings.result().code();
        if (rc == device::kHealthNvmReadFailed) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Error: Device nvm read failed. Might be device is not in healthy state.\n");
            return rc;
        }
        if (rc == device::kHealthNvmWriteFailed) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Error: Device nvm write failed. Might be device is not in healthy state.\n");
            return rc;
        }
        return zeltnvm_display_error_msg(CMD_DEVICE_HEALTH_CHECK, rc);
    }
    r.data()["firmware_operational"] = findings->firmware_operational;
    r.data()["vpd_rewritten"] = findings->vpd_rewritten;
    if (findings->redundancy_status) {
        report_redundancy(r, *findings->redundancy_status, args.verbose);
    } else {
        r.data()["redundancy_status"] = nullptr;
    }
    r.data()["healthy"] = findings->healthy;
    r.text(ZELT_LOC_BOTH, "\n");
    if (findings->healthy) {
        r.text(ZELT_LOC_BOTH, "Device is in healthy state.\n");
    } else {
        r.text(ZELT_LOC_BOTH, "Device is not in healthy state.\n");
        if (!args.verbose)
            r.text(ZELT_LOC_BOTH,
                   "Please run the \"device_health_check\" command with verbose mode (-v) options to address the "
                   "issue.\n");
    }
    return 0;
}

}  // namespace

HealthCheckArgs HealthCheckArgs::from(const ScanOptions& scan, const ParsedCommand&) {
    return {.verbose = scan.verbosity != 0};
}

Report zeltnvm_device_health_check_command(ParsedCommand& parsed, const HealthCheckArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(health_check(parsed, args, r));
}

}  // namespace zelt::cli
