// get_txfir and set_txfir run as programs against the default simulated host (zen0:
// a Kestra adapter with PAM4 signalling, zen2: an older one without). The simulated
// ports have four lanes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pf_features/feature_host.h"

namespace zelt::test {
namespace {

constexpr int kQcfg = 0x00BC;
constexpr int kCfg = 0x00BB;

std::string values_text(const std::vector<unsigned long>& v) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i)
        s += "TX FIR V" + std::to_string(i + 1) + "    : " + std::to_string(v[i]) + "\n";
    return s;
}

TEST(TxFirCommands, ChecksAndRefusals) {
    const FeatureHost original;
    const std::string kLaneMask = "Error: Invalid lane mask. Valid range is from 1 to 255\n";
    const std::string kValue = "Error: Invalid value. Valid range is from 0 to 4294967295\n";
    const std::string kType = "Error: Invalid value. Valid values are \"NRZ\" or \"PAM4\".\n";
    const std::string kNoPam4 = "Error: Invalid value. Hardware does not support \"PAM4\" argument.\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string output;  // standard output and error, in full
        int sent;            // TX FIR messages that reached the firmware
    } cases[] = {
        {"query of lane 0", {"-dev=zen0", "get_txfir", "NRZ", "0"}, 0, values_text({4, 56, 12, 0}), 1},
        {"query with a lower-case type", {"-dev=zen0", "get_txfir", "nrz", "0"}, 16, kType, 0},
        {"PAM4 query on an older adapter", {"-dev=zen2", "get_txfir", "PAM4", "0"}, 16, kNoPam4, 0},
        {"lane 256",
         {"-dev=zen0", "get_txfir", "NRZ", "256"},
         16,
         "Error: Invalid lane number. Valid range is from 0 to 255\n",
         0},
        {"lane with a letter",
         {"-dev=zen0", "get_txfir", "NRZ", "1a"},
         16,
         "Error: Invalid lane number. Valid range is from 0 to 255\n",
         0},
        {"lane the port lacks",
         {"-dev=zen0", "get_txfir", "PAM4", "7"},
         1,
         "Error: Failed to get TX FIR Settings. Please check the zeltnvm.log for more details.\n",
         1},
        {"query missing its lane",
         {"-dev=zen0", "get_txfir", "NRZ"},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm get_txfir -h\" for help.\n",
         0},
        {"set with mask 0", {"-dev=zen0", "set_txfir", "NRZ", "0", "1", "2", "3", "4"}, 16, kLaneMask, 0},
        {"set with mask 256", {"-dev=zen0", "set_txfir", "NRZ", "256", "1", "2", "3", "4"}, 16, kLaneMask, 0},
        {"set with a 33-bit value", {"-dev=zen0", "set_txfir", "NRZ", "1", "1", "2", "3", "4294967296"}, 16, kValue, 0},
        {"set with a value in exponent form",
         {"-dev=zen0", "set_txfir", "NRZ", "1", "1e3", "2", "3", "4"},
         16,
         kValue,
         0},
        {"set of PAM4 on an older adapter",
         {"-dev=zen2", "set_txfir", "PAM4", "1", "1", "2", "3", "4"},
         16,
         kNoPam4,
         0},
        {"set of a lane the port lacks",
         {"-dev=zen2", "set_txfir", "NRZ", "16", "1", "2", "3", "4"},
         1,
         "Error: Failed to configure TX FIR settings. Please check the zeltnvm.log for more details.\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{original});
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(host.requests(kQcfg) + host.requests(kCfg), c.sent);
    }
}

// Values set on the lanes of a mask are what a later process reads on those lanes
// only, for that signalling only; values above 2^31 stay unsigned.
TEST(TxFirCommands, SetThenGetAcrossProcesses) {
    const FeatureHost host;
    RunResult r = host.zeltnvm({"-dev=zen0", "set_txfir", "PAM4", "5", "1", "2", "3", "4294967295"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Command executed successfully.\n");
    struct Read {
        const char* type;
        const char* lane;
        std::vector<unsigned long> values;
    } reads[] = {
        {"PAM4", "0", {1, 2, 3, 4294967295ul}},
        {"PAM4", "2", {1, 2, 3, 4294967295ul}},
        {"PAM4", "1", {2, 48, 8, 2}},
        {"NRZ", "0", {4, 56, 12, 0}},
    };
    for (const Read& read : reads) {
        SCOPED_TRACE(std::string(read.type) + " lane " + read.lane);
        r = host.zeltnvm({"-dev=zen0", "get_txfir", read.type, read.lane});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, values_text(read.values));
    }
    // The other port of the adapter keeps its own values.
    r = host.zeltnvm({"-dev=zen1", "get_txfir", "PAM4", "0"});
    EXPECT_EQ(r.out, values_text({2, 48, 8, 2}));
}

}  // namespace
}  // namespace zelt::test
