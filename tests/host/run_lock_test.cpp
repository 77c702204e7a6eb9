// Locks between processes: a second taker waits and then names the holder; a holder's
// death frees the lock; a lock file planted as a link, or a lock directory another user
// may write, is refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "host/linux_host.h"
#include "host/run_lock.h"
#include "tests/support/run_program.h"

namespace {

using zelt::host::LockOutcome;
using zelt::host::take_run_lock;

// A child that takes the lock, tells the parent through a pipe, and holds the lock
// until it is killed.
pid_t holding_child(zelt::host::Host& host, const std::string& name) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        auto attempt = take_run_lock(host, name, 0);
        const char held = attempt.outcome == LockOutcome::kHeld ? 'y' : 'n';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &held, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 'n';
    [[maybe_unused]] const ssize_t n = ::read(ready[0], &held, 1);
    ::close(ready[0]);
    return held == 'y' ? pid : -1;
}

void kill_and_reap(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

TEST(RunLock, AnotherProcessWaitsThenGetsTheHoldersPidAndADeadHolderFreesIt) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    const std::string name = zelt::host::run_lock_name("adapter-SN 1/2");
    EXPECT_EQ(name, "zeltnvm-adapter-SN_1_2.lock");

    const pid_t holder = holding_child(host, name);
    ASSERT_GT(holder, 0);
    // The directory was made for this user alone.
    struct stat st;
    ASSERT_EQ(::lstat(dir.file("run/zeltnvm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    const auto started = std::chrono::steady_clock::now();
    auto busy = take_run_lock(host, name, 200);
    EXPECT_EQ(busy.outcome, LockOutcome::kBusy);
    EXPECT_EQ(busy.holder, holder);
    EXPECT_FALSE(busy.lock.held());
    // It did wait for the holder before giving up.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));

    // SIGKILL leaves the lock file behind, but not the lock.
    kill_and_reap(holder);
    auto taken = take_run_lock(host, name, 0);
    ASSERT_EQ(taken.outcome, LockOutcome::kHeld);
    EXPECT_TRUE(taken.lock.held());
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("run/zeltnvm/" + name)));

    // Released on destruction: another process takes it at once.
    taken.lock = zelt::host::RunLock();
    const pid_t next = holding_child(host, name);
    EXPECT_GT(next, 0);
    if (next > 0) kill_and_reap(next);
}

TEST(RunLock, RefusesALockFilePlantedAsALinkOrDirectory) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    std::filesystem::create_directories(dir.file("run/zeltnvm/zeltnvm-dir.lock"));
    zelt::test::write_text_file(dir.file("target"), "keep");
    std::filesystem::create_symlink(dir.file("target"), dir.file("run/zeltnvm/zeltnvm-link.lock"));
    for (const char* name : {"zeltnvm-dir.lock", "zeltnvm-link.lock"}) {
        auto attempt = take_run_lock(host, name, 0);
        EXPECT_EQ(attempt.outcome, LockOutcome::kFailed) << name;
        EXPECT_NE(attempt.error, 0) << name;
    }
    EXPECT_EQ(zelt::test::read_text_file(dir.file("target")), "keep");
}

// A lock directory others may write, or reached through a link, is refused, and so is a
// lock file with a second link: anyone who could make them could block every run.
TEST(RunLock, RefusesADirectoryOthersMayWriteAndALockFileWithASecondLink) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        std::function<void(const zelt::test::TempDir&)> plant;
    } cases[] = {
        {"writable by every user", [](const zelt::test::TempDir& d) {
             fs::create_directories(d.file("run/zeltnvm"));
             ::chmod(d.file("run/zeltnvm").c_str(), 01777);
         }},
        {"writable by the group", [](const zelt::test::TempDir& d) {
             fs::create_directories(d.file("run/zeltnvm"));
             ::chmod(d.file("run/zeltnvm").c_str(), 0770);
         }},
        {"a link to a directory", [](const zelt::test::TempDir& d) {
             fs::create_directories(d.file("elsewhere"));
             ::chmod(d.file("elsewhere").c_str(), 0700);
             fs::create_directories(d.file("run"));
             fs::create_directory_symlink(d.file("elsewhere"), d.file("run/zeltnvm"));
         }},
        {"a lock file with a second link", [](const zelt::test::TempDir& d) {
             fs::create_directories(d.file("run/zeltnvm"));
             ::chmod(d.file("run/zeltnvm").c_str(), 0700);
             zelt::test::write_text_file(d.file("run/zeltnvm/other"), "");
             fs::create_hard_link(d.file("run/zeltnvm/other"), d.file("run/zeltnvm/zeltnvm-staging.lock"));
         }},
    };
    for (const Case& c : cases) {
        zelt::test::TempDir dir;
        zelt::host::LinuxHost host(dir.path());
        c.plant(dir);
        auto attempt = take_run_lock(host, "zeltnvm-staging.lock", 0);
        EXPECT_EQ(attempt.outcome, LockOutcome::kFailed) << c.what;
        EXPECT_EQ(attempt.error, EPERM) << c.what;
        EXPECT_FALSE(attempt.lock.held()) << c.what;
    }
}

}  // namespace
