// install and reset run as programs against simulated hosts (tests/install/install_host.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/install/install_command.h"
#include "tests/install/flash_check.h"
#include "tests/install/install_host.h"

using namespace zelt::cli;

using zelt::test::RunOptions;
using zelt::test::RunResult;
using zelt::test::run_program;
using zelt::test::TempDir;

namespace {

using Host = zelt::test::InstallHost;
using zelt::test::contains;

TEST(InstallVersionRule, ComparesFourNumbersWithTheOldNumberingBelowTheNew) {
    struct Case {
        const char* installed;
        const char* package;
        bool up_to_date;
    } cases[] = {
        {"218.0.166.0", "1.10.2.0", false},  // old numbering counts as older
        {"21.0.0.0", "19.9.9.9", false},
        {"1.10.2.0", "1.10.2.0", true},
        {"1.10.2.0", "1.10.1.9", true},
        {"1.10.2.0", "1.10.2.1", false},
        {"1.10", "1.10.0.0", true},  // missing numbers are 0
        {"", "0.0.0.1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_pkg_upgrade(c.installed, c.package), c.up_to_date) << c.installed << " vs " << c.package;
}

TEST(InstallCommand, UpdatesBothAdaptersAndResetActivatesTheNewVersion) {
    Host host;
    host.example("new.pkg", "229.0.1.0");
    RunResult r = host.zeltnvm({"-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Orvanta-E Controller #1 at PCI Domain:0000 Bus:03 Dev:00\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Orvanta-E Controller #2 will be updated to firmware version v229.0.1.0\n"));
    EXPECT_TRUE(contains(r.out, "Orvanta-C/E/S Controller #1 is being updated"));
    EXPECT_TRUE(contains(r.out, "\nFirmware update is completed.\n"));
    EXPECT_TRUE(contains(r.out, "A system reboot is needed for firmware update to take effect.\n"));

    r = host.zeltnvm({"-dev=zen2", "device_info"});
    EXPECT_TRUE(contains(r.out, "Package version on NVM      : 229.0.1.0")) << r.out;
    EXPECT_TRUE(contains(r.out, "Active Package version      : 224.0.150.0")) << r.out;
    EXPECT_TRUE(contains(r.out, "Reboot Required             : Yes")) << r.out;

    r = host.zeltnvm({"-dev=zen2", "reset"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = host.zeltnvm({"-dev=zen2", "device_info"});
    EXPECT_TRUE(contains(r.out, "Active Package version      : 229.0.1.0")) << r.out;

    // The adapter now runs the package: a second install skips it without asking.
    r = host.zeltnvm({"-dev=zen2", "install", "new.pkg"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "is already up-to-date, hence skipping update.")) << r.out;
    EXPECT_FALSE(contains(r.out, "Do you want to continue"));
    r = host.zeltnvm({"-dev=zen2", "-force", "-y", "install", "new.pkg"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "will be updated to firmware version v229.0.1.0")) << r.out;
}

// The default host with adapter1 reporting adapter0's serial number.
constexpr const char* kSharedSerialHost = R"({"adapters": [{"device_type": 8, "ports": 2},
  {"device_type": 5, "ports": 2, "total_vfs": 8, "dsn": "0x5a0b00c0de000100"}]})";

// However the package file is taken in (kept as a private copy that is staged by a
// link, unwrapped in memory, or read when the firmware directory is missing), the
// adapter ends up with the package in a flash that checks, and no staged file, whole
// or temporary, is left in the firmware directory.
TEST(InstallCommand, EveryWayOfStagingFlashesThePackageAndLeavesNothing) {
    const struct {
        const char* name;
        std::vector<std::string> example_options;
        bool firmware_dir_missing;
    } cases[] = {
        {"plain package", {}, false},
        {"wrapped package", {"--wrap"}, false},
        {"no firmware directory", {}, true},
    };
    for (const auto& c : cases) {
        Host host;
        host.example("new.pkg", "229.0.1.0", c.example_options);
        if (c.firmware_dir_missing) std::filesystem::remove_all(host.root() + "/lib/firmware");
        const RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "new.pkg"});
        ASSERT_EQ(r.status, 0) << c.name << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "\nFirmware update is completed.\n")) << c.name << r.out;
        EXPECT_TRUE(zelt::test::damaged_items(zelt::test::read_bytes(host.root() + "/sim/adapter1.flash")).empty())
            << c.name;
        EXPECT_EQ(zelt::test::staged_files(host), std::vector<std::string>{}) << c.name;
        const RunResult info = host.zeltnvm({"-dev=zen2", "device_info"});
        EXPECT_TRUE(contains(info.out, "Package version on NVM      : 229.0.1.0")) << c.name << info.out;
    }
}

