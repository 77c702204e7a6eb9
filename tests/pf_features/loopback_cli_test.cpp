// loopback run as a program against a simulated host.
//
// adapter0 (zen0, zen1: one per port) can take every loopback mode; adapter1 (zen2,
// zen3) none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pf_features/feature_host.h"

namespace {

using zelt::test::FeatureHost;
using zelt::test::RunResult;

constexpr const char* kHost = R"({"adapters": [
    {"device_type": 8, "ports": 2},
    {"device_type": 5, "ports": 2, "loopback": false}]})";

constexpr int kMacCfg = 0x0025;
constexpr int kPhyCfg = 0x0024;
constexpr int kPhyQcaps = 0x002A;

class LoopbackCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() { base_ = new FeatureHost(kHost); }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }
    static FeatureHost* base_;
};
FeatureHost* LoopbackCommand::base_ = nullptr;

TEST_F(LoopbackCommand, ChecksAndRefusals) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        const char* message;  // part of the output (either stream)
        int cfg_sent;         // port configuration messages that reached the firmware
    } cases[] = {
        {"query with nothing set", {"-dev=zen0", "loopback"}, {}, 0, "Configured LoopBack Mode : N/A\n", 0},
        {"unknown mode", {"-dev=zen0", "loopback", "phy_far"}, {}, 255,
         "Error: Invalid syntax. Please run \"zeltnvm loopback -h\" for help.\n", 0},
        {"too many words", {"-dev=zen0", "loopback", "mac_local", "now"}, {}, 255, "Invalid syntax", 0},
        {"adapter without the mode", {"-dev=zen2", "loopback", "phy_local"}, {}, 2,
         "phy_local is not supported to configure on this adapter.\n", 0},
        {"firmware refuses the change", {"-dev=zen0", "loopback", "external"},
         {"hwrm_error", "--req-type", "36", "--error-code", "2"}, 1, "Failed to execute external loopback mode\n", 1},
        {"capability query fails", {"-dev=zen0", "loopback", "external"},
         {"hwrm_error", "--req-type", "42", "--error-code", "2"}, 2,
         "external is not supported to configure on this adapter.\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{*base_});
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << r.out << r.err;
        EXPECT_EQ(host.requests(kMacCfg), c.cfg_sent == 0 ? 0 : 1);
        if (c.status == 255) {
            EXPECT_EQ(host.requests(kPhyQcaps), 0);
        }
    }
}

// Each mode set is what a later process reads back on that port only; disable clears
// it.
TEST_F(LoopbackCommand, SetThenQueryAcrossProcesses) {
    FeatureHost host(FeatureHost::CopyOf{*base_});
    for (const char* mode : {"phy_remote", "phy_local", "mac_local", "external"}) {
        SCOPED_TRACE(mode);
        RunResult r = host.zeltnvm({"-dev=zen0", "loopback", mode});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out, "Command Executed Successfully\n");
        r = host.zeltnvm({"-dev=zen0", "loopback"});
        EXPECT_EQ(r.out, std::string("Configured LoopBack Mode : ") + mode + "\n");
        r = host.zeltnvm({"-dev=zen1", "loopback"});
        EXPECT_EQ(r.out, "Configured LoopBack Mode : N/A\n");
    }
    RunResult r = host.zeltnvm({"-dev=zen0", "loopback", "disable"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = host.zeltnvm({"-dev=zen0", "loopback"});
    EXPECT_EQ(r.out, "Configured LoopBack Mode : N/A\n");
    EXPECT_EQ(host.requests(kPhyCfg), 5);
}

}  // namespace
