// tsio_function_pin, duty_cycle and dll_source run as programs against simulated
// hosts.
//
// The default host has zen0 (type 8, with the PTP clock and SyncE) and zen2 (type 5,
// without).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/state/request_log.h"
#include "tests/support/simulated_host.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

// Pin and clock messages the firmware received.
size_t tsio_requests(const SimulatedHost& host) {
    size_t n = 0;
    for (const auto& r : zelt::sim::read_request_log(host.root())) {
        const int t = r.value("req_type", -1);
        n += (t == HWRM_FUNC_PTP_PIN_QCFG || t == HWRM_FUNC_PTP_PIN_CFG || t == HWRM_FUNC_PTP_CFG) ? 1 : 0;
    }
    return n;
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* output;  // standard output + error, in full
    bool sends;          // a pin or clock message reaches the firmware
};

void run_cases(const SimulatedHost& original, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SimulatedHost host(SimulatedHost::CopyOf{original});
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(tsio_requests(host) > 0, c.sends);
    }
}

constexpr const char* kDisabledPins =
    "pin    state        usage  \n"
    "===========================\n"
    "0      Disabled     none   \n"
    "1      Disabled     none   \n"
    "2      Disabled     none   \n"
    "3      Disabled     none   \n";

TEST(TsioCommands, FunctionPin) {
    const SimulatedHost original;
    const char* bad_usage =
        "Invalid pin usage strings. Valid values are \"none\", \"pps_in\", \"pps_out\", \"sync_in\", \"sync_out\", "
        "\"synce_primary_clock_out\"and \"synce_secondary_clock_out\"\n";
    run_cases(original,
              {
                  {"query", {"-dev=zen0", "tsio_function_pin"}, 0, kDisabledPins, true},
                  {"set", {"-dev=zen0", "tsio_function_pin", "1", "enable", "pps_out"}, 0,
                   "Command executed successfully.\n", true},
                  {"SyncE clock on pin 3", {"-dev=zen0", "tsio_function_pin", "3", "enable", "synce_secondary_clock_out"},
                   0, "Command executed successfully.\n", true},
                  {"pin 4", {"-dev=zen0", "tsio_function_pin", "4", "enable", "none"}, 16,
                   "Invalid pin index value. Valid values are from 0 to 3.\n", false},
                  {"signed pin", {"-dev=zen0", "tsio_function_pin", "+1", "enable", "none"}, 16,
                   "Invalid pin index value. Valid values are from 0 to 3.\n", false},
                  {"bad state", {"-dev=zen0", "tsio_function_pin", "1", "Enable", "none"}, 16,
                   "Invalid pin state value. Valid values are enable/disable.\n", false},
                  {"bad usage", {"-dev=zen0", "tsio_function_pin", "1", "enable", "pps"}, 16, bad_usage, false},
                  {"SyncE clock on pin 1",
                   {"-dev=zen0", "tsio_function_pin", "1", "enable", "synce_primary_clock_out"}, 16,
                   "Invalid pin usage string for pin index 1. \"synce_primary_clock_out\" is supported for pin index 2 "
                   "and 3.\n",
                   false},
                  {"two words", {"-dev=zen0", "tsio_function_pin", "1", "enable"}, 15,
                   "Error: Invalid syntax. Please run \"zeltnvm tsio_function_pin -h\" for help.\n", false},
                  {"older adapter", {"-dev=zen2", "tsio_function_pin"}, 7,
                   "Command \"tsio_function_pin\" doesn't support on this hardware\n", false},
              });
}

// A firmware without the SyncE clocks refuses them before anything is set; its query
// failing is its own message.
TEST(TsioCommands, FunctionPinFirmwareRefusals) {
    const SimulatedHost no_synce(R"({"adapters": [{"device_type": 8, "ports": 1, "synce": false}]})");
    RunResult r = no_synce.zeltnvm({"-dev=zen0", "tsio_function_pin", "2", "enable", "synce_primary_clock_out"});
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out + r.err, "Configuring \"synce_primary_clock_out\" is not supported by the firmware.\n");

    const SimulatedHost host;
    host.fault({"hwrm_error", "--req-type", std::to_string(HWRM_FUNC_PTP_PIN_QCFG), "--error-code", "2"});
    r = host.zeltnvm({"-dev=zen0", "tsio_function_pin"});
    EXPECT_EQ(r.status, 61);
    EXPECT_EQ(r.out + r.err, "Failed to query tsio function pin.\n");
    // The set alone does not ask for the pins.
    host.fault({"hwrm_error", "--req-type", std::to_string(HWRM_FUNC_PTP_PIN_CFG), "--error-code", "2"});
    r = host.zeltnvm({"-dev=zen0", "tsio_function_pin", "0", "enable", "pps_in"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out + r.err, "Failed to configure tsio function pin.\n");
}

