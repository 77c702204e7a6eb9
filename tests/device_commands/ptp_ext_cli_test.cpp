// get_ptp_extended and set_ptp_extended run as programs against simulated hosts.
//
// The default host has zen0 and zen1 (type 8, two PFs of one adapter with the PTP
// clock, no active VFs) and zen2 (type 5).
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "sim/state/request_log.h"
#include "tests/support/simulated_host.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

// A host whose two PFs have two active VFs each (PF 0's first VF id is 128, PF 1's 132).
constexpr const char* kWithVfs = R"({"adapters": [{"device_type": 8, "ports": 2, "total_vfs": 4, "num_vfs": 2}]})";

size_t ptp_requests(const SimulatedHost& host) {
    size_t n = 0;
    for (const auto& r : zelt::sim::read_request_log(host.root())) {
        const int t = r.value("req_type", -1);
        n += (t == HWRM_FUNC_PTP_EXT_CFG || t == HWRM_FUNC_PTP_EXT_QCFG) ? 1 : 0;
    }
    return n;
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* output;  // standard output + error, in full
    bool sends;          // a PTP message reaches the firmware
};

void run_cases(const SimulatedHost& original, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SimulatedHost host(SimulatedHost::CopyOf{original});
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(ptp_requests(host) > 0, c.sends);
    }
}

constexpr const char* kOk = "Configured ptp extended params successfully.\n";

TEST(PtpExtendedCommand, SetChecks) {
    const SimulatedHost original;
    const char* syntax = "Error: Invalid syntax. Please run \"zeltnvm set_ptp_extended -h\" for help.\n";
    run_cases(original,
              {
                  {"primary PF", {"-dev=zen0", "set_ptp_extended", "primary_pf", "1"}, 0, kOk, true},
                  {"every setting but VFs",
                   {"-dev=zen0", "set_ptp_extended", "secondary_pf", "1", "secondary_mode", "pf_only", "failover_timer",
                    "4294967295"},
                   0, kOk, true},
                  {"no parameters", {"-dev=zen0", "set_ptp_extended"}, 15, syntax, false},
                  {"a name without value", {"-dev=zen0", "set_ptp_extended", "primary_pf"}, 15, syntax, false},
                  {"unknown name", {"-dev=zen0", "set_ptp_extended", "primary", "0"}, 15, syntax, false},
                  {"name twice", {"-dev=zen0", "set_ptp_extended", "primary_pf", "0", "primary_pf", "1"}, 15, syntax,
                   false},
                  {"VF without its PF", {"-dev=zen0", "set_ptp_extended", "primary_vf", "0"}, 15, syntax, false},
                  {"PF and VF together",
                   {"-dev=zen0", "set_ptp_extended", "primary_pf", "0", "primary_vf_pf", "0", "primary_vf", "0"}, 15,
                   syntax, false},
                  {"PF out of range", {"-dev=zen0", "set_ptp_extended", "primary_pf", "2"}, 16,
                   "Value out of range for primary_pf. Valid range is from 0 to 1.\n", false},
                  {"PF not a number", {"-dev=zen0", "set_ptp_extended", "secondary_pf", "one"}, 16,
                   "Invalid input value for secondary_pf. Value must be an integer\n", false},
                  {"VF without SR-IOV",
                   {"-dev=zen0", "set_ptp_extended", "primary_vf_pf", "0", "primary_vf", "0"}, 16,
                   "Invalid configuration. Sriov vf's are not configured.\n", false},
                  {"bad mode", {"-dev=zen0", "set_ptp_extended", "secondary_mode", "any"}, 16,
                   "Invalid input value for secondary_mode. The valid values are \"switch\", \"all\", \"pf_only\".\n",
                   false},
                  {"timer beyond 32 bits", {"-dev=zen0", "set_ptp_extended", "failover_timer", "4294967296"}, 16,
                   "Value out of range for failover_timer. Valid range is from 0 to 4294967295.\n", false},
                  {"timer with a unit", {"-dev=zen0", "set_ptp_extended", "failover_timer", "10ms"}, 16,
                   "Invalid input value for failover_timer. Value must be an integer\n", false},
                  {"master and secondary the same",
                   {"-dev=zen0", "set_ptp_extended", "primary_pf", "1", "secondary_pf", "1"}, 2,
                   "Invalid configuration. Please check the zeltnvm.log file for more details.\n", true},
                  {"older adapter", {"-dev=zen2", "set_ptp_extended", "primary_pf", "0"}, 7,
                   "Configuring ptp extended params does not support on this hardware.\n", false},
                  {"query on an older adapter", {"-dev=zen2", "get_ptp_extended"}, 7,
                   "Query ptp extended params does not support on this hardware.\n", false},
              });
}

