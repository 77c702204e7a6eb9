// Several zeltnvm processes writing to one simulated host at once, as an administrator's
// parallel jobs would: installations of different packages started together, an option
// change during an installation, and an installation killed outright. Whatever the
// timing, a run that ends 0 has done its work, one that could not wait any longer ends
// busy, nothing recorded in the adapter's install log is lost, and the NVM stays whole.
// The checks are on outcomes, never on durations.
#include <fcntl.h>
#include <linux/ethtool.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/state/request_log.h"
#include "tests/install/flash_check.h"
#include "tests/install/install_host.h"
#include "wire/hwrm_messages.h"

using namespace zelt;

using zelt::test::contains;
using zelt::test::damaged_items;
using zelt::test::InstallHost;
using zelt::test::kSlowdown;
using zelt::test::read_bytes;
using zelt::test::read_text_file;
using zelt::test::RunResult;
using zelt::test::spawn_zeltnvm;
using zelt::test::staged_files;
using zelt::test::wait_or_kill;

namespace {

// Exit status of a command that found the adapter held by another process for longer
// than it may wait.
constexpr int kBusy = 21;
constexpr const char* kBusyMessage = "Error: Adapter is busy. Please try again after some time";
constexpr const char* kCompleted = "\nFirmware update is completed.\n";

// One zeltnvm run in the background, its standard output and error together in a file
// of the working folder. A run that is still going when the object ends is killed and
// reaped, so a failed assertion leaves no child behind.
class Background {
public:
    Background(const InstallHost& host, const std::vector<std::string>& args, const std::string& output_name)
        : output_(host.work_file(output_name)) {
        const int fd = open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_ = spawn_zeltnvm(host, args, -1, fd, {}, fd);
        if (fd >= 0) close(fd);
    }
    ~Background() {
        if (status_ < 0 && pid_ > 0) {
            kill(pid_, SIGKILL);
            reap(0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    pid_t pid() const { return pid_; }
    // True once the process has ended (it is then reaped).
    bool ended() { return status_ >= 0 || reap(WNOHANG); }
    // Stops the process and returns once it is stopped: true, or false when it ended.
    bool stop() {
        if (ended()) return false;
        kill(pid_, SIGSTOP);
        int status = 0;
        pid_t done;
        while ((done = waitpid(pid_, &status, WUNTRACED)) < 0 && errno == EINTR) {
        }
        if (done == pid_ && WIFSTOPPED(status)) return true;
        if (done == pid_) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    void resume() { kill(pid_, SIGCONT); }
    // Waits for the end; a run still going after `bound` is killed, so that a hang fails
    // the test instead of stalling it. The exit status, 128 + signal when one ended it.
    int wait(std::chrono::seconds bound) {
        if (status_ < 0) status_ = wait_or_kill(pid_, std::chrono::steady_clock::now() + bound);
        return status_;
    }
    std::string output() const { return read_text_file(output_); }

private:
    bool reap(int options) {
        int status = 0;
        pid_t done;
        while ((done = waitpid(pid_, &status, options)) < 0 && errno == EINTR) {
        }
        if (done != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

    std::string output_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// Sets how long a command waits for an adapter another process holds. The tool writes
// its configuration file on its first run; the setting is added to it.
void set_lock_wait(const InstallHost& host, int seconds) {
    const std::string conf = host.root() + "/etc/zeltnvm.conf";
    if (!std::filesystem::exists(conf)) host.zeltnvm({"-dev=zen0", "devid"});
    std::string text = read_text_file(conf);
    if (!text.empty() && text.back() != '\n') text += '\n';
    zelt::test::write_text_file(conf, text + "lock_wait_seconds=" + std::to_string(seconds) + "\n");
}

// An adapter of the default simulated host and the interface the tests select it by.
struct Adapter {
    const char* device;
    const char* name;
};
constexpr Adapter kAdapter0{"zen0", "adapter0"};
constexpr Adapter kAdapter1{"zen2", "adapter1"};

// One entry of an adapter's install log: the whole line and its package version and
// status fields.
struct LogEntry {
    std::string line;
    std::string version;
    std::string status;
};

std::string tab_field(const std::string& line, int position) {
    size_t start = 0;
    for (int i = 0; i < position; ++i) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string::npos) return {};
        start = tab + 1;
    }
    return line.substr(start, line.find('\t', start) - start);
}

// Every adapter's install log as the simulator reads it from the flash, by adapter name.
std::map<std::string, std::vector<LogEntry>> install_logs(const InstallHost& host) {
    const RunResult r = host.zeltsim("show", {"--log"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::vector<LogEntry>> logs;
    std::string adapter;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        start = end + 1;
        const std::string heading = "Install log of ";
        if (line.rfind(heading, 0) == 0 && line.back() == ':') {
            adapter = line.substr(heading.size(), line.size() - heading.size() - 1);
            logs[adapter];
        } else if (line.rfind("  ", 0) == 0 && line.find('\t') != std::string::npos) {
            const std::string entry = line.substr(2);
            logs[adapter].push_back({entry, tab_field(entry, 2), tab_field(entry, 4)});
        }
    }
    return logs;
}

// The package version the adapter's NVM holds, as device_info reports it.
std::string nvm_package_version(const InstallHost& host, const Adapter& adapter) {
    const RunResult r = host.zeltnvm({std::string("-dev=") + adapter.device, "device_info"});
    const std::string label = "Package version on NVM";
    const size_t at = r.out.find(label);
    if (at == std::string::npos) return "(not reported: " + r.out + r.err + ")";
    const size_t value = r.out.find(": ", at) + 2;
    return r.out.substr(value, r.out.find('\n', value) - value);
}

std::vector<std::string> damaged_items_of(const InstallHost& host, const Adapter& adapter) {
    return damaged_items(read_bytes(host.root() + "/sim/" + adapter.name + ".flash"));
}

// How one background installation ended.
struct Outcome {
    Adapter adapter;
    std::string version;
    int status = -1;
    std::string output;
};

// The invariants of one round of installations started together on a fresh host whose
// install logs were `before`: every run ended 0 with the completion message or ended
// busy with its message; each adapter's log keeps its old entries and gained exactly
// one success entry for each run that ended 0 there (so none ended 0 for a package the
// firmware never got, and no entry was lost or written twice); the NVM holds the last
// logged package; every item matches its checksum; no staged package is left behind.
void expect_round_sound(const InstallHost& host, const std::vector<Outcome>& runs,
                        const std::map<std::string, std::vector<LogEntry>>& before) {
    std::set<std::string> adapters;
    for (const Outcome& run : runs) {
        SCOPED_TRACE("install of " + run.version + " on " + run.adapter.device);
        adapters.insert(run.adapter.name);
        EXPECT_TRUE(run.status == 0 || run.status == kBusy) << run.status << "\n" << run.output;
        if (run.status == 0) {
            EXPECT_TRUE(contains(run.output, kCompleted)) << run.output;
        }
        if (run.status == kBusy) {
            EXPECT_TRUE(contains(run.output, kBusyMessage)) << run.output;
        }
    }
    const auto after = install_logs(host);
    for (const std::string& name : adapters) {
        SCOPED_TRACE(name);
        const Adapter adapter = name == kAdapter0.name ? kAdapter0 : kAdapter1;
        const std::vector<LogEntry>& old_log = before.at(name);
        ASSERT_TRUE(after.count(name));
        const std::vector<LogEntry>& log = after.at(name);
        ASSERT_GE(log.size(), old_log.size());
        for (size_t i = 0; i < old_log.size(); ++i) EXPECT_EQ(log[i].line, old_log[i].line);

        std::vector<std::string> logged;
        for (size_t i = old_log.size(); i < log.size(); ++i) {
            EXPECT_EQ(log[i].status, "Success") << log[i].line;
            logged.push_back(log[i].version);
        }
        std::vector<std::string> reported;
        for (const Outcome& run : runs)
            if (run.adapter.name == name && run.status == 0) reported.push_back(run.version);
        std::sort(logged.begin(), logged.end());
        std::sort(reported.begin(), reported.end());
        EXPECT_EQ(logged, reported) << "logged: the new install-log entries; reported: the runs that ended 0";

        if (log.size() > old_log.size()) {
            EXPECT_EQ(nvm_package_version(host, adapter), log.back().version);
        }
        const std::vector<std::string> damaged = damaged_items_of(host, adapter);
        EXPECT_TRUE(damaged.empty()) << damaged.front();
    }
    const std::vector<std::string> left = staged_files(host);
    EXPECT_TRUE(left.empty()) << left.front();
}

// Rounds of twelve `-y -force install` runs of twelve package versions, started
// together; run i goes to adapters[i % adapters.size()]. Each round has a fresh host.
void install_together(const std::vector<Adapter>& adapters, int rounds) {
    constexpr int kRuns = 12;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        InstallHost host;
        // Long enough that a run rarely gives up; one that does must say so.
        set_lock_wait(host, 60 * kSlowdown);
        std::vector<std::string> versions;
        for (int i = 0; i < kRuns; ++i) {
            versions.push_back("229.0." + std::to_string(201 + i) + ".0");
            host.example("p" + std::to_string(i) + ".pkg", versions.back());
        }
        const auto before = install_logs(host);

        std::vector<std::unique_ptr<Background>> started;
        for (int i = 0; i < kRuns; ++i) {
            const Adapter& adapter = adapters[static_cast<size_t>(i) % adapters.size()];
            started.push_back(std::make_unique<Background>(
                host,
                std::vector<std::string>{std::string("-dev=") + adapter.device, "-y", "-force", "install",
                                         "p" + std::to_string(i) + ".pkg"},
                "out" + std::to_string(i) + ".txt"));
        }
        std::vector<Outcome> runs;
        for (int i = 0; i < kRuns; ++i) {
            Background& run = *started[static_cast<size_t>(i)];
            const int status = run.wait(std::chrono::seconds(180 * kSlowdown));
            runs.push_back({adapters[static_cast<size_t>(i) % adapters.size()], versions[static_cast<size_t>(i)],
                            status, run.output()});
        }
        expect_round_sound(host, runs, before);
    }
}

// Sanitizer builds run the programs several times slower: fewer rounds there.
constexpr int kRounds = kSlowdown == 1 ? 3 : 1;

TEST(InstallsTogether, OnOneAdapterEachEndsDoneOrBusyAndTheLogKeepsEveryEntry) {
    install_together({kAdapter0}, kRounds);
}

TEST(InstallsTogether, OnTwoAdaptersEachEndsDoneOrBusyAndTheLogsKeepEveryEntry) {
    install_together({kAdapter0, kAdapter1}, kRounds);
}

// Whether some process holds a lock on the file, a record lock or else a whole-file
// lock (the probe for that one is let go at once), and whether the lock names `pid` as
// its holder, as the kernel reports a record lock's owner or as the file's text says.
struct LockState {
    bool held = false;
    bool names_pid = false;
};
LockState lock_state(const std::string& path, pid_t pid = 0) {
    LockState state;
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return state;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    state.held = fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    if (state.held) {
        state.names_pid = probe.l_pid == pid;
    } else {
        state.held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (!state.held) flock(fd, LOCK_UN);
    }
    char text[32] = {};
    if (state.held && pread(fd, text, sizeof text - 1, 0) > 0 && std::atol(text) == pid) state.names_pid = true;
    close(fd);
    return state;
}
bool file_locked(const std::string& path) { return lock_state(path).held; }

bool staging_lock_held(const InstallHost& host) {
    return file_locked(host.root() + "/run/zeltnvm/zeltnvm-staging.lock");
}

// True when some adapter lock of the host (not the staging lock) is held, and with a
// `holder`, held naming that process.
bool adapter_lock_held(const InstallHost& host, pid_t holder = 0) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(host.root() + "/run/zeltnvm", ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("zeltnvm-", 0) != 0 || name == "zeltnvm-staging.lock") continue;
        const LockState state = lock_state(e.path().string(), holder);
        if (state.held && (holder == 0 || state.names_pid)) return true;
    }
    return false;
}

// True when the simulated host's own session lock is free at this moment.
bool simulator_free(const InstallHost& host) {
    const int fd = open((host.root() + "/sim/lock").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (free) flock(fd, LOCK_UN);
    close(fd);
    return free;
}

// Stops the installation at a moment it holds the adapter's lock (and has recorded
// itself as the holder) but is not inside a simulated firmware message (which would
// hold up every other process's queries too, as no real adapter does) and, with
// `outside_staging`, does not hold the staging lock. False when it ended or no such
// moment came.
bool pause_holding_the_adapter(const InstallHost& host, Background& install, bool outside_staging) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30 * kSlowdown);
    while (std::chrono::steady_clock::now() < give_up && !install.ended()) {
        if (!adapter_lock_held(host)) {
            std::this_thread::yield();
            continue;
        }
        if (!install.stop()) return false;
        if (adapter_lock_held(host, install.pid()) && simulator_free(host) &&
            !(outside_staging && staging_lock_held(host)))
            return true;
        install.resume();
    }
    return false;
}

// An installation stopped while it holds its adapter (pause_holding_the_adapter), with
// the install logs as they were when it started. The moments such a stop needs are
// short: a run that ends before one came is started again, a few times at most.
struct HeldInstall {
    std::unique_ptr<Background> run;
    std::map<std::string, std::vector<LogEntry>> logs_before;
};
HeldInstall hold_an_install(const InstallHost& host, const std::vector<std::string>& args, bool outside_staging) {
    HeldInstall held;
    for (int attempt = 0; attempt < 8 && !held.run; ++attempt) {
        held.logs_before = install_logs(host);
        auto run = std::make_unique<Background>(host, args, "held" + std::to_string(attempt) + ".txt");
        if (pause_holding_the_adapter(host, *run, outside_staging)) held.run = std::move(run);
    }
    return held;
}

// Positions in the request log of the installation's writes to the adapter (the flash
// command and the install-log write-back) and of the option writes.
struct Writes {
    std::vector<size_t> install;
    std::vector<size_t> option;
};
Writes writes_in_request_log(const InstallHost& host) {
    Writes writes;
    const auto records = zelt::sim::read_request_log(host.root());
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        const uint64_t cmd = r.value("cmd", uint64_t{0});
        const uint64_t req_type = r.value("req_type", uint64_t{0});
        if (r.value("channel", "") == "ethtool" && (cmd == ETHTOOL_FLASHDEV || cmd == ETHTOOL_SEEPROM))
            writes.install.push_back(i);
        if (r.value("channel", "") == "lfc" && req_type == HWRM_NVM_SET_VARIABLE) writes.option.push_back(i);
    }
    return writes;
}

// A setoption on the adapter while another process installs on it either waits for the
// installation to end, its writes all after the installation's, or gives up after the
// configured wait with the busy status, naming the installer's process id and writing
// nothing. The installation is held still (stopped) while it holds the adapter, so the
// setoption meets it whatever the machine's load.
TEST(WriterDuringInstall, SetoptionWaitsForTheInstallOrEndsBusyNamingIt) {
    const struct {
        int lock_wait_seconds;
        int status;
    } cases[] = {{60, 0}, {1, kBusy}};
    for (const auto& c : cases) {
        SCOPED_TRACE("lock_wait_seconds=" + std::to_string(c.lock_wait_seconds));
        InstallHost host;
        host.example("new.pkg", "229.0.1.0");
        set_lock_wait(host, c.lock_wait_seconds);
        zelt::sim::clear_request_log(host.root());

        HeldInstall held = hold_an_install(host, {"-dev=zen2", "-y", "-force", "install", "new.pkg"}, false);
        ASSERT_TRUE(held.run) << "no installation was caught holding the adapter";
        Background& install = *held.run;
        Background setoption(host, {"-dev=zen2", "setoption=mba:0#1"}, "setoption.txt");
        int set_status = -1;
        if (c.status == kBusy) {
            // It gives up while the installation is still held.
            set_status = setoption.wait(std::chrono::seconds(30 * kSlowdown));
            install.resume();
        } else {
            // Time to reach the lock and wait for it, then the installation goes on.
            std::this_thread::sleep_for(std::chrono::milliseconds(300 * kSlowdown));
            EXPECT_FALSE(setoption.ended()) << setoption.output();
            install.resume();
            set_status = setoption.wait(std::chrono::seconds(120 * kSlowdown));
        }
        const int install_status = install.wait(std::chrono::seconds(60 * kSlowdown));
        EXPECT_EQ(install_status, 0) << install.output();
        EXPECT_TRUE(contains(install.output(), kCompleted)) << install.output();
        const std::string said = setoption.output();
        EXPECT_EQ(set_status, c.status) << said;

        const Writes writes = writes_in_request_log(host);
        ASSERT_FALSE(writes.install.empty());
        if (c.status == kBusy) {
            EXPECT_TRUE(contains(said, "(PID " + std::to_string(install.pid()) + ")")) << said;
            EXPECT_TRUE(contains(said, kBusyMessage)) << said;
            EXPECT_TRUE(writes.option.empty());
        } else {
            EXPECT_TRUE(contains(said, "mba is set successfully")) << said;
            ASSERT_FALSE(writes.option.empty());
            EXPECT_GT(writes.option.front(), writes.install.back()) << "an option write came before the installation's last";
        }
        EXPECT_TRUE(damaged_items_of(host, kAdapter1).empty());
    }
}

// Installations on different adapters do not wait for each other: with one adapter's
// installation held still while it holds that adapter, an installation on the other
// adapter goes through even with a wait of one second, and both end done.
TEST(InstallsOnTwoAdapters, OneHeldStillDoesNotHoldUpTheOther) {
    InstallHost host;
    host.example("a.pkg", "229.0.1.0");
    host.example("b.pkg", "229.0.2.0");
    set_lock_wait(host, 1);

    HeldInstall held = hold_an_install(host, {"-dev=zen0", "-y", "-force", "install", "a.pkg"}, true);
    ASSERT_TRUE(held.run) << "no installation was caught holding the adapter";
    Background other(host, {"-dev=zen2", "-y", "-force", "install", "b.pkg"}, "other.txt");
    const int other_status = other.wait(std::chrono::seconds(60 * kSlowdown));
    held.run->resume();
    const int held_status = held.run->wait(std::chrono::seconds(60 * kSlowdown));
    EXPECT_EQ(other_status, 0) << other.output();
    expect_round_sound(host,
                       {{kAdapter0, "229.0.1.0", held_status, held.run->output()},
                        {kAdapter1, "229.0.2.0", other_status, other.output()}},
                       held.logs_before);
}

// An installation killed outright (SIGKILL, no cleanup) at a random moment leaves
// nothing that holds the adapter: the next installation proceeds at once and ends 0,
// and the NVM is whole after it. The moments are seeded, so a failure repeats.
TEST(KilledInstall, LeavesNoStaleLockAndTheNextInstallSucceeds) {
    InstallHost host;
    host.example("a.pkg", "229.0.1.0");
    host.example("b.pkg", "229.0.2.0");
    // A lock left behind would hold the next run up for this long and then end it busy.
    set_lock_wait(host, 5);
    const std::vector<std::string> killed_args = {"-dev=zen2", "-y", "-force", "install", "a.pkg"};
    const std::vector<std::string> next_args = {"-dev=zen2", "-y", "-force", "install", "b.pkg"};

    // One whole installation gives the span the kills are spread over.
    const auto started = std::chrono::steady_clock::now();
    const RunResult whole = host.zeltnvm(killed_args);
    ASSERT_EQ(whole.status, 0) << whole.out << whole.err;
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);

    std::mt19937 random(20261210);
    std::uniform_int_distribution<long> moment(0, span.count());
    for (int run = 0; run < 8; ++run) {
        const std::chrono::microseconds delay(moment(random));
        SCOPED_TRACE("run " + std::to_string(run) + ": killed after " + std::to_string(delay.count()) + " us");
        {
            Background killed(host, killed_args, "killed.txt");
            std::this_thread::sleep_for(delay);
            kill(killed.pid(), SIGKILL);
            killed.wait(std::chrono::seconds(10 * kSlowdown));
        }
        Background next(host, next_args, "next.txt");
        EXPECT_EQ(next.wait(std::chrono::seconds(60 * kSlowdown)), 0) << next.output();
        EXPECT_TRUE(contains(next.output(), kCompleted)) << next.output();
        const std::vector<std::string> damaged = damaged_items_of(host, kAdapter1);
        EXPECT_TRUE(damaged.empty()) << damaged.front();
        EXPECT_EQ(nvm_package_version(host, kAdapter1), "229.0.2.0");
        // The next install clears what the killed one left of its staging.
        const std::vector<std::string> left = staged_files(host);
        EXPECT_TRUE(left.empty()) << left.front();
    }
}

}  // namespace