// Pins set by separate runs show up in a later query.
TEST(TsioCommands, PinTableAcrossRuns) {
    const SimulatedHost host;
    ASSERT_EQ(host.zeltnvm({"-dev=zen0", "tsio_function_pin", "0", "enable", "pps_in"}).status, 0);
    ASSERT_EQ(host.zeltnvm({"-dev=zen0", "tsio_function_pin", "2", "enable", "synce_primary_clock_out"}).status, 0);
    ASSERT_EQ(host.zeltnvm({"-dev=zen0", "tsio_function_pin", "0", "disable", "sync_in"}).status, 0);
    const RunResult r = host.zeltnvm({"-dev=zen1", "tsio_function_pin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "pin    state        usage  \n"
              "===========================\n"
              "0      Disabled     sync_in\n"
              "1      Disabled     none   \n"
              "2      Enabled      synce_primary_clock_out\n"
              "3      Disabled     none   \n");
}

TEST(TsioCommands, DutyCycleAndDllSource) {
    const SimulatedHost original;
    const char* ok = "Command executed successfully.\n";
    const char* bad_period = "Invalid period value. Value must be an integer and units should be in nanoseconds.\n";
    const char* bad_up = "Invalid \"up\" value. Value must be an integer and units should be in nanoseconds.\n";
    const char* bad_source = "Invalid source value. Value must be an integer and the valid range is from 0 to 4.\n";
    const char* bad_frequency =
        "Invalid frequence value. Value must be an integer and the valid range is from 0 to 3.\n";
    run_cases(original,
              {
                  {"duty cycle", {"-dev=zen0", "duty_cycle", "period", "1000", "up", "400"}, 0, ok, true},
                  {"period equal to up", {"-dev=zen0", "duty_cycle", "period", "500", "up", "500"}, 0, ok, true},
                  {"names in the other order", {"-dev=zen0", "duty_cycle", "up", "1", "period", "2"}, 0, ok, true},
                  {"period below up", {"-dev=zen0", "duty_cycle", "period", "499", "up", "500"}, 16,
                   "Invalid configuration. \"Period\" value will be larger than \"Up\" value.\n", false},
                  {"period not a number", {"-dev=zen0", "duty_cycle", "period", "1ms", "up", "5"}, 16, bad_period,
                   false},
                  {"period beyond 32 bits", {"-dev=zen0", "duty_cycle", "period", "4294967296", "up", "5"}, 16,
                   bad_period, false},
                  {"up with a unit", {"-dev=zen0", "duty_cycle", "period", "10", "up", "5ns"}, 16, bad_up, false},
                  {"unknown name", {"-dev=zen0", "duty_cycle", "period", "10", "down", "5"}, 15,
                   "Error: Invalid syntax. Please run \"zeltnvm duty_cycle -h\" for help.\n", false},
                  {"duty cycle on an older adapter", {"-dev=zen2", "duty_cycle", "period", "10", "up", "5"}, 7,
                   "Command \"duty_cycle\" doesn't support on this hardware\n", false},
                  {"dll source", {"-dev=zen0", "dll_source", "source", "4", "frequency", "3"}, 0, ok, true},
                  {"source 5", {"-dev=zen0", "dll_source", "source", "5", "frequency", "0"}, 16, bad_source, false},
                  {"frequency 4", {"-dev=zen0", "dll_source", "source", "0", "frequency", "4"}, 16, bad_frequency,
                   false},
                  {"frequency in hex", {"-dev=zen0", "dll_source", "source", "0", "frequency", "0x1"}, 16,
                   bad_frequency, false},
                  {"source given twice", {"-dev=zen0", "dll_source", "source", "0", "source", "1"}, 15,
                   "Error: Invalid syntax. Please run \"zeltnvm dll_source -h\" for help.\n", false},
                  {"dll source on an older adapter", {"-dev=zen2", "dll_source", "source", "0", "frequency", "0"}, 7,
                   "Command \"dll_source\" doesn't support on this hardware\n", false},
              });
}

TEST(TsioCommands, ClockFirmwareRefusal) {
    const SimulatedHost host(R"({"adapters": [{"device_type": 8, "ports": 1, "ptp": false}]})");
    RunResult r = host.zeltnvm({"-dev=zen0", "duty_cycle", "period", "10", "up", "5"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out + r.err, "Failed to configure duty cycle on tsio outgoing signal.\n");
    r = host.zeltnvm({"-dev=zen0", "dll_source", "source", "1", "frequency", "1"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out + r.err, "Failed to configure dll source for PHC.\n");
}

}  // namespace
}  // namespace zelt::test
