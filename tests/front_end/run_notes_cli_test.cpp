// What a run tells its user beside the command's own output: the modes it runs in,
// its start and end in the log, hints after messages that leave the user stuck, the
// log file's path after a message that sends the user there, and the progress of an
// installation into a pipe.
#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "formats/crypto/rsa.h"
#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Standard error after the simulated-host line every run starts with.
std::string after_sim_line(const std::string& err) {
    if (err.rfind("SIMULATED HOST: ", 0) != 0) return err;
    const size_t end = err.find('\n');
    return end == std::string::npos ? std::string() : err.substr(end + 1);
}

const std::string kTestKeyWarning =
    "WARNING: this build trusts the public test signing key: packages signed with it install as genuine.\n";

// A host whose runs log every level from the first run on.
class LoggedHost : public SimulatedHost {
public:
    LoggedHost() { write_text_file(root() + "/etc/zeltnvm.conf", "ZELT_NVM_LOG_LEVEL=7\n"); }
    std::string log_path() const { return root() + "/var/log/zeltnvm.log"; }
    std::string log() const { return read_text_file(log_path()); }

    // zeltnvm with its standard error as the program wrote it, mode lines included.
    RunResult run_whole(const std::vector<std::string>& args, std::vector<std::pair<std::string, std::string>> env = {}) const {
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions o;
        o.env = std::move(env);
        o.env.emplace_back("ZELTNVM_SIM", root());
        o.cwd = work_dir();
        o.keep_note_lines = true;
        return run_program(argv, o);
    }
    void example(const std::string& name, const std::string& version) const {
        const RunResult r = run_program({ZELT_PROGRAM("zeltpkg"), "example", "--version", version, work_file(name)});
        ASSERT_EQ(r.status, 0) << r.err;
    }
};

