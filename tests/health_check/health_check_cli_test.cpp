// device_health_check run as a program against simulated hosts.
//
// The default host has adapter0 (zen0, zen1: device type 8, which reports its NVM
// redundancy status) and adapter1 (zen2, zen3: device type 5, whose check rewrites
// its VPD item).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunResult;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

constexpr const char* kHealthy = "\nDevice is in healthy state.\n";
constexpr const char* kNotHealthy = "\nDevice is not in healthy state.\n";
constexpr const char* kAdvice =
    "Please run the \"device_health_check\" command with verbose mode (-v) options to address the issue.\n";

// The verbose findings of a status word with only the information bit set.
constexpr const char* kSecondRtOnly =
    "Firmware Health Status          : OK\n"
    "SBI Booted Check                : OK\n"
    "SBI Mismatch Check              : OK\n"
    "SRT Booted Check                : OK\n"
    "SRT Mismatch Check              : OK\n"
    "CRT Booted Check                : OK\n"
    "CRT Mismatch Check              : OK\n"
    "Second RT Check                 : Second stage RT image is an SRT.\n"
    "                                  No impact to image redundancy.\n"
    "Image Fastbooted Check          : OK\n"
    "Directory Header Booted Check   : OK\n"
    "Directory Header Mismatch Check : OK\n"
    "MBR Corrupt Check               : OK\n"
    "NVM Configuration               : OK\n"
    "FRU Configuration               : OK\n";

constexpr const char* kSbiMismatch =
    "SBI Mismatch Check              : Warning Message:\n"
    "                                  The primary and secondary SBI images differ. If the firmware was just "
    "upgraded, a mismatch is expected.\n"
    "                                  Executing fw_sync command will synchronize the two SBI partitions. If there "
    "was no firmware upgrade done\n"
    "                                  this means one of the partition is corrupted. Reinstalling the firmware "
    "package is recommended.\n";

class Host : public zelt::test::SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // The first run writes the log configuration and no log; runs after it log.
    void start_log() const { EXPECT_EQ(zeltnvm({"version"}).status, 0); }
    std::string log() const { return zelt::test::read_text_file(root() + "/var/log/zeltnvm.log"); }
    // The bytes of an adapter's item at directory index `index`, as zeltsim shows them.
    std::string item(const std::string& adapter, int index) const {
        const RunResult r = zeltsim("show", {"--item", adapter, std::to_string(index)});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    // Directory index of the adapter's VPD item (type 5), from zeltsim's directory listing.
    int vpd_index(const std::string& adapter) const;
    int requests(int req_type) const {
        const std::string log = zelt::test::read_text_file(root() + "/sim/requests.log");
        const std::string key = "\"req_type\":" + std::to_string(req_type) + ",";
        int n = 0;
        for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) ++n;
        return n;
    }
};

