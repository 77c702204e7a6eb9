// The reset command run as a program against simulated hosts.
//
// The default host has adapter0 (zen0, zen1: device type 8, whose reset counter is
// read through the configuration window) and adapter1 (zen2, zen3: device type 5,
// which cannot reset under running drivers and takes the plain reset).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunResult;
using zelt::test::run_program;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A type 8 adapter with two ports; `extra` adds fields to the adapter.
std::string kestra_host(const std::string& extra = "") {
    return R"({"adapters": [{"device_type": 8, "device_id": 38913, "ports": 2)" + extra + "}]}";
}

class Host : public zelt::test::SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // Firmware messages of number `req_type` the simulated drivers have received.
    int requests(int req_type) const {
        const std::string log = zelt::test::read_text_file(root() + "/sim/requests.log");
        const std::string key = "\"req_type\":" + std::to_string(req_type) + ",";
        int n = 0;
        for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) ++n;
        return n;
    }
    int resets() const { return requests(0x00C0); }
};

constexpr const char* kCompleted =
    "\nDevice Hot Reset Completed Successfully.\n"
    "States of NIC resources including rings, filters, and flows need to be reinstated.\n\n";
constexpr const char* kSyncFailed =
    "FW synchronization failed.\nPlease reboot the system for firmware synchronization to take effect\n";