// Every run on a simulated host says so first, once, on standard error, and in its
// log; `version` and `install` warn first when the build trusts the public test key,
// other commands do not. `version -json` carries both facts and nothing else reaches
// standard output but the document.
TEST(RunModes, SimulatedHostAndTestKeyAreShownFirst) {
    LoggedHost host;
    host.example("new.pkg", "229.0.1.0");
    const std::string sim_line = "SIMULATED HOST: " + host.root() + "\n";
    const std::string key_line = crypto::builtin_key_is_test_key() ? kTestKeyWarning : "";
    const struct {
        std::vector<std::string> args;
        std::string err_start;
    } cases[] = {
        {{"listdev"}, sim_line},
        {{"version"}, sim_line + key_line},
        {{"-dev=zen2", "-y", "install", "new.pkg"}, sim_line + key_line},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = host.run_whole(c.args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.err.substr(0, c.err_start.size()), c.err_start) << r.err;
        EXPECT_EQ(count_of(r.err, "SIMULATED HOST: "), 1u) << r.err;
        EXPECT_EQ(contains(r.err.substr(c.err_start.size()), "test signing key"), false) << r.err;
    }
    EXPECT_EQ(count_of(host.log(), "INFO:SIMULATED HOST: " + host.root() + "\n"), 3u) << host.log();

    const RunResult json = host.run_whole({"version", "-json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc.at("simulated_host"), host.root());
    EXPECT_EQ(doc.at("trusts_test_key"), crypto::builtin_key_is_test_key());
    EXPECT_EQ(json.err, sim_line + key_line);
}

// The log gets one start line (the command line, the user the run is for, the process
// id) and one end line with the exit status, each with its time; a run stopped by
// Ctrl-C logs that it was interrupted instead of an end.
TEST(RunLog, StartEndAndInterruptedLines) {
    const std::string stamp = R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4}   INFO:)";
    const struct {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        bool interrupt;
        std::string start, end;  // regular expressions of the two lines
    } cases[] = {
        {{"-dev=zen0", "device_info"}, {{"SUDO_USER", "alice"}}, false,
         R"(Run started: \S+/zeltnvm -dev=zen0 device_info; user alice; pid \d+)", "Run ended: exit status 0"},
        {{"-dev=no such", "device_info"}, {{"SUDO_USER", "bob"}}, false,
         R"(Run started: \S+/zeltnvm '-dev=no such' device_info; user bob; pid \d+)", "Run ended: exit status 8"},
        {{"-dev=zen0", "device_info"}, {{"SUDO_USER", "carol"}}, true,
         R"(Run started: \S+/zeltnvm -dev=zen0 device_info; user carol; pid \d+)",
         "Run interrupted by SIGINT: exit status 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        LoggedHost host;
        if (c.interrupt) host.fault({"signal", "--signal", std::to_string(SIGINT)});
        const RunResult r = host.run_whole(c.args, c.env);
        const std::string log = host.log();
        EXPECT_TRUE(std::regex_search(log, std::regex("(^|\n)" + stamp + c.start + "\n"))) << log;
        EXPECT_TRUE(std::regex_search(log, std::regex("\n" + stamp + c.end + "\n$"))) << log;
        EXPECT_EQ(count_of(log, "INFO:Run started"), 1u) << log;
        EXPECT_EQ(count_of(log, "INFO:Run ended"), c.interrupt ? 0u : 1u) << log;
        if (c.interrupt) {
            EXPECT_EQ(r.status, 1) << r.out << r.err;
        }
    }
}

// A message that sends the user to the debug log keeps its text and is followed by the
// log file's path; a run without a log says where the level is set.
TEST(NextSteps, FailureNamesTheLogFile) {
    const std::string failed = "Package installation failed. Please review debug log file for more information.\n";
    for (const bool logging : {true, false}) {
        SCOPED_TRACE(logging ? "logging" : "logging off");
        LoggedHost host;
        if (!logging) write_text_file(host.root() + "/etc/zeltnvm.conf", "ZELT_NVM_LOG_LEVEL=0\n");
        host.example("new.pkg", "229.0.1.0");
        host.fault({"ethtool_errno", "--ethtool-cmd", "51", "--errno", "95"});
        const RunResult r = host.run_whole({"-dev=zen2", "-y", "install", "new.pkg"});
        EXPECT_EQ(r.status, 11) << r.out << r.err;
        const std::string named = logging ? "Log file: " + host.log_path() + "\n"
                                          : "Log file: " + host.log_path() +
                                                " (not written by this run: see ZELT_NVM_LOG_LEVEL in " + host.root() +
                                                "/etc/zeltnvm.conf)\n";
        const std::string key_line = crypto::builtin_key_is_test_key() ? kTestKeyWarning : "";
        EXPECT_EQ(after_sim_line(r.err), key_line + failed + named);
    }
    // A run that does not send the user to the log does not name it.
    LoggedHost host;
    EXPECT_FALSE(contains(host.run_whole({"-dev=zen0", "device_info"}).err, "Log file:"));
}

// One line after the message that leaves the user stuck, on standard error.
TEST(NextSteps, Hints) {
    const struct {
        std::vector<std::string> fault;  // scheduled before the run; empty for none
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{}, {"-dev=3b:00.0", "device_info"}, 8,
         "Invalid or unsupported device selector: '3b:00.0'\n"
         "Hint: a PCI address needs its domain, as in -dev=0000:3b:00.0.\n"},
        {{}, {"-dev=zen9", "device_info"}, 8,
         "Invalid or unsupported device selector: 'zen9'\n"
         "Hint: the listdev command lists the adapters and the selectors they answer to.\n"},
        {{}, {"device_info"}, 255,
         "Please provide \"-dev=\" option.\n"
         "Hint: name the adapter with -dev=<interface, MAC or PCI address>; the listdev command lists them.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        LoggedHost host;
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.run_whole(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(after_sim_line(r.err), c.err);
    }
}

// A host where discovery finds nothing the tool supports: no driver is loaded.
TEST(NextSteps, NoDevicesHintsAtTheMissingDriver) {
    TempDir root, cwd;
    RunOptions o;
    o.env = {{"ZELTNVM_SIM", root.path()}};
    o.cwd = cwd.path();
    o.keep_note_lines = true;
    const RunResult r = run_program({ZELT_PROGRAM("zeltnvm"), "listdev"}, o);
    EXPECT_EQ(r.status, 17) << r.out << r.err;
    EXPECT_EQ(r.out, "No supported devices found. Please make sure all the required drivers are loaded properly\n");
    EXPECT_EQ(after_sim_line(r.err), "Hint: the zelt_en Ethernet driver is not loaded (modprobe zelt_en).\n");
}

// Without the firmware-channel device a run whose messages then fail on the mailbox
// says what is missing; a run that succeeds by the mailbox says nothing.
TEST(NextSteps, MissingFirmwareChannelDevice) {
    const std::string hint =
        "Hint: /dev/zelt_lfc is missing, so firmware messages went through the PCI mailbox: load the zelt_lfc "
        "driver (modprobe zelt_lfc) for the firmware channel.\n";
    LoggedHost host;
    host.fault({"no_lfc_device"});
    const RunResult good = host.run_whole({"-dev=zen2", "device_info"});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_FALSE(contains(good.err, "Hint:")) << good.err;
    host.fault({"no_mailbox", "--adapter", "adapter1"});
    const RunResult bad = host.run_whole({"-dev=zen2", "device_info"});
    EXPECT_NE(bad.status, 0) << bad.out << bad.err;
    EXPECT_EQ(count_of(bad.err, hint), 1u) << bad.err;
    EXPECT_TRUE(bad.err.size() >= hint.size() && bad.err.substr(bad.err.size() - hint.size()) == hint) << bad.err;
}

// Into a pipe the installation's progress is one line once it has ended, not a dot a
// second; under -json standard output is the document alone.
TEST(InstallProgress, IntoAPipeIsOneLine) {
    LoggedHost host;
    host.example("new.pkg", "229.0.1.0");
    host.fault({"install_slow", "--adapter", "adapter1"});
    const RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("is being updated\nFlashing: finished in [0-9]+ s\n"))) << r.out;
    EXPECT_EQ(count_of(r.out, "Flashing:"), 1u) << r.out;
    EXPECT_FALSE(contains(r.out, "..")) << r.out;

    host.example("newer.pkg", "229.0.2.0");
    const RunResult json = host.zeltnvm({"-dev=zen2", "-y", "-json", "install", "newer.pkg"});
    ASSERT_EQ(json.status, 0) << json.out << json.err;
    EXPECT_TRUE(nlohmann::json::accept(json.out)) << json.out;
    EXPECT_FALSE(contains(json.out, "Flashing")) << json.out;
}

}  // namespace
}  // namespace zelt::test
