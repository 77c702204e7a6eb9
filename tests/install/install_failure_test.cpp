// How an installation that goes wrong ends: the exit status and message of each
// failure, and the one retry after the NVM found no room.
#include <gtest/gtest.h>
#include <cerrno>

#include <string>
#include <vector>

#include "cli/install/install_command.h"
#include "common/hvxretval.h"
#include "sim/state/request_log.h"
#include "wire/hwrm_nvm.h"
#include "tests/install/install_host.h"

using namespace zelt::cli;

using namespace zelt;

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::RunResult;

namespace {

constexpr const char* kZen2 = "0000:13:00.0";
constexpr int kNvmWrite = 0xFFFE;
constexpr int kNvmDefrag = 0xFFEC;

// Firmware messages of `req_type` that zen2's function received.
int messages_to_zen2(const InstallHost& host, int req_type) {
    int n = 0;
    for (const auto& r : zelt::sim::read_request_log(host.root()))
        if (r.value("channel", "") == "lfc" && r.value("function", "") == kZen2 && r.value("req_type", -1) == req_type)
            ++n;
    return n;
}

// Through the Ethernet driver, a failed installation reaches the tool as the driver's
// errno; each one that means something of its own has its own message and status.
TEST(InstallFailure, ReportedByTheDriver) {
    struct Case {
        std::vector<std::string> fault;
        int status;
        const char* out;  // expected on standard output, or ""
        const char* err;  // expected on standard error, or ""
    } cases[] = {
        {{"ethtool_errno", "--ethtool-cmd", "51", "--errno", "13"},  // EACCES
         10, "", "\n\nThis operation does not have administrative privileges for given interface\n"},
        {{"ethtool_errno", "--ethtool-cmd", "51", "--errno", "30"},  // EROFS
         57, "", "Package installation failed. Because Firmware resources are locked.\n"},
        {{"ethtool_errno", "--ethtool-cmd", "51", "--errno", "11"},  // EAGAIN: busy
         21, "\nError: Adapter is busy. Please try again after some time\n", ""},
        {{"ethtool_errno", "--ethtool-cmd", "51", "--errno", "95"},  // EOPNOTSUPP: a positive result
         11, "", "Package installation failed. Please review debug log file for more information.\n"},
        // The firmware refuses (anti-rollback); the driver can only say the flash failed.
        {{"install_fault", "--cmd-err", "3"},
         11, "\n\nPackage installation failed. Please review debug log file for more information", ""},
    };
    for (const Case& c : cases) {
        InstallHost host;
        host.example("new.pkg", "229.0.1.0");
        host.fault(c.fault);
        const RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "new.pkg"});
        EXPECT_EQ(r.status, c.status) << c.fault[0] << r.out << r.err;
        EXPECT_TRUE(contains(r.out, c.out)) << r.out;
        EXPECT_TRUE(contains(r.err, c.err)) << r.err;
        EXPECT_FALSE(contains(r.out, "Firmware update is completed.")) << r.out;
    }
}

// Results that only the firmware-message road (recovery names) or the other platform
// delivers: their messages and statuses.
TEST(InstallFailure, ResultsOfTheFirmwareItself) {
    struct Case {
        zelt::Result result;
        int status;
        const char* err;
    } cases[] = {
        {zelt::Result::tool(HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK), 67,
         "Package installation failed. Because firmware failed to update package due to anti-rollback.\n"},
        {zelt::Result::tool(HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT), 73,
         "Package installation failed. Because firmware update does not support voltage regulators on the "
         "device.\n"},
        {zelt::Result::firmware(0, HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE,
                                HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_NO_SPACE),
         20,
         "Package installation failed, because NVM is fragmented. Please use -recovery option in the install "
         "command to update the package file.\n"},
        // The driver's flash finding no room ends the same way.
        {zelt::Result::system(ENOSPC, HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_NO_SPACE), 20,
         "Package installation failed, because NVM is fragmented. Please use -recovery option in the install "
         "command to update the package file.\n"},
        // The firmware's own install result (here: the staged bytes are no package)
        // arrives as the tool's code for it, never as a no-room answer.
        {zelt::Result::firmware(0, 0, HVXRETVAL_INSTALL_DATA_ERROR), 11, ""},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = zeltnvm_install_failure_status("p.pkg", c.result);
        const std::string err = testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.status) << c.result.code();
        EXPECT_EQ(err, c.err) << c.result.code();
    }
}