TEST(InstallCommand, AdaptersSharingASerialNumberStayTwoAdapters) {
    Host host(kSharedSerialHost);
    RunResult r = host.zeltnvm({"listdev"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Device Interface Name       : zen0\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Device Interface Name       : zen2\n")) << r.out;

    host.example("new.pkg", "229.0.1.0");
    r = host.zeltnvm({"-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Controller #2 will be updated to firmware version v229.0.1.0\n")) << r.out;
    for (const char* dev : {"-dev=zen0", "-dev=zen2"}) {
        r = host.zeltnvm({dev, "device_info"});
        EXPECT_TRUE(contains(r.out, "Package version on NVM      : 229.0.1.0")) << dev << r.out;
    }
    EXPECT_TRUE(contains(host.log(), "; they are taken as two adapters\n")) << host.log();
}

TEST(InstallCommand, AnswersToTheConfirmation) {
    struct Case {
        const char* input;
        int status;
        bool installed;
    } cases[] = {{"Y\n", 0, true}, {"No\n", 0, false}, {"maybe\n", 1, false}, {"", 1, false}};
    for (const Case& c : cases) {
        Host host;
        host.example("new.pkg", "229.0.1.0");
        RunResult r = host.zeltnvm({"-dev=zen2", "install", "new.pkg"}, c.input);
        EXPECT_EQ(r.status, c.status) << c.input << r.out << r.err;
        EXPECT_EQ(contains(r.out, "Firmware update is completed."), c.installed) << c.input;
        if (c.status == 1) {
            EXPECT_TRUE(contains(r.err, "Invalid input value. Exiting")) << r.err;
        }
    }
}

TEST(InstallCommand, SelectionFailures) {
    Host host;
    host.example("a.pkg", "229.0.1.0");
    host.example("b.pkg", "229.0.2.0");
    RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "a.pkg", "b.pkg"});
    EXPECT_EQ(r.status, 76) << r.out << r.err;
    EXPECT_TRUE(contains(r.err, "ERROR: Multiple supported package files found.\n\ta.pkg\n\tb.pkg\n")) << r.err;

    r = host.zeltnvm({"-dev=zen2", "-y", "install", "missing*.pkg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "No package files found in the given path. Package installation failed"));
}

// The required installed version is compared with the adapter's installed package
// version (224.0.150.0 on zen2), not with unrelated bytes.
TEST(InstallCommand, PrerequisiteComparesTheInstalledPackageVersion) {
    struct Case {
        const char* required;
        int status;
    } cases[] = {{"224.0.150.0", 0}, {"224.0.100.0", 0}, {"224.0.160.0", 4}};
    for (const Case& c : cases) {
        Host host;
        host.package("p.pkg", std::string(R"({"properties": {"version": "229.0.100.0", "required_pkg": ")") +
                                  c.required +
                                  R"("}, "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})");
        RunResult r = host.zeltnvm({"-dev=zen2", "install", "p.pkg"}, "n\n");
        EXPECT_EQ(r.status, c.status) << c.required << r.out << r.err;
        EXPECT_EQ(contains(r.out, "will be updated to firmware version v229.0.100.0"), c.status == 0) << r.out;
    }
}

TEST(ResetCommand, RefusedPlainResetNeedsAReboot) {
    Host host;
    host.fault({"hwrm_error", "--req-type", "0xC0", "--error-code", "1"});
    RunResult r = host.zeltnvm({"-dev=zen2", "reset"});
    EXPECT_EQ(r.status, 78) << r.out << r.err;
}

// A device type 6 adapter resets with the full verification; its counter is read by
// firmware message.
constexpr const char* kHotResetHost =
    R"({"adapters": [{"device_type": 6, "device_id": 30209, "ports": 2, "total_vfs": 4, "num_vfs": 2}]})";

TEST(ResetCommand, VerifiedHotReset) {
    struct Case {
        const char* fault_cmd_err;  // reset_fault effect, or nullptr
        int status;
        const char* line;
        bool reset_before = false;  // one clean reset first, so the counter is not zero
    } cases[] = {
        {nullptr, 0, "\nDevice Hot Reset Completed Successfully.\n"},
        {"1", 5, "Manual system reboot is needed for reset to take effect.\n"},
        {"2", 5, "Manual system reboot is needed for reset to take effect.\n"},
        // A counter stuck at a value other than zero: only the comparison with the
        // value before the reset can tell that the firmware never restarted.
        {"2", 5, "Manual system reboot is needed for reset to take effect.\n", true},
        {"3", 42, "3 out of 4 virtual functions loaded successfully\n"},
    };
    for (const Case& c : cases) {
        Host host(kHotResetHost);
        if (c.reset_before) {
            ASSERT_EQ(host.zeltnvm({"-dev=zen0", "reset"}).status, 0);
        }
        if (c.fault_cmd_err) host.fault({"reset_fault", "--cmd-err", c.fault_cmd_err, "--function", "0000:03:00.0"});
        RunResult r = host.zeltnvm({"-dev=zen0", "reset"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.line)) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "\nResetting the adapter. Please wait for few seconds...")) << r.out;
    }
}

TEST(ResetCommand, ZeroWaitPeriodsUseTheDefaultWaits) {
    Host host(kHotResetHost);
    host.fault({"reset_fault", "--cmd-err", "4"});
    host.fault({"reset_fault", "--cmd-err", "2"});
    host.zeltnvm({"-dev=zen0", "devid"});  // the first run creates the configuration and no log
    RunResult r = host.zeltnvm({"-dev=zen0", "reset"});
    EXPECT_EQ(r.status, 5) << r.out << r.err;
    const std::string log = host.log();
    EXPECT_TRUE(contains(log, "Min wait = 0 Max bailout = 0")) << log;
    // The counter is watched for 12 seconds of virtual time before giving up.
    const size_t last = log.rfind("fw_reg_cntr elapsed time = ");
    ASSERT_NE(last, std::string::npos);
    const double elapsed = std::stod(log.substr(last + 27));
    EXPECT_GT(elapsed, 12.0);
    EXPECT_LT(elapsed, 12.5);
}

}  // namespace
