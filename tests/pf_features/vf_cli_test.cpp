// vf <index> trust [enable/disable] run as a program against a simulated host.
//
// adapter0 (zen0, zen1) can mark VFs trusted and has two active VFs on each PF;
// adapter1 (zen2, zen3) has VFs but firmware without trusted VFs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pf_features/feature_host.h"

namespace {

using zelt::test::FeatureHost;
using zelt::test::RunResult;

constexpr const char* kHost = R"({"adapters": [
    {"device_type": 8, "ports": 2, "total_vfs": 8, "num_vfs": 2},
    {"device_type": 8, "ports": 2, "total_vfs": 8, "num_vfs": 2, "trusted_vf": false}]})";

constexpr int kFuncCfg = 0x001A;
constexpr int kVerGet = 0x0000;

class VfCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() { base_ = new FeatureHost(kHost); }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }
    static FeatureHost* base_;
};
FeatureHost* VfCommand::base_ = nullptr;

TEST_F(VfCommand, ChecksAndRefusals) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        const char* out;   // expected standard output ("" when not checked)
        const char* err;   // part of the messages (either stream)
        bool sends;        // the command reaches the firmware
    } cases[] = {
        {"query", {"-dev=zen0", "vf", "1", "trust"}, {}, 0, "Trusted VF : Disabled\n", "", true},
        // The last index passes the tool's check and reaches the firmware, which has no such VF.
        {"index 127, the last", {"-dev=zen0", "vf", "127", "trust"}, {}, 1, "", "Trusted VF's not configured.", true},
        {"index above 127", {"-dev=zen0", "vf", "128", "trust", "enable"}, {}, 8, "",
         "Given VF index is invalid. Valid range is from 0 to 127.\nError: Failed to Execute Command.\n", false},
        {"index not a number", {"-dev=zen0", "vf", "1a", "trust"}, {}, 8, "",
         "Given VF index is invalid. Valid range is from 0 to 127.\n", false},
        {"bad value", {"-dev=zen0", "vf", "1", "trust", "maybe"}, {}, 16, "",
         "Error: Invalid value. Valid values are \"enable\" or \"disable\".\n", false},
        {"not trust", {"-dev=zen0", "vf", "1", "trusted"}, {}, 255, "", "Invalid syntax", false},
        {"VF not active", {"-dev=zen0", "vf", "5", "trust"}, {}, 1, "",
         "Trusted VF's not configured.\nError: Failed to Execute Command.\n", true},
        {"hardware without trusted VFs", {"-dev=zen2", "vf", "0", "trust", "enable"}, {}, 2, "",
         "Trusted VF is not supported on this Hardware.\nError: Failed to Execute Command.\n", true},
        {"firmware refuses the change", {"-dev=zen0", "vf", "0", "trust", "enable"},
         {"hwrm_error", "--req-type", "26", "--error-code", "2"}, 1, "",
         "Trusted VF's not configured.\nError: Failed to Execute Command.\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{*base_});
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        if (*c.out) {
            EXPECT_EQ(r.out, c.out);
        }
        EXPECT_NE((r.out + r.err).find(c.err), std::string::npos) << r.out << r.err;
        // Nothing of the command is sent when an argument is refused: not even the
        // capability query.
        if (!c.sends) {
            EXPECT_EQ(host.requests(kVerGet), 0);
        }
        if (c.status != 0 || !c.sends) {
            EXPECT_EQ(host.requests(kFuncCfg), c.fault.empty() ? 0 : 1);
        }
    }
}

// A change is seen by later processes, a repeat is not sent again, and each VF keeps
// its own flag.
TEST_F(VfCommand, SetThenQueryAcrossProcesses) {
    FeatureHost host(FeatureHost::CopyOf{*base_});
    struct Step {
        std::vector<std::string> args;
        const char* out;
        int cfg_sent;  // hwrm_func_cfg messages sent so far
    } steps[] = {
        {{"-dev=zen0", "vf", "1", "trust", "enable"}, "Trusted VF : Enabled\n", 1},
        {{"-dev=zen0", "vf", "1", "trust"}, "Trusted VF : Enabled\n", 1},
        {{"-dev=zen0", "vf", "0", "trust"}, "Trusted VF : Disabled\n", 1},
        {{"-dev=zen1", "vf", "1", "trust"}, "Trusted VF : Disabled\n", 1},
        {{"-dev=zen0", "vf", "1", "trust", "enable"}, "Given value already configured\n", 1},
        {{"-dev=zen0", "vf", "1", "trust", "disable"}, "Trusted VF : Disabled\n", 2},
        {{"-dev=zen0", "vf", "1", "trust"}, "Trusted VF : Disabled\n", 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.args[1] + " " + s.args[2] + " " + s.args.back());
        const RunResult r = host.zeltnvm(s.args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out, s.out);
        EXPECT_EQ(host.requests(kFuncCfg), s.cfg_sent);
    }
}

}  // namespace