// On zen2 the factory staging item holds 1 MiB, so this package (about 1.1 MB) has the
// staging item created anew, by an NVM write message that a fault can refuse.
constexpr const char* kLargePackage = R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
  "items": [{"type": 2, "directive": "Install", "item_length": 65536},
            {"type": "chimpBoot", "directive": "Install",
             "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": 1100000}}]})";

// An NVM write that finds no room is met by defragmenting and one more try.
TEST(InstallFailure, NoRoomDefragmentsAndTriesOnceMore) {
    struct Case {
        const char* name;
        const char* write_nth;  // "0": every creation finds no room
        bool defrag_fails;
        int status;
        int creations;
    } cases[] = {
        {"once", "1", false, 0, 2},
        {"twice", "0", false, 20, 2},
        {"defragmentation fails", "0", true, 20, 1},
    };
    for (const Case& c : cases) {
        InstallHost host;
        host.package("big.pkg", kLargePackage);
        host.zeltnvm({"-dev=zen2", "devid"});  // the first run only creates the configuration
        host.fault({"hwrm_error", "--function", "zen2", "--req-type", std::to_string(kNvmWrite), "--error-code", "4",
                    "--cmd-err", "2", "--nth", c.write_nth});
        if (c.defrag_fails)
            host.fault({"hwrm_error", "--function", "zen2", "--req-type", std::to_string(kNvmDefrag), "--error-code",
                        "2"});
        zelt::sim::clear_request_log(host.root());

        const RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "big.pkg"});
        EXPECT_EQ(r.status, c.status) << c.name << r.out << r.err;
        EXPECT_EQ(messages_to_zen2(host, kNvmDefrag), 1) << c.name;
        EXPECT_EQ(messages_to_zen2(host, kNvmWrite), c.creations) << c.name;
        EXPECT_EQ(contains(r.out, "\nFirmware update is completed.\n"), c.status == 0) << c.name << r.out;
        if (c.status == 20) {
            EXPECT_TRUE(contains(r.err, "Package installation failed, because NVM is fragmented.")) << r.err;
        }
        EXPECT_EQ(contains(host.log(), "\ndefrag command failed with status 2.\n"), c.defrag_fails) << c.name;
    }
}

// The driver finding no room for the staged package (ENOSPC) is the same condition as
// the firmware's no-space answer: room is made by defragmenting and the flash is tried
// once more; a second refusal ends with the no-room status.
TEST(InstallFailure, DriverWithoutRoomDefragmentsAndTriesOnceMore) {
    struct Case {
        const char* nth;  // "0": every flash finds no room
        int status;
        int flashes;
    } cases[] = {{"1", 0, 2}, {"0", 20, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nth);
        InstallHost host;
        host.example("new.pkg", "229.0.1.0");
        host.zeltnvm({"-dev=zen2", "devid"});
        host.fault({"ethtool_errno", "--function", "zen2", "--ethtool-cmd", "51", "--errno", "28", "--nth", c.nth});
        zelt::sim::clear_request_log(host.root());
        const RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "new.pkg"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(messages_to_zen2(host, kNvmDefrag), 1);
        int flashes = 0;
        for (const auto& q : zelt::sim::read_request_log(host.root()))
            if (q.value("channel", "") == "ethtool" && q.value("cmd", 0) == 51) ++flashes;
        EXPECT_EQ(flashes, c.flashes);
        EXPECT_EQ(contains(r.err, "Package installation failed, because NVM is fragmented."), c.status == 20) << r.err;
    }
}

}  // namespace

