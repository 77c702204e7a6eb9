// An installation interrupted with SIGINT: the process ends with 1, the adapter's NVM
// is whole (every item matches its directory checksum), the simulated host is free
// for the next command, and a second installation succeeds. Interrupted at random
// moments, while it prints too, it always ends within a second.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/flash/flash_model.h"
#include "tests/install/flash_check.h"
#include "tests/install/install_host.h"

using zelt::test::contains;
using zelt::test::damaged_items;
using zelt::test::InstallHost;
using zelt::test::kSlowdown;
using zelt::test::read_bytes;
using zelt::test::RunResult;
using zelt::test::spawn_zeltnvm;
using zelt::test::staged_files;
using zelt::test::wait_or_kill;

namespace {

// zeltnvm started against the host, interrupted with SIGINT once `interrupt_now`
// says so. Returns the exit status (128 + signal when a signal ended it).
template <class Ready>
int run_interrupted(const InstallHost& host, const std::vector<std::string>& args, Ready interrupt_now) {
    const pid_t pid = spawn_zeltnvm(host, args, -1, -1);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!interrupt_now() && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// How a run ended that was sent SIGINT `interrupts` times from `delay` on.
struct Interrupted {
    bool ended_first = false;  // it had ended before the first signal
    int status = -1;           // exit status, 128 + signal when a signal ended it
    std::chrono::microseconds took{0};  // from the first signal (without any: from the start) to its end
    std::string out;                    // its standard output
};

// True once the process catches SIGINT. Before, a signal ends it before it has done
// anything.
bool catches_sigint(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
    return false;
}

// zeltnvm started against the host with its standard output on a pipe that is read as
// it prints, sent SIGINT `interrupts` times `gap` apart once it catches the signal and
// `delay` has passed.
Interrupted run_with_interrupts(const InstallHost& host, const std::vector<std::string>& args,
                                std::chrono::microseconds delay, int interrupts, std::chrono::microseconds gap) {
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t pid = spawn_zeltnvm(host, args, -1, out[1], {out[0]});
    close(out[1]);
    Interrupted result;
    std::thread reader([fd = out[0], &result] {
        char buffer[256];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) result.out.append(buffer, static_cast<size_t>(n));
    });
    siginfo_t info{};
    const auto ended = [&] {
        return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
    };
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!catches_sigint(pid) && !ended() && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
    std::this_thread::sleep_for(delay);
    result.ended_first = ended();
    const auto first = std::chrono::steady_clock::now() - (interrupts == 0 ? delay : std::chrono::microseconds(0));
    for (int i = 0; i < interrupts; ++i) {
        if (i > 0) std::this_thread::sleep_for(gap);
        kill(pid, SIGINT);
    }
    // A run that hangs (a cleanup waiting for a lock the interrupted code holds) is
    // killed after a while, so that it fails the bound instead of stalling the test.
    result.status = wait_or_kill(pid, std::chrono::steady_clock::now() + std::chrono::seconds(10 * kSlowdown));
    result.took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - first);
    reader.join();
    close(out[0]);
    return result;
}