TEST(PtpExtendedCommand, VfChecks) {
    const SimulatedHost original(kWithVfs);
    run_cases(original,
              {
                  {"VF", {"-dev=zen0", "set_ptp_extended", "primary_vf_pf", "1", "primary_vf", "1"}, 0, kOk, true},
                  {"VF beyond the active ones",
                   {"-dev=zen0", "set_ptp_extended", "secondary_vf_pf", "0", "secondary_vf", "2"}, 16,
                   "Invalid configuration. Given secondary_vf id 2 not configured. Available vf's are from 0 to 1.\n",
                   false},
                  {"VF of a PF out of range",
                   {"-dev=zen0", "set_ptp_extended", "secondary_vf_pf", "2", "secondary_vf", "0"}, 16,
                   "Value out of range for secondary_vf_pf. Valid range is from 0 to 1.\n", false},
              });
}

// Without the capability in the function query, or with a firmware that does not
// know the message, the set is refused with its own message.
TEST(PtpExtendedCommand, Refusals) {
    const SimulatedHost no_ptp(R"({"adapters": [{"device_type": 8, "ports": 1, "ptp": false}]})");
    RunResult r = no_ptp.zeltnvm({"-dev=zen0", "set_ptp_extended", "primary_pf", "0"});
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out + r.err, "Configuring ptp extended params does not support on this hardware.\n");
    r = no_ptp.zeltnvm({"-dev=zen0", "get_ptp_extended"});
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out + r.err, "Query ptp extended params does not support on this hardware.\n");

    for (const auto& [error_code, message] :
         {std::pair{"65535", "Configuring ptp extended params does not support by active firmware.\n"},
          std::pair{"1", "Failed to configure ptp extended params.\n"}}) {
        SCOPED_TRACE(error_code);
        const SimulatedHost host;
        host.fault({"hwrm_error", "--req-type", std::to_string(HWRM_FUNC_PTP_EXT_CFG), "--error-code", error_code});
        r = host.zeltnvm({"-dev=zen0", "set_ptp_extended", "primary_pf", "1"});
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out + r.err, message);
    }
}

// A set seen by a later query from another process, functions decoded back to PF
// and VF numbers; the move of the clock is the last take-over.
TEST(PtpExtendedCommand, SetThenQueryAcrossRuns) {
    const SimulatedHost host(kWithVfs);
    RunResult r = host.zeltnvm({"-dev=zen0", "get_ptp_extended"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "PHC Master Function                        : 0\n"
              "PHC Secondary Function                     : N/A\n"
              "Last Non-Primary/Secondary Function        : N/A\n"
              "Second Last Non-Primary/Secondary Function : N/A\n"
              "Failover From Function                     : N/A\n"
              "Failover To Function                       : N/A\n"
              "Failover Timestamp                         : N/A\n");
    r = host.zeltnvm({"-dev=zen0", "set_ptp_extended", "primary_pf", "1", "secondary_vf_pf", "0", "secondary_vf", "1",
                      "secondary_mode", "all", "failover_timer", "500"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = host.zeltnvm({"-dev=zen1", "get_ptp_extended"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::regex expected(
        "PHC Master Function                        : 1\n"
        "PHC Secondary Function                     : 1 \\(Belongs to PF 0\\)\n"
        "Last Non-Primary/Secondary Function        : 0\n"
        "Second Last Non-Primary/Secondary Function : N/A\n"
        "Failover From Function                     : 0\n"
        "Failover To Function                       : 1\n"
        "Failover Timestamp                         : [A-Z][a-z]{2} \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\S+\n");
    EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}

}  // namespace
}  // namespace zelt::test
