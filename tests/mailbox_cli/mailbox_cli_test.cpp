// Commands through the PCI mailbox of simulated hosts without /dev/zelt_lfc: the same
// answers and the same NVM as through the firmware-channel device, the firmware's
// install refusals, mailbox faults, and the bus lock between processes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Everything `zeltsim show` tells of the adapters, their NVM, options and install log,
// without the first line (which says whether /dev/zelt_lfc is there).
std::string adapter_state(const SimulatedHost& host) {
    const RunResult r = host.zeltsim("show", {"--adapters", "--directory", "--options", "--log"});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out.substr(r.out.find('\n') + 1);
}

// How many firmware messages went through each road (to functions whose address
// begins with `function`).
int requests_by(const SimulatedHost& host, const std::string& channel, const std::string& function = "") {
    const RunResult r = host.zeltsim("show", {"--requests"});
    int n = 0;
    size_t start = 0;
    for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = r.out.substr(start, end - start);
        if (contains(line, "\"channel\":\"" + channel + "\"") && contains(line, "\"function\":\"" + function))
            ++n;
    }
    return n;
}

// Every window closed and the host's handshake bits clear in every chip.
void expect_chips_released(const SimulatedHost& host) {
    const RunResult r = host.zeltsim("show", {"--chips"});
    EXPECT_FALSE(contains(r.out, "HRTS 1")) << r.out;
    EXPECT_FALSE(contains(r.out, "HCTS 1")) << r.out;
    EXPECT_FALSE(contains(r.out, "data valid 1")) << r.out;
    size_t at = 0;
    while ((at = r.out.find(": open ", at)) != std::string::npos) {
        EXPECT_EQ(r.out.compare(at, 9, ": open 0,"), 0) << r.out;
        ++at;
    }
}

// Has the tool log errors and debug lines of its runs to /var/log/zeltnvm.log.
void log_everything(const SimulatedHost& host) {
    write_text_file(host.root() + "/etc/zeltnvm.conf", "ZELT_NVM_LOG_LEVEL=7\n");
}

std::string tool_log(const SimulatedHost& host) { return read_text_file(host.root() + "/var/log/zeltnvm.log"); }

// Install log dates and the install log item's checksum tell when an installation ran;
// everything else of the adapters must match.
std::string without_install_times(std::string text) {
    text = std::regex_replace(text, std::regex("\\n  [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\t"), "\n  <date>\t");
    return std::regex_replace(text, std::regex("(pkgLog .*) 0x[0-9a-f]{8}\n"), "$1 <checksum>\n");
}

void example_package(const SimulatedHost& host, const std::string& name, const std::string& version) {
    const RunResult r = run_program({ZELT_PROGRAM("zeltpkg"), "example", "--version", version, host.work_file(name)});
    ASSERT_EQ(r.status, 0) << r.err;
}

// The same commands on a host with /dev/zelt_lfc and on its twin without it.
TEST(MailboxRoad, GivesTheSameAnswersAndNvmAsTheFirmwareChannel) {
    SimulatedHost lfc;
    SimulatedHost mailbox;
    mailbox.fault({"no_lfc_device"});
    example_package(lfc, "new.pkg", "229.0.1.0");
    example_package(mailbox, "new.pkg", "229.0.1.0");
    const std::vector<std::vector<std::string>> commands = {
        {"listdev"},
        {"-dev=zen0", "device_info"},
        {"-dev=zen2", "device_info"},
        {"-dev=zen2", "getoption="},
        {"-dev=zen2", "setoption=mba:0#1"},
        {"-dev=zen2", "getoption=mba:0"},
        {"-y", "install", "new.pkg"},
        {"-dev=zen2", "reset"},
        {"-dev=zen2", "device_info"},
    };
    for (const auto& args : commands) {
        const RunResult a = lfc.zeltnvm(args);
        const RunResult b = mailbox.zeltnvm(args);
        EXPECT_EQ(b.status, a.status) << args.back() << b.out << b.err;
        EXPECT_EQ(b.out, a.out) << args.back();
        EXPECT_EQ(b.err, a.err) << args.back();
    }
    EXPECT_EQ(without_install_times(adapter_state(mailbox)), without_install_times(adapter_state(lfc)));
    EXPECT_GT(requests_by(mailbox, "mailbox"), 0);
    EXPECT_EQ(requests_by(mailbox, "lfc"), 0);
    EXPECT_EQ(requests_by(lfc, "mailbox"), 0);
    expect_chips_released(mailbox);
}