TEST(InstallInterrupted, EndsWithinASecondWhereverTheSignalsLand) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    const std::string flash = host.root() + "/sim/adapter1.flash";
    const std::vector<std::string> install = {"-dev=zen2", "-y", "-force", "install", "new.pkg"};

    // One whole installation gives the span the signals are spread over.
    const Interrupted whole = run_with_interrupts(host, install, std::chrono::microseconds(0), 0, {});
    ASSERT_EQ(whole.status, 0);

    std::mt19937 random(20261210);
    // The last fifth is left out: a signal that comes once the work is done may find the
    // run already ending, with its own status.
    std::uniform_int_distribution<long> moment(0, whole.took.count() * 4 / 5);
    // Under load the part of a run before the flash, where a signal ends it, can be a
    // small share of the whole: after the first 16 runs the signals come in its first
    // fifth, until enough runs were ended by them.
    std::uniform_int_distribution<long> early_moment(0, whole.took.count() / 5);
    std::uniform_int_distribution<int> count(1, 3);
    std::uniform_int_distribution<long> gap_us(0, 3000);
    int ended_by_signal = 0;
    for (int run = 0; run < 16 || (ended_by_signal < 4 && run < 64); ++run) {
        const std::chrono::microseconds delay(run < 16 ? moment(random) : early_moment(random));
        const int interrupts = count(random);
        const std::chrono::microseconds gap(gap_us(random));
        SCOPED_TRACE("run " + std::to_string(run) + ": " + std::to_string(interrupts) + " signal(s) after " +
                     std::to_string(delay.count()) + " us, " + std::to_string(gap.count()) + " us apart");
        const Interrupted r = run_with_interrupts(host, install, delay, interrupts, gap);
        const bool completed = contains(r.out, "\nFirmware update is completed.\n");
        if (r.status == 1) ++ended_by_signal;
        if (r.ended_first || completed) {
            EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
        } else {
            EXPECT_EQ(r.status, 1) << r.out;
        }
        if (!r.ended_first) {
            EXPECT_LT(r.took.count(), 1000000 * kSlowdown);
        }
        const std::vector<std::string> damaged = damaged_items(read_bytes(flash));
        EXPECT_TRUE(damaged.empty()) << damaged.front();
        // No staged package, whole or temporary, outlives the run.
        EXPECT_EQ(staged_files(host), std::vector<std::string>{});
        const RunResult show = host.zeltsim("show", {"--adapters"});
        EXPECT_EQ(show.status, 0) << show.err;
    }
    // Most signals land while the work goes on; how many depends on the machine's load,
    // so this only checks that the runs were really interrupted, not a share of them.
    EXPECT_GE(ended_by_signal, 4);

    // Nothing is left held: the next installation goes through.
    const RunResult again = host.zeltnvm(install);
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_TRUE(contains(again.out, "\nFirmware update is completed.\n")) << again.out;
}

TEST(InstallInterrupted, LeavesTheNvmWholeAndTheHostFree) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    host.fault({"install_slow", "--adapter", "adapter1"});
    const std::string flash = host.root() + "/sim/adapter1.flash";
    const std::vector<uint8_t> before = read_bytes(flash);
    ASSERT_TRUE(damaged_items(before).empty());
    const std::vector<uint8_t> directory_before(before.begin(), before.begin() + zelt::sim::FlashModel::kDirectoryBytes);

    // Interrupted while the firmware writes the flash: the new directory is in place,
    // the items are not yet.
    const int status = run_interrupted(host, {"-dev=zen2", "-y", "install", "new.pkg"}, [&] {
        const std::vector<uint8_t> now = read_bytes(flash, directory_before.size());
        return now.size() == directory_before.size() &&
               !std::equal(directory_before.begin(), directory_before.end(), now.begin());
    });
    EXPECT_EQ(status, 1);
    const std::vector<std::string> damaged = damaged_items(read_bytes(flash));
    EXPECT_TRUE(damaged.empty()) << damaged.front();
    // Interrupted while the staged package was being flashed: it is removed all the same.
    EXPECT_EQ(staged_files(host), std::vector<std::string>{});

    // The host answers the next commands: the lock is free, and the update goes in again.
    RunResult r = host.zeltsim("show", {"--adapters"});
    EXPECT_EQ(r.status, 0) << r.err;
    host.fault({"--clear"});
    r = host.zeltnvm({"-dev=zen2", "-y", "-force", "install", "new.pkg"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "\nFirmware update is completed.\n")) << r.out;
    EXPECT_TRUE(damaged_items(read_bytes(flash)).empty());
}

}  // namespace

namespace {

// Ctrl-C at the confirmation prompt ends the run at once, with status 1 and the NVM
// untouched, even though nothing was typed: the wait for the answer is interrupted.
TEST(InstallInterrupted, AtThePromptEndsWithoutAnAnswer) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    const std::string flash = host.root() + "/sim/adapter1.flash";
    const std::vector<uint8_t> before = read_bytes(flash);

    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid =
        spawn_zeltnvm(host, {"-dev=zen2", "-force", "install", "new.pkg"}, in[0], out[1], {in[1], out[0]});
    close(in[0]);
    close(out[1]);
    // The writing end of standard input stays open: the tool waits for an answer.
    std::string printed;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20 * kSlowdown);
    char buffer[256];
    while (!contains(printed, "Do you want to continue (Y/N)?") && std::chrono::steady_clock::now() < give_up) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        printed.append(buffer, static_cast<size_t>(n));
    }
    ASSERT_TRUE(contains(printed, "Do you want to continue (Y/N)?")) << printed;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // into the read of the answer
    const auto sent = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    const int status = wait_or_kill(pid, sent + std::chrono::seconds(10 * kSlowdown));
    const auto took = std::chrono::steady_clock::now() - sent;
    close(in[1]);
    close(out[0]);
    ASSERT_LT(status, 128) << "ended by signal " << status - 128;
    EXPECT_EQ(status, 1);
    EXPECT_LT(took, std::chrono::seconds(kSlowdown));
    EXPECT_TRUE(read_bytes(flash) == before);
}

}  // namespace