// The redundancy status word of the Kestra adapter, with and without -v.
TEST(DeviceHealthCheck, KestraReportsItsRedundancyStatus) {
    struct Case {
        const char* name;
        const char* word;
        bool verbose;
        std::string out;
    } cases[] = {
        {"information bit alone, quiet", "0x0040", false, kHealthy},
        {"information bit alone, verbose", "0x0040", true, std::string(kSecondRtOnly) + kHealthy},
        {"mismatch, quiet", "0x0002", false, std::string(kNotHealthy) + kAdvice},
        {"clear word, quiet", "0", false, kHealthy},
    };
    zelt::test::SimulatedHost original;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(zelt::test::SimulatedHost::CopyOf{original});
        host.fault({"redundancy", "--adapter", "adapter0", "--status", c.word});
        std::vector<std::string> args = {"-dev=zen0", "device_health_check"};
        if (c.verbose) args.push_back("-v");
        const RunResult r = host.zeltnvm(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
}

// The firmware health register comes first: a firmware that does not run is not
// healthy and is asked nothing more; a window the host refuses to map is logged and
// the check goes on without it.
TEST(DeviceHealthCheck, FirmwareHealthRegister) {
    constexpr const char* kKernelSecurity =
        "Permission denied or failed to access the device resources because of kernel security. So checking the "
        "device nvm redundancy.\n";
    struct Case {
        const char* name;
        const char* dev;
        std::vector<std::string> fault;
        bool verbose;
        std::string out;
        bool security_logged;
        int vpd_writes;
    } cases[] = {
        {"newest firmware not running", "zen0", {"fw_not_operational", "--adapter", "adapter0"}, false,
         std::string(kNotHealthy) + kAdvice, false, 0},
        {"older firmware not running, verbose", "zen2", {"fw_not_operational", "--adapter", "adapter1"}, true,
         kNotHealthy, false, 0},
        {"window refused on the newest adapter", "zen0", {"bar_denied"}, false, kHealthy, true, 0},
        {"window refused on the older adapter", "zen2", {"bar_denied"}, false, kHealthy, true, 1},
        {"older firmware running", "zen2", {}, false, kHealthy, false, 1},
    };
    Host original;
    original.start_log();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(zelt::test::SimulatedHost::CopyOf{original});
        if (!c.fault.empty()) host.fault(c.fault);
        std::vector<std::string> args = {std::string("-dev=") + c.dev, "device_health_check"};
        if (c.verbose) args.push_back("-v");
        const RunResult r = host.zeltnvm(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(contains(host.log(), kKernelSecurity), c.security_logged) << host.log();
        EXPECT_EQ(host.requests(0xFFF4), c.vpd_writes);
    }
}

// Each set bit explains itself in verbose mode, in the order of the findings, and the
// advice to run with -v is left out.
TEST(DeviceHealthCheck, VerboseExplainsEveryWarning) {
    Host host;
    host.start_log();
    host.fault({"redundancy", "--adapter", "adapter0", "--status", "0x0402"});
    const RunResult r = host.zeltnvm({"-dev=zen0", "device_health_check", "-v"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, std::string("SBI Booted Check                : OK\n") + kSbiMismatch +
                                    "SRT Booted Check                : OK\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "Second RT Check                 : Second stage RT image is an CRT.\n")) << r.out;
    EXPECT_TRUE(contains(r.out,
                         "MBR Corrupt Check               : Warning Message:\n"
                         "                                  Master Boot Record is corrupted. Master boot record is "
                         "compromised.\nNVM Configuration               : OK\n"))
        << r.out;
    EXPECT_TRUE(r.out.ends_with(kNotHealthy)) << r.out;
    EXPECT_TRUE(contains(host.log(), "fw_status = 0x402\n"));
}

// A redundancy query the firmware refuses ends the check with the command's failure.
TEST(DeviceHealthCheck, RefusedRedundancyQueryFails) {
    Host host;
    host.start_log();
    host.fault({"hwrm_error", "--req-type", "0xC2", "--error-code", "1"});
    const RunResult r = host.zeltnvm({"-dev=zen0", "device_health_check"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err,
                         "Error: Device health Check command failed. Please review zeltnvm.log for more details.\n"))
        << r.err;
    EXPECT_TRUE(contains(host.log(), "Fw health check failed with status = ")) << host.log();
}

int Host::vpd_index(const std::string& adapter) const {
    const RunResult r = zeltsim("show", {"--directory"});
    EXPECT_EQ(r.status, 0) << r.err;
    // "NVM directory of <adapter> (...)", then "  <index>  <type>  <name> ..." rows.
    std::istringstream lines(r.out);
    std::string line;
    bool in_adapter = false;
    while (std::getline(lines, line)) {
        if (line.starts_with("NVM directory of ")) {
            in_adapter = line.starts_with("NVM directory of " + adapter + " ");
            continue;
        }
        std::istringstream row(line);
        int index = -1, type = -1;
        if (in_adapter && (row >> index >> type) && type == 5) return index;
    }
    ADD_FAILURE() << "no VPD item on " << adapter << ":\n" << r.out;
    return -1;
}

// Older adapters prove their NVM by writing the VPD item back as it was read, by
// either road to the function; a second check finds the same item again.
TEST(DeviceHealthCheck, OlderAdapterRewritesItsVpdUnchanged) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;
        const char* dev;
    } cases[] = {
        {"through the driver", {}, "-dev=zen2"},
        {"through the PCI window", {"driver_unloaded", "--function", "zen2"}, "-dev=zelt_pci_dev:0000:13:00.0"},
    };
    zelt::test::SimulatedHost original;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(zelt::test::SimulatedHost::CopyOf{original});
        if (!c.fault.empty()) host.fault(c.fault);
        const std::string before = host.item("adapter1", host.vpd_index("adapter1"));
        for (int run = 1; run <= 2; ++run) {
            const RunResult r = host.zeltnvm({c.dev, "device_health_check", "-v"});
            EXPECT_EQ(r.status, 0) << run << r.err;
            EXPECT_EQ(r.out, kHealthy) << run;
            EXPECT_EQ(host.item("adapter1", host.vpd_index("adapter1")), before) << run;
        }
        EXPECT_EQ(host.requests(0xFFF4), 2);  // the item was written back each time
    }
}

TEST(DeviceHealthCheck, OlderAdapterNvmFailures) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;
        int status;
        const char* error;
        const char* log;
    } cases[] = {
        {"item read refused", {"ethtool_errno", "--ethtool-cmd", "0x0b", "--errno", "5"}, 65,
         "Error: Device nvm read failed. Might be device is not in healthy state.\n",
         "zeltnvm_invoke_device_health_check: Failed to get VPD data at index 0 and rc = -1\n"},
        {"directory unreadable", {"hwrm_error", "--req-type", "0xFFFB", "--error-code", "1"}, 65,
         "Error: Device nvm read failed. Might be device is not in healthy state.\n",
         "zeltnvm_invoke_device_health_check: Failed to get VPD data at index 0 and rc = "},
        {"item write refused", {"hwrm_error", "--req-type", "0xFFF4", "--error-code", "1"}, 66,
         "Error: Device nvm write failed. Might be device is not in healthy state.\n", ""},
    };
    Host original;
    original.start_log();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(zelt::test::SimulatedHost::CopyOf{original});
        std::vector<std::string> fault = c.fault;
        fault.insert(fault.end(), {"--adapter", "adapter1"});
        host.fault(fault);
        const RunResult r = host.zeltnvm({"-dev=zen2", "device_health_check"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.error);
        EXPECT_TRUE(contains(host.log(), c.log)) << host.log();
    }
}

}  // namespace
