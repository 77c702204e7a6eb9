// zeltnvm-esx run as a program against simulated hosts, whose adapter driver answers
// through its management callbacks; zeltnvm on an identical host is the reference.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "sim/flash/flash_model.h"
#include "tests/support/simulated_host.h"

using zelt::test::RunResult;
using zelt::test::SimulatedHost;
using zelt::test::read_text_file;
using zelt::test::run_program;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The default host with the example package in its working directory.
const SimulatedHost& base_host() {
    static const SimulatedHost* host = [] {
        auto* h = new SimulatedHost();
        const RunResult r = run_program({ZELT_PROGRAM("zeltpkg"), "example", h->work_file("example.pkg")});
        EXPECT_EQ(r.status, 0) << r.err;
        return h;
    }();
    return *host;
}

std::string flash(const SimulatedHost& host, const std::string& adapter) {
    return read_text_file(host.root() + "/sim/" + adapter + ".flash");
}

// An adapter's NVM as a text to compare: every directory entry with its item's data.
// The install log stamps each installation with the wall-clock second it happened in;
// those stamps (and so the checksum of the log) are left out.
std::string nvm_contents(const SimulatedHost& host, const std::string& adapter) {
    std::string image = flash(host, adapter);
    zelt::sim::FlashModel model({reinterpret_cast<uint8_t*>(image.data()), image.size()});
    const std::regex stamp("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    std::string text;
    for (uint32_t i = 0; i < model.entry_count(); ++i) {
        const zelt::zelnvm_directory_entry_t e = model.entry(i);
        text += std::to_string(e.type) + "/" + std::to_string(e.ordinal) + "/" + std::to_string(e.ext) + " attr " +
                std::to_string(e.attr) + " at " + std::to_string(e.item_location) + " length " +
                std::to_string(e.item_length) + " data " + std::to_string(e.data_length) + ": ";
        if (e.type != 0 && uint64_t{e.item_location} + e.data_length <= image.size())
            text += std::regex_replace(image.substr(e.item_location, e.data_length), stamp, "<time>");
        text += "\n";
    }
    return text;
}

// The management callbacks the driver received, as "<callback>" strings in order, with
// the install flags for callback 37.
std::vector<std::string> callbacks(const SimulatedHost& host, int number) {
    const std::string log = read_text_file(host.root() + "/sim/requests.log");
    std::vector<std::string> found;
    const std::string key = "\"callback\":" + std::to_string(number) + ",";
    for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) {
        const size_t end = log.find('\n', at);
        const std::string line = log.substr(at, end - at);
        const size_t flags = line.find("\"flags\":");
        found.push_back(flags == std::string::npos ? std::to_string(number)
                                                   : line.substr(flags + 8, line.find_first_of(",}", flags) - flags - 8));
    }
    return found;
}

// Both programs, each on its own copy of the same host, give the same statuses and
// texts for one run of commands, and leave the same NVM behind.
TEST(EsxProgram, MatchesTheLinuxProgramCommandForCommand) {
    const SimulatedHost linux_host(SimulatedHost::CopyOf{base_host()});
    const SimulatedHost esx_host(SimulatedHost::CopyOf{base_host()});
    const std::vector<std::vector<std::string>> run = {
        {"listdev"},
        {"device_info"},
        {"-dev=zen2", "device_info"},
        {"-dev=zen0", "getoption=mba:0"},
        {"-dev=zen0", "setoption=mba:0#1"},
        {"-dev=zen0", "getoption=mba:0"},
        {"pkgver"},
        {"-y", "install", "example.pkg"},
        {"-dev=zen0", "reset"},
        {"pkgver"},
        {"-json", "-dev=zen0", "device_info"},
    };
    for (const auto& args : run) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        const RunResult linux_run = linux_host.zeltnvm(args);
        const RunResult esx_run = esx_host.zeltnvm_esx(args);
        EXPECT_EQ(linux_run.status, esx_run.status) << shown << esx_run.out << esx_run.err;
        EXPECT_EQ(linux_run.out, esx_run.out) << shown;
    }
    for (const char* adapter : {"adapter0", "adapter1"}) {
        EXPECT_TRUE(nvm_contents(linux_host, adapter) == nvm_contents(esx_host, adapter)) << adapter;
        EXPECT_FALSE(nvm_contents(base_host(), adapter) == nvm_contents(esx_host, adapter)) << adapter;
    }
}