// Refusals that only the firmware's own answer carries, as the mailbox brings them to a
// function no driver holds.
TEST(MailboxRoad, InstallRefusedByTheFirmware) {
    SimulatedHost base;
    base.fault({"driver_unloaded", "--adapter", "adapter1"});
    example_package(base, "new.pkg", "229.0.1.0");
    struct Case {
        std::vector<std::string> fault;
        int status;
        const char* err;
        bool on_stdout = false;  // the busy message goes to standard output, as on the driver road
    } cases[] = {
        {{"install_fault", "--cmd-err", "3"}, 67,
         "Package installation failed. Because firmware failed to update package due to anti-rollback.\n"},
        {{"install_fault", "--cmd-err", "4"}, 73,
         "Package installation failed. Because firmware update does not support voltage regulators on the "
         "device.\n"},
        {{"install_fault", "--cmd-err", "2"}, 20,
         "Package installation failed, because NVM is fragmented. Please use -recovery option in the install "
         "command to update the package file.\n"},
        // The mailbox's own busy (+16) is the same busy as the driver road's.
        {{"mailbox_busy"}, 21, "Error: Adapter is busy. Please try again after some time\n", true},
    };
    for (const Case& c : cases) {
        SimulatedHost host(SimulatedHost::CopyOf{base});
        host.fault(c.fault);
        const RunResult r = host.zeltnvm({"-dev=zelt_pci_dev:0:13:0.0", "-y", "install", "new.pkg"});
        EXPECT_EQ(r.status, c.status) << c.fault.back() << r.out << r.err;
        EXPECT_TRUE(contains(c.on_stdout ? r.out : r.err, c.err)) << r.out << r.err;
        EXPECT_FALSE(contains(r.out, "Firmware update is completed.")) << r.out;
        expect_chips_released(host);
    }
    // Without a fault the same road installs.
    SimulatedHost host(SimulatedHost::CopyOf{base});
    const RunResult r = host.zeltnvm({"-dev=zelt_pci_dev:0:13:0.0", "-y", "install", "new.pkg"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Firmware update is completed.")) << r.out;
}

// Mailbox failures of one message leave the chip clean and the run goes on as the
// firmware-channel road would with a failed message.
TEST(MailboxRoad, FaultsLeaveTheChipClean) {
    SimulatedHost base;
    base.fault({"no_lfc_device"});
    const std::vector<std::vector<std::string>> faults = {
        {"no_mailbox", "--adapter", "adapter1"},
        {"mailbox_oversize", "--function", "0000:13:00.0"},
        {"mailbox_silent", "--function", "0000:13:00.0"},
    };
    for (const auto& f : faults) {
        SimulatedHost host(SimulatedHost::CopyOf{base});
        host.fault(f);
        log_everything(host);
        const RunResult r = host.zeltnvm({"-dev=zen2", "device_info"});
        EXPECT_NE(r.status, 0) << f[0] << r.out << r.err;
        expect_chips_released(host);
        const std::string log = tool_log(host);
        if (f[0] == "no_mailbox") {

            EXPECT_TRUE(contains(log, "LFC driver not loaded. Please load zelt_lfc driver.")) << log;
        }
        if (f[0] == "mailbox_oversize") {
            EXPECT_TRUE(contains(log, "status:0xc add_status: 0x2")) << log;
        }
    }
}

// A multi-host adapter's answer carrying another tag than the request's is refused as
// busy, never taken as the request's answer.
TEST(MailboxRoad, MultiHostAnswerOfAnotherTag) {
    SimulatedHost host(R"({"adapters": [{"device_type": 5, "device_id": 29953, "ports": 2, "multi_host": true}]})");
    host.fault({"no_lfc_device"});
    const RunResult good = host.zeltnvm({"-dev=zen0", "device_info"});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    host.fault({"mailbox_tag"});
    log_everything(host);
    const RunResult r = host.zeltnvm({"-dev=zen0", "device_info"});
    EXPECT_NE(r.status, 0) << r.out << r.err;
    const std::string log = tool_log(host);
    EXPECT_TRUE(contains(log, "mismatched with ramdom_address")) << log;
    EXPECT_TRUE(contains(log, "status:0x2 add_status: 0x3")) << log;
    expect_chips_released(host);
}

// The bus lock file of the simulated host, made the way the tool makes it.
int open_bus_lock(const SimulatedHost& host, const std::string& bus) {
    const std::string dir = host.root() + "/run/zeltnvm";
    ::mkdir((host.root() + "/run").c_str(), 0755);
    ::mkdir(dir.c_str(), 0700);
    return ::open((dir + "/zeltnvm-pci-0000-" + bus + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
}

TEST(MailboxRoad, BusLockBetweenProcesses) {
    SimulatedHost host;
    host.fault({"no_lfc_device"});
    // Two processes on one bus: both succeed, one after the other.
    RunResult first;
    RunResult second;
    std::thread a([&] { first = host.zeltnvm({"-dev=zen2", "device_info"}); });
    std::thread b([&] { second = host.zeltnvm({"-dev=zen2", "device_info"}); });
    a.join();
    b.join();
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_EQ(first.out, second.out);
    expect_chips_released(host);

    // A lock held past the wait: busy, and nothing sent.
    const int fd = open_bus_lock(host, "13");
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const int before = requests_by(host, "mailbox", "0000:13:");
    log_everything(host);
    const RunResult r = host.zeltnvm({"-dev=zen2", "device_info"});
    EXPECT_NE(r.status, 0) << r.out << r.err;
    EXPECT_EQ(requests_by(host, "mailbox", "0000:13:"), before);
    EXPECT_TRUE(contains(tool_log(host), "holds zeltnvm-pci-0000-13.lock"));
    ::close(fd);
}

}  // namespace
}  // namespace zelt::test
