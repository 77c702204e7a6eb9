#include "cli/device_commands/prbs_command.h"

#include <array>
#include <optional>

#include "cli/command_registry.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "common/hvxretval.h"
#include "device/features/prbs.h"
#include "host/interrupt.h"
#include "wire/hwrm_prbs.h"

namespace zelt::cli {

namespace {

using report::Report;

struct PrbsMode {
    const char* word;
    uint8_t poly;
};
constexpr std::array<PrbsMode, 7> kModes{{
    {"PRBS31", HWRM_PORT_PRBS_POLY_PRBS31},
    {"PRBS7", HWRM_PORT_PRBS_POLY_PRBS7},
    {"PRBS9", HWRM_PORT_PRBS_POLY_PRBS9},
    {"PRBS11", HWRM_PORT_PRBS_POLY_PRBS11},
    {"PRBS15", HWRM_PORT_PRBS_POLY_PRBS15},
    {"PRBS23", HWRM_PORT_PRBS_POLY_PRBS23},
    {"PRBS58", HWRM_PORT_PRBS_POLY_PRBS58},
}};

// The firmware's answers the command names.
constexpr int kFirmwareBusy = 16;
constexpr int kFirmwareUnsupported = 0xFFFF;
constexpr int kInterrupted = 1;
constexpr uint64_t kMaxDuration = 65535;
constexpr unsigned kPollMs = 250;

// Lanes a port of the family can have: the masks may not name more.
unsigned lane_count(const device::InventoryFunction& dev) { return feature::on_newest_family(dev) ? 8 : 4; }

struct PrbsRequest {
    device::PrbsTest test;
    const char* mode = "PRBS31";
    unsigned duration_s = 0;  // 0: none
};

// The request the words make, checked against the device; nullopt with `*status` set
// (-1 for a syntax error, which is printed) when they make none.
std::optional<PrbsRequest> parse(const ParsedCommand& parsed, const std::vector<std::string>& w,
                                 const device::InventoryFunction& dev, int* status) {
    auto syntax = [&]() {
        zeltnvm_print_syntax_error(parsed.command);
        *status = -1;
        return std::nullopt;
    };
    PrbsRequest req;
    req.test.poly = HWRM_PORT_PRBS_POLY_PRBS31;
    if (w.empty() || (w[0] != "enable" && w[0] != "disable")) return syntax();
    req.test.enable = w[0] == "enable";
    if (!req.test.enable) {
        if (w.size() != 1) return syntax();
        return req;
    }
    if (w.size() % 2 != 1) return syntax();
    const uint64_t max_mask = (1u << lane_count(dev)) - 1;
    bool seen[4] = {false, false, false, false};
    for (std::size_t i = 1; i < w.size(); i += 2) {
        const std::string& name = w[i];
        const std::string& value = w[i + 1];
        constexpr std::array<const char*, 4> kNames = {"prbs_mode", "rx_lane_mask", "tx_lane_mask", "duration"};
        int which = -1;
        for (std::size_t n = 0; n < kNames.size(); ++n)
            if (name == kNames[n]) which = static_cast<int>(n);
        if (which < 0 || seen[which]) return syntax();
        seen[which] = true;
        switch (which) {
            case 0: {
                const PrbsMode* found = nullptr;
                for (const PrbsMode& m : kModes)
                    if (value == m.word) found = &m;
                if (!found) {
                    *status = argument_error("Invalid prbs mode. Please run help for valid PRBS modes.\n");
                    return std::nullopt;
                }
                req.test.poly = found->poly;
                req.mode = found->word;
                break;
            }
            case 1:
            case 2: {
                const auto mask = decimal_arg(value, max_mask);
                if (!mask) {
                    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                                  which == 1 ? "Invalid rx lane mask provided. Valid range is from 0 to %u\n"
                                             : "Invalid tx lane mask provided. Valid range is from 0 to %u\n",
                                  static_cast<unsigned>(max_mask));
                    *status = kResultInvalidArgument;
                    return std::nullopt;
                }
                (which == 1 ? req.test.rx_lane_mask : req.test.tx_lane_mask) = static_cast<uint16_t>(*mask);
                break;
            }
            default: {
                const auto seconds = decimal_arg(value, kMaxDuration);
                if (!seconds || *seconds == 0) {
                    *status = argument_error("Invalid duration provided. The duration value should be in seconds\n");
                    return std::nullopt;
                }
                req.duration_s = static_cast<unsigned>(*seconds);
                req.test.timeout_s = static_cast<uint16_t>(*seconds);
            }
        }
    }
    return req;
}

// The firmware's refusal as the command reports it.
int refused(const Result& rc) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "PRBS test request failed with status %d\n", rc.code());
    switch (rc.code()) {
        case kFirmwareBusy:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Firmware is unable to service the request at the present time. Please retry the command.\n");
            break;
        case kFirmwareUnsupported:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command not support on this Hardware.\n");
            break;
        default: zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "PRBS Test Failed with status = %d\n", rc.code());
    }
    return rc.code();
}

int prbs_test(ParsedCommand& parsed, const PrbsArgs& args, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    int status = 0;
    const auto req = parse(parsed, args.words, *dev, &status);
    if (!req) return status;
    const transport::Function& fn = dev->function;
    r.data()["enable"] = req->test.enable;
    if (!req->test.enable) {
        const Result rc = device::zelt_run_prbs_test(fn, req->test);
        if (!rc.ok()) return refused(rc);
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "PRBS Test stopped.\n");
        return 0;
    }
    r.data()["prbs_mode"] = req->mode;
    r.data()["rx_lane_mask"] = req->test.rx_lane_mask;
    r.data()["tx_lane_mask"] = req->test.tx_lane_mask;
    r.data()["duration"] = req->duration_s == 0 ? report::Json(nullptr) : report::Json(req->duration_s);
    // A timed test must not outlive an interrupted run: from its start this command acts
    // on a signal itself, by stopping the test before the run ends.
    if (req->duration_s != 0) host::stop_acting_on_interrupts();
    Result rc = device::zelt_run_prbs_test(fn, req->test);
    if (!rc.ok()) return refused(rc);
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "PRBS Test started with %s.\n", req->mode);
    if (req->duration_s == 0) return 0;

    host::Host& host = parsed.context->host;
    const struct timeval start = host.now();
    const auto elapsed_ms = [&]() {
        const struct timeval t = host.now();
        return (int64_t{t.tv_sec} - start.tv_sec) * 1000 + (int64_t{t.tv_usec} - start.tv_usec) / 1000;
    };
    bool interrupted = false;
    while (elapsed_ms() < int64_t{req->duration_s} * 1000) {
        if (host::pending_interrupt() != 0) {
            interrupted = true;
            break;
        }
        host.sleep_ms(kPollMs);
    }
    interrupted = interrupted || host::pending_interrupt() != 0;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nStopping PRBS Test....\n");
    device::PrbsTest stop = req->test;
    stop.enable = false;
    rc = device::zelt_run_prbs_test(fn, stop);
    r.data()["interrupted"] = interrupted;
    if (!rc.ok()) return refused(rc);
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "PRBS Test stopped.\n");
    return interrupted ? kInterrupted : 0;
}

}  // namespace

PrbsArgs PrbsArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    PrbsArgs args;
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

Report prbs_test_command(ParsedCommand& parsed, const PrbsArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(prbs_test(parsed, args, r));
}

}  // namespace zelt::cli