// What the platform does not offer ends the command with its own status and message.
TEST(EsxProgram, RefusesWhatThePlatformDoesNotOffer) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"-dev=zen0", "-recovery", "install", "example.pkg"}, 2,
         "Recovery is not supported on this operating system.\n"},
        {{"-online", "install"}, 14, "This adapter is not supported for online firmware update.\n\n"},
        {{"-dev=zen0", "-online", "-recovery", "install"}, 14,
         "This adapter is not supported for online firmware update.\n\n"},
        {{"-dev=zen0", "ether_serdes_eye_diagram", "0"}, 256 - 59,
         "Eye diagrams are not supported on this operating system.\n"},
        {{"-dev=zen2", "pci_eye_diagram", "0"}, 256 - 59, "Eye diagrams are not supported on this operating system.\n"},
    };
    const SimulatedHost host(SimulatedHost::CopyOf{base_host()});
    for (const auto& c : cases) {
        const RunResult r = host.zeltnvm_esx(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
    }
    EXPECT_EQ(flash(base_host(), "adapter0"), flash(host, "adapter0"));
}

// The platform program has no root check: a host run without administrative rights
// still answers it, while the Linux program refuses.
TEST(EsxProgram, RunsWithoutRootRights) {
    const SimulatedHost host(SimulatedHost::CopyOf{base_host()});
    host.fault({"no_root"});
    EXPECT_EQ(host.zeltnvm({"listdev"}).status, 40);
    const RunResult r = host.zeltnvm_esx({"listdev"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Device Interface Name       : zen0")) << r.out;
}

// Faults of the driver's management interface, each with what the program makes of it.
TEST(EsxProgram, DriverFaults) {
    const struct {
        const char* name;
        std::vector<std::string> fault;
        std::vector<std::string> args;
        int status;
        const char* message;
        std::vector<std::string> installs;  // flags of the install callbacks, in order
    } cases[] = {
        {"passthrough unknown: first revision serves",
         {"mgmt_unknown_callback"},
         {"-dev=zen0", "device_info"},
         0,
         "Device Serial Number        : ",
         {}},
        {"no voltage regulator support",
         {"mgmt_install_refused", "--cmd-err", "4", "--error-code", "7"},
         {"-dev=zen0", "-y", "install", "example.pkg"},
         73,
         "does not support voltage regulators",
         {"0"}},
        {"even cmd_err: refused without a repeat",
         {"mgmt_install_refused", "--cmd-err", "2", "--error-code", "7"},
         {"-dev=zen0", "-y", "install", "example.pkg"},
         20,
         "NVM is fragmented",
         {}},
        {"odd cmd_err: repeated once allowing defragmentation, refused again",
         {"mgmt_install_refused", "--cmd-err", "1", "--error-code", "7"},
         {"-dev=zen0", "-y", "install", "example.pkg"},
         11,
         "Package installation failed",
         {"0", "4"}},
        {"odd cmd_err: the repeat allowing defragmentation installs",
         {"mgmt_install_refused", "--cmd-err", "1", "--nth", "1"},
         {"-dev=zen0", "-y", "install", "example.pkg"},
         0,
         "Firmware update is completed.",
         {"0", "4"}},
        {"interface list callback fails",
         {"mgmt_callback_fails", "--value", "21"},
         {"listdev"},
         256 - 41,
         "No supported devices found",
         {}},
        {"install callback fails",
         {"mgmt_callback_fails", "--value", "37"},
         {"-dev=zen0", "-y", "install", "example.pkg"},
         11,
         "Package installation failed",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SimulatedHost host(SimulatedHost::CopyOf{base_host()});
        host.fault(c.fault);
        const RunResult r = host.zeltnvm_esx(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        if (!c.installs.empty()) {
            EXPECT_EQ(callbacks(host, 37), c.installs);
        }
    }
}

// A driver that does not know the message passthrough is served through its first
// revision, message for message.
TEST(EsxProgram, FallsBackToTheFirstRevisionPassthrough) {
    const SimulatedHost host(SimulatedHost::CopyOf{base_host()});
    const RunResult plain = host.zeltnvm_esx({"-dev=zen0", "device_info"});
    host.fault({"mgmt_unknown_callback"});
    const size_t before = callbacks(host, 53).size();
    const RunResult fallen_back = host.zeltnvm_esx({"-dev=zen0", "device_info"});
    EXPECT_EQ(plain.out, fallen_back.out);
    const size_t tried = callbacks(host, 53).size() - before;
    EXPECT_GT(tried, 0u);
    EXPECT_EQ(callbacks(host, 46).size(), tried);
}

}  // namespace