// The type 8 adapter of the default host resets with every check and runs the newly
// installed firmware; the next command finds the firmware answering.
TEST(ResetCommand, KestraAdapterActivatesTheInstalledPackage) {
    Host host;
    RunResult r = run_program(
        {ZELT_PROGRAM("zeltpkg"), "example", "--version", "229.0.1.0", host.work_file("new.pkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = host.zeltnvm({"-dev=zen0", "-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    r = host.zeltnvm({"-dev=zen0", "reset"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, kCompleted)) << r.out;
    EXPECT_FALSE(contains(r.out, "Do you want to continue")) << r.out;
    EXPECT_EQ(host.resets(), 1);

    r = host.zeltnvm({"-dev=zen0", "pkgver"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Active Package version    : 229.0.1.0")) << r.out;
    EXPECT_EQ(r.err, "");
}

// After the reset is verified, the newest chips must have their firmware copies in
// step: a firmware status with unsynchronised bits asks for a synchronisation.
TEST(ResetCommand, KestraFirmwareSynchronisation) {
    struct Case {
        const char* name;
        const char* fw_status;           // adapter's firmware status word
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        int syncs;                       // synchronisation requests sent
    } cases[] = {
        {"in step", "0", {}, 0, 0},
        {"other status bits only", "8192", {}, 0, 0},
        {"synchronised", "2", {}, 0, 1},
        {"sync reports failure", "2", {"reset_fault", "--cmd-err", "5"}, 1, 1},
        {"sync message refused", "2048", {"hwrm_error", "--req-type", "0xC3", "--error-code", "1"}, 1, 1},
        {"health check refused", "0", {"hwrm_error", "--req-type", "0xC2", "--error-code", "1"}, 1, 0},
    };
    for (const Case& c : cases) {
        Host host(kestra_host(std::string(R"(, "fw_status": )") + c.fw_status));
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm({"-dev=zen0", "reset"});
        EXPECT_EQ(r.status, c.status) << c.name << r.out << r.err;
        // The reset itself went through either way.
        EXPECT_TRUE(contains(r.out, kCompleted)) << c.name << r.out;
        EXPECT_EQ(contains(r.out + r.err, kSyncFailed), c.status == 1) << c.name << r.out << r.err;
        EXPECT_EQ(host.requests(0x00C3), c.syncs) << c.name;
    }
}

// The firmware's own status can forbid a reset; nothing is reset then.
TEST(ResetCommand, PendingRebootOrFailedStatusQueryResetsNothing) {
    struct Case {
        const char* name;
        const char* extra;                 // adapter fields
        std::vector<std::string> fault;
        int status;
        const char* line;
    } cases[] = {
        {"reboot pending", R"(, "option_action_status": 2)", {}, 0,
         "System reboot is pending. Please reboot the system before resetting the device.\n"},
        {"cold boot pending", R"(, "option_action_status": 3)", {}, 0,
         "System cold boot is pending. Please cold boot the system before resetting the device.\n"},
        {"status query refused", "", {"hwrm_error", "--req-type", "0xC1", "--error-code", "1"}, 1,
         "\n\nDevice Hot Reset failed.\n\n"},
    };
    for (const Case& c : cases) {
        Host host(kestra_host(c.extra));
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm({"-dev=zen0", "reset"});
        EXPECT_EQ(r.status, c.status) << c.name << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.line)) << c.name << r.out << r.err;
        EXPECT_EQ(host.resets(), 0) << c.name;
    }
}

// A multi-host adapter serves other hosts too: the reset asks first unless -y is given.
TEST(ResetCommand, MultiHostAdapterAsksBeforeResetting) {
    struct Case {
        std::vector<std::string> args;
        const char* input;
        int status;
        bool asked;
        bool reset;
    } cases[] = {
        {{"-dev=zen0", "-y", "reset"}, "", 0, false, true},
        {{"-dev=zen0", "reset"}, "Y\n", 0, true, true},
        {{"-dev=zen0", "reset"}, "no\n", 0, true, false},
        {{"-dev=zen0", "reset"}, "N\n", 0, true, false},
        {{"-dev=zen0", "reset"}, "later\n", 1, true, false},
    };
    for (const Case& c : cases) {
        Host host(kestra_host(R"(, "multi_host": true)"));
        const RunResult r = host.zeltnvm(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << c.input << r.out << r.err;
        EXPECT_EQ(contains(r.out, "\nPerforming Device Reset on Multi Host Device\n"), c.asked) << c.input << r.out;
        EXPECT_EQ(contains(r.out, "\nDo you want to continue (Y/N)?"), c.asked) << c.input << r.out;
        EXPECT_EQ(contains(r.out, kCompleted), c.reset) << c.input << r.out;
        EXPECT_EQ(host.resets(), c.reset ? 1 : 0) << c.input;
        EXPECT_EQ(contains(r.out + r.err, "Invalid input value.\n"), c.status == 1) << c.input << r.err;
    }
}

// A firmware that reports no wait periods and does not come back: the reset waits the
// default 120 seconds of virtual time for it to answer, then gives up.
TEST(ResetCommand, FirmwareNeverBackWithoutWaitPeriodsGivesUpAfter120Seconds) {
    Host host;
    host.fault({"reset_fault", "--cmd-err", "4"});
    host.fault({"reset_fault", "--cmd-err", "1"});
    host.zeltnvm({"-dev=zen0", "devid"});  // the first run creates the configuration and no log
    const RunResult r = host.zeltnvm({"-dev=zen0", "reset"});
    EXPECT_EQ(r.status, 5) << r.out << r.err;
    EXPECT_TRUE(contains(r.out + r.err, "Manual system reboot is needed for reset to take effect.\n"));
    const std::string log = zelt::test::read_text_file(host.root() + "/var/log/zeltnvm.log");
    EXPECT_TRUE(contains(log, "Min wait = 0 Max bailout = 0")) << log;
    const std::string key = "VER_GET failed with status 0x";
    const size_t last = log.rfind(key);
    ASSERT_NE(last, std::string::npos) << log;
    const size_t at = log.find("elapsed time = ", last);
    ASSERT_NE(at, std::string::npos);
    // Each probe of a firmware that is down costs the driver's 12-second time-out.
    const double elapsed = std::stod(log.substr(at + 15));
    EXPECT_GT(elapsed, 120.0);
    EXPECT_LT(elapsed, 135.0);
}

// An adapter that cannot reset under running drivers gets the plain reset request.
// Once issued, the next command finds the firmware answering: the reset is complete by
// the time the administrator has reloaded the drivers.
TEST(ResetCommand, PlainReset) {
    struct Case {
        std::vector<std::string> fault;
        int status;
        const char* line;
    } cases[] = {
        {{}, 0, "Device reset issued successfully.\nPlease reload the Orvanta drivers for reset to take effect.\n"},
        {{"hwrm_error", "--req-type", "0xC0", "--error-code", "0xFFFF"}, 2,
         "Device reset is not supported by the hardware.\n"},
    };
    for (const Case& c : cases) {
        Host host;
        if (!c.fault.empty()) host.fault(c.fault);
        RunResult r = host.zeltnvm({"-dev=zen2", "reset"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.line)) << r.out << r.err;
        EXPECT_FALSE(contains(r.out, "Resetting the adapter.")) << r.out;
        r = host.zeltnvm({"-dev=zen2", "pkgver"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(contains(r.err, "errno = 110")) << r.err;
    }
}

}  // namespace
