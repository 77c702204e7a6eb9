// get_sync_ethernet and set_sync_ethernet run as programs against simulated hosts.
//
// The default host has zen0 (type 8, with synchronous Ethernet) and zen2 (type 5).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/state/request_log.h"
#include "tests/support/simulated_host.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

size_t synce_requests(const SimulatedHost& host) {
    size_t n = 0;
    for (const auto& r : zelt::sim::read_request_log(host.root())) {
        const int t = r.value("req_type", -1);
        n += (t == HWRM_FUNC_SYNCE_CFG || t == HWRM_FUNC_SYNCE_QCFG) ? 1 : 0;
    }
    return n;
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* output;  // standard output + error, in full
    bool sends;          // a SyncE message reaches the firmware
};

constexpr const char* kOk = "Configured synchronous ethernet parameters successfully.\n";
constexpr const char* kNotHere = "Synchronous ethernet does not support on this hardware.\n";

TEST(SyncEthernetCommand, Cases) {
    const SimulatedHost original;
    const char* syntax =
        "Invalid syntax. Please check the \"zeltnvm -dev=<interface name> set_sync_ethernet -h\" for valid syntax.\n";
    const std::vector<Case> cases = {
        {"query", {"-dev=zen0", "get_sync_ethernet"}, 0,
         "Frequency Profile         : N/A\n"
         "Primary clock state       : Disabled\n"
         "Secondary clock state     : Disabled\n",
         true},
        {"profile and clock", {"-dev=zen0", "set_sync_ethernet", "frequency_profile", "25MHz", "primary_clock_state",
                               "Enable"},
         0, kOk, true},
        {"clock without a profile", {"-dev=zen0", "set_sync_ethernet", "primary_clock_state", "Enable"}, 16,
         "Invalid configuration. Please make sure SyncE frequency_profile is configured to valid profile before "
         "configuring primary_clock_state\n",
         true},
        {"bad profile", {"-dev=zen0", "set_sync_ethernet", "frequency_profile", "10MHz"}, 16,
         "Invalid input value for frequency_profile. The valid values are \"25MHz\".\n", false},
        {"bad clock state", {"-dev=zen0", "set_sync_ethernet", "frequency_profile", "25MHz", "secondary_clock_state",
                             "enable"},
         16, "Invalid input value for secondary_clock_state. The valid values are \"Enable\" or \"Disable\".\n", false},
        {"no parameters", {"-dev=zen0", "set_sync_ethernet"}, 15, syntax, false},
        {"odd words", {"-dev=zen0", "set_sync_ethernet", "frequency_profile"}, 15, syntax, false},
        {"unknown name", {"-dev=zen0", "set_sync_ethernet", "profile", "25MHz"}, 15, syntax, false},
        {"set on an older adapter", {"-dev=zen2", "set_sync_ethernet", "frequency_profile", "25MHz"}, 7, kNotHere,
         false},
        {"query on an older adapter", {"-dev=zen2", "get_sync_ethernet"}, 7, kNotHere, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SimulatedHost host(SimulatedHost::CopyOf{original});
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(synce_requests(host) > 0, c.sends);
    }
}

TEST(SyncEthernetCommand, Refusals) {
    const SimulatedHost no_synce(R"({"adapters": [{"device_type": 8, "ports": 1, "synce": false}]})");
    RunResult r = no_synce.zeltnvm({"-dev=zen0", "set_sync_ethernet", "frequency_profile", "25MHz"});
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out + r.err, kNotHere);

    for (const auto& [error_code, message] :
         {std::pair{"65535", "Configuring synchronous ethernet parameters does not support by active firmware.\n"},
          std::pair{"1", "Failed to configure synchronous ethernet parameters.\n"}}) {
        SCOPED_TRACE(error_code);
        const SimulatedHost host;
        host.fault({"hwrm_error", "--req-type", std::to_string(HWRM_FUNC_SYNCE_CFG), "--error-code", error_code});
        r = host.zeltnvm({"-dev=zen0", "set_sync_ethernet", "frequency_profile", "25MHz"});
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out + r.err, message);
    }
}

// The profile set by one run lets a later run enable a clock alone; a query from
// another function of the adapter shows both.
TEST(SyncEthernetCommand, ConfigurationAcrossRuns) {
    const SimulatedHost host;
    ASSERT_EQ(host.zeltnvm({"-dev=zen0", "set_sync_ethernet", "frequency_profile", "25MHz"}).status, 0);
    RunResult r = host.zeltnvm({"-dev=zen0", "set_sync_ethernet", "secondary_clock_state", "Enable"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, kOk);
    r = host.zeltnvm({"-dev=zen1", "get_sync_ethernet"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Frequency Profile         : 25MHz\n"
              "Primary clock state       : Disabled\n"
              "Secondary clock state     : Enabled\n");
}

}  // namespace
}  // namespace zelt::test