namespace {

// Both adapters are updated in one run: every adapter's outcome is printed, and the
// run ends with the first failing adapter's status even when a later one succeeds, so
// a script sees the failure.
TEST(InstallFailure, FirstFailingAdapterGivesTheRunsStatus) {
    struct Case {
        const char* failing;  // the function whose flash command fails
        int completed;        // adapters that report completion
    } cases[] = {{"zen0", 1}, {"zen2", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        InstallHost host;
        host.example("new.pkg", "229.0.1.0");
        host.fault({"ethtool_errno", "--ethtool-cmd", "51", "--errno", "30", "--function", c.failing});
        const RunResult r = host.zeltnvm({"-y", "install", "new.pkg"});
        EXPECT_EQ(r.status, 57) << r.out << r.err;
        EXPECT_TRUE(contains(r.err, "Package installation failed. Because Firmware resources are locked.\n")) << r.err;
        size_t completions = 0;
        for (size_t at = r.out.find("Firmware update is completed."); at != std::string::npos;
             at = r.out.find("Firmware update is completed.", at + 1))
            ++completions;
        EXPECT_EQ(completions, static_cast<size_t>(c.completed)) << r.out;
        EXPECT_TRUE(contains(r.out, "Controller #1 is being updated")) << r.out;
        EXPECT_TRUE(contains(r.out, "Controller #2 is being updated")) << r.out;
    }
}

}  // namespace

namespace {

// A run over both adapters ends 0 only when each was updated or was already up to
// date: an adapter the selection refused, or left with several applicable packages,
// gives the run its status even when the other one is updated, and the text form says
// which adapter was left and why.
TEST(InstallFailure, AnAdapterLeftBehindFailsTheRun) {
    constexpr const char* kOnlyZen2 = R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
                                         "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})";
    constexpr const char* kDamaged = R"({"properties": {"version": "229.0.1.0"},
                                        "items": [{"type": 2, "directive": "Install", "item_length": 65536}],
                                        "faults": [{"xor": 255, "offset": -1}]})";
    // Older than adapter0's 228.1.107.0, and needing more than adapter1's 224.0.150.0.
    constexpr const char* kNeedsNewer = R"({"properties": {"version": "228.0.0.0", "required_pkg": "225.0.0.0"},
                                           "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})";
    struct Package {
        const char* name;
        const char* description;  // nullptr: the example package of version 229.0.<n>.0
    };
    struct Case {
        const char* name;
        std::vector<Package> packages;  // also the file arguments, in this order
        int status;
        int completed;        // adapters that report completion
        const char* refusal;  // on standard error
    } cases[] = {
        {"two packages apply to both adapters",
         {{"a.pkg", nullptr}, {"b.pkg", nullptr}},
         76,
         0,
         "ERROR: Multiple supported package files found.\n\ta.pkg\n\tb.pkg\n"},
        {"no package applies to adapter0",
         {{"zen2.pkg", kOnlyZen2}},
         4,
         1,
         "Orvanta-E Controller at PCI Domain:0000 Bus:03 Dev:00 is not updated: no package file applies to the "
         "adapter.\n"},
        {"adapter0's only candidate fails its verification",
         {{"zen2.pkg", kOnlyZen2}, {"bad.pkg", kDamaged}},
         12,
         1,
         "Orvanta-E Controller at PCI Domain:0000 Bus:03 Dev:00 is not updated: package verification failed.\n"},
        {"adapter0 up to date, adapter1 lacks the prerequisite",
         {{"old.pkg", kNeedsNewer}},
         4,
         0,
         "Orvanta-E Controller at PCI Domain:0000 Bus:13 Dev:00 is not updated: no package file applies to the "
         "adapter.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host;
        std::vector<std::string> args = {"-y", "install"};
        int n = 0;
        for (const Package& p : c.packages) {
            ++n;
            if (p.description)
                host.package(p.name, p.description);
            else
                host.example(p.name, "229.0." + std::to_string(n) + ".0");
            args.emplace_back(p.name);
        }
        const RunResult r = host.zeltnvm(args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.err, c.refusal)) << r.err;
        size_t completions = 0;
        for (size_t at = r.out.find("Firmware update is completed."); at != std::string::npos;
             at = r.out.find("Firmware update is completed.", at + 1))
            ++completions;
        EXPECT_EQ(completions, static_cast<size_t>(c.completed)) << r.out;
    }
}

}  // namespace
