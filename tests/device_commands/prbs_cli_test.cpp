// prbs_test run as a program against the default simulated host (zen0: a Kestra
// adapter, eight lanes per port at most; zen2: an older one, four). The simulated
// ports have four lanes and run one test at a time on the virtual clock.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/pf_features/feature_host.h"

namespace zelt::test {
namespace {

constexpr int kPrbs = 0x00D5;
const std::string kStarted = "PRBS Test started with PRBS31.\n";
const std::string kSyntax = "Error: Invalid syntax. Please run \"zeltnvm prbs_test -h\" for help.\n";

TEST(PrbsTestCommand, ChecksAndRefusals) {
    const FeatureHost original;
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after -dev=
        const char* dev;
        int status;
        std::string output;  // standard output and error, in full
        int sent;            // PRBS messages that reached the firmware
    } cases[] = {
        {"enable with the defaults", {"enable"}, "zen0", 0, kStarted, 1},
        {"disable", {"disable"}, "zen2", 0, "PRBS Test stopped.\n", 1},
        {"every parameter",
         {"enable", "tx_lane_mask", "3", "prbs_mode", "PRBS7", "rx_lane_mask", "1"},
         "zen0",
         0,
         "PRBS Test started with PRBS7.\n",
         1},
        {"unknown mode",
         {"enable", "prbs_mode", "PRBS8"},
         "zen0",
         16,
         "Invalid prbs mode. Please run help for valid PRBS modes.\n",
         0},
        {"rx mask beyond eight lanes",
         {"enable", "rx_lane_mask", "256"},
         "zen0",
         16,
         "Invalid rx lane mask provided. Valid range is from 0 to 255\n",
         0},
        {"mask in hexadecimal",
         {"enable", "tx_lane_mask", "0x3"},
         "zen0",
         16,
         "Invalid tx lane mask provided. Valid range is from 0 to 255\n",
         0},
        {"tx mask beyond four lanes",
         {"enable", "tx_lane_mask", "16"},
         "zen2",
         16,
         "Invalid tx lane mask provided. Valid range is from 0 to 15\n",
         0},
        {"duration with a unit",
         {"enable", "duration", "5s"},
         "zen0",
         16,
         "Invalid duration provided. The duration value should be in seconds\n",
         0},
        {"duration 0",
         {"enable", "duration", "0"},
         "zen0",
         16,
         "Invalid duration provided. The duration value should be in seconds\n",
         0},
        {"unknown parameter", {"enable", "speed", "10"}, "zen0", 255, kSyntax, 0},
        {"parameter without a value", {"enable", "prbs_mode"}, "zen0", 255, kSyntax, 0},
        {"parameter given twice", {"enable", "duration", "1", "duration", "2"}, "zen0", 255, kSyntax, 0},
        {"disable with a parameter", {"disable", "duration", "1"}, "zen0", 255, kSyntax, 0},
        {"neither enable nor disable", {"start"}, "zen0", 255, kSyntax, 0},
        {"mode the hardware lacks",
         {"enable", "prbs_mode", "PRBS58"},
         "zen2",
         255,
         "Command not support on this Hardware.\n",
         1},
        {"lanes the port lacks",
         {"enable", "rx_lane_mask", "16"},
         "zen0",
         2,
         "PRBS Test Failed with status = 2\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{original});
        std::vector<std::string> argv = {std::string("-dev=") + c.dev, "prbs_test"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const RunResult r = host.zeltnvm(argv);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(host.requests(kPrbs), c.sent);
    }
}

// A test without a duration runs on until it is stopped, so a second one is refused
// meanwhile; a test with a duration is stopped by the command once the (virtual) time
// has passed, and by an interrupted run at once.
TEST(PrbsTestCommand, RunningTestsAcrossProcesses) {
    {
        const FeatureHost host;
        EXPECT_EQ(host.zeltnvm({"-dev=zen0", "prbs_test", "enable"}).out, kStarted);
        RunResult r = host.zeltnvm({"-dev=zen0", "prbs_test", "enable"});
        EXPECT_EQ(r.status, 16);
        EXPECT_EQ(r.out + r.err,
                  "Firmware is unable to service the request at the present time. Please retry the command.\n");
        // The other port runs its own test.
        EXPECT_EQ(host.zeltnvm({"-dev=zen1", "prbs_test", "enable"}).status, 0);
        EXPECT_EQ(host.zeltnvm({"-dev=zen0", "prbs_test", "disable"}).status, 0);
        EXPECT_EQ(host.zeltnvm({"-dev=zen0", "prbs_test", "enable"}).status, 0);
    }
    {
        const FeatureHost host;
        const RunResult r = host.zeltnvm({"-dev=zen0", "prbs_test", "enable", "duration", "3"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, kStarted + "\nStopping PRBS Test....\nPRBS Test stopped.\n");
        EXPECT_EQ(host.requests(kPrbs), 2);
        EXPECT_EQ(host.zeltnvm({"-dev=zen0", "prbs_test", "enable"}).status, 0);
    }
    {
        const FeatureHost host;
        host.fault({"signal", "--signal", std::to_string(SIGINT), "--req-type", std::to_string(kPrbs), "--nth", "1"});
        const RunResult r = host.zeltnvm({"-dev=zen0", "prbs_test", "enable", "duration", "3600"});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out, kStarted + "\nStopping PRBS Test....\nPRBS Test stopped.\n");
        EXPECT_EQ(host.requests(kPrbs), 2);
        EXPECT_EQ(host.zeltnvm({"-dev=zen0", "prbs_test", "enable"}).status, 0);
    }
}

}  // namespace
}  // namespace zelt::test