namespace {

// What the run prints when a signal waited for the install log and the identity.
constexpr const char* kCarriedThrough = "The run was interrupted after the firmware update had completed";

// Hang-up, quit, broken pipe and termination are handled like Ctrl-C. One that comes
// as the firmware accepts the package waits for the install log and the MAC addresses
// and ends the run with 1; one that comes with a refused flash ends it at once, with 1.
// Either way the staged package is gone.
TEST(InstallInterrupted, SignalsAtTheFlashLeaveNoStagedFile) {
    struct Case {
        int signal;
        bool refused;  // the driver refuses the flash
    } cases[] = {{SIGHUP, false}, {SIGQUIT, false}, {SIGPIPE, false}, {SIGTERM, false}, {SIGHUP, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.refused ? ", flash refused" : ""));
        InstallHost host;
        host.example("new.pkg", "229.0.1.0");
        host.fault({"signal", "--signal", std::to_string(c.signal), "--ethtool-cmd", "51", "--function", "zen2"});
        if (c.refused) host.fault({"ethtool_errno", "--ethtool-cmd", "51", "--errno", "30", "--function", "zen2"});
        const RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "new.pkg"});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(staged_files(host), std::vector<std::string>{});
        EXPECT_EQ(contains(r.out, "Firmware update is completed."), !c.refused) << r.out;
        EXPECT_EQ(contains(r.err, kCarriedThrough), !c.refused) << r.err;
        EXPECT_FALSE(contains(r.err, "Package installation failed")) << r.err;
    }
}

// The install logs of the host's adapters as `zeltsim show --log` prints them, each
// entry without its time (the two hosts' clocks differ).
std::string install_logs(const InstallHost& host) {
    const RunResult show = host.zeltsim("show", {"--log"});
    EXPECT_EQ(show.status, 0) << show.err;
    std::istringstream lines(show.out);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        out += (tab == std::string::npos ? line : line.substr(tab)) + "\n";
    }
    return out;
}

// Ctrl-C as the firmware accepts the package, on firmware that resets the MAC
// addresses with an update: the run still reports the new entry of the install log and
// writes the addresses back, so the adapter is left as a twin host's after an install
// that was not interrupted.
TEST(InstallInterrupted, AfterTheFlashTheLogAndMacAddressesAreWrittenBackFirst) {
    // The address of the adapter's first function (the one its NVM keeps a function
    // configuration for).
    const std::vector<std::string> macs = {"00-1b-22-03-44-55"};
    InstallHost interrupted, twin;
    for (const InstallHost* host : {&interrupted, &twin}) {
        host->example("new.pkg", "229.0.1.0");
        host->fault({"install_resets_macs", "--adapter", "adapter1"});
        for (size_t i = 0; i < macs.size(); ++i) {
            const RunResult r =
                host->zeltnvm({"-dev=zen2", "setoption=mac_address:" + std::to_string(i) + "#" + macs[i]});
            ASSERT_EQ(r.status, 0) << r.out << r.err;
        }
    }
    interrupted.fault({"signal", "--signal", std::to_string(SIGINT), "--ethtool-cmd", "51", "--function", "zen2"});
    const std::vector<std::string> install = {"-dev=zen2", "-y", "install", "new.pkg"};
    const RunResult done = twin.zeltnvm(install);
    ASSERT_EQ(done.status, 0) << done.out << done.err;
    const RunResult stopped = interrupted.zeltnvm(install);
    EXPECT_EQ(stopped.status, 1) << stopped.out << stopped.err;
    EXPECT_TRUE(contains(stopped.err, kCarriedThrough)) << stopped.err;

    for (size_t i = 0; i < macs.size(); ++i) {
        const std::string get = "getoption=mac_address:" + std::to_string(i);
        const RunResult mac = interrupted.zeltnvm({"-dev=zen2", get});
        EXPECT_TRUE(contains(mac.out, "mac_address = " + macs[i])) << mac.out;
        EXPECT_EQ(mac.out, twin.zeltnvm({"-dev=zen2", get}).out);
    }
    const std::string log = install_logs(interrupted);
    EXPECT_TRUE(contains(log, "\t229.0.1.0\t")) << log;
    EXPECT_EQ(log, install_logs(twin));
}

}  // namespace
