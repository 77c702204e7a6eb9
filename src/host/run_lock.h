// Exclusive locks between processes of this tool, as file locks on files in the
// directory /run/zeltnvm (under the simulated root for the simulated host), which only
// the user the tool runs as may write: in a directory every user may write, any user
// could create a lock file first and so block every run.
//
// A lock is a flock(2) on an open file: the kernel releases it when its holder ends,
// however it ends, so no lock outlives a killed process. The holder writes its process
// id into the file so that a process that gives up waiting can name it. The wait runs
// in real time whatever the host's clock, since the other process is real; a signal
// ends it at once through the interruption point.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "host/host.h"

namespace zelt::host {

// The directory holding the lock files.
inline constexpr const char* kRunLockDirectory = "/run/zeltnvm";

// A held lock; released when destroyed (or when the process ends).
class RunLock {
public:
    RunLock() = default;
    explicit RunLock(int fd) : fd_(fd) {}
    ~RunLock();
    RunLock(RunLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

enum class LockOutcome {
    kHeld,    // `lock` holds it
    kBusy,    // another process held it for the whole wait; `holder` names it (0: unknown)
    kFailed,  // the lock file could not be created or used; `error` is the errno
};

struct LockAttempt {
    LockOutcome outcome = LockOutcome::kFailed;
    RunLock lock;
    pid_t holder = 0;
    int error = 0;
};

// The lock file name for `key`: "zeltnvm-<key>.lock", with every character of the key
// that is not a letter, digit, '-' or '.' replaced by '_' (a serial number may hold
// anything, a file name may not).
std::string run_lock_name(std::string_view key);

// How the messages about a busy lock name its holder: "another zeltnvm process (PID
// <holder>)", without the PID when it is not known (0).
std::string lock_holder_text(pid_t holder);

// Takes the lock "/run/zeltnvm/<name>", waiting up to `wait_ms` milliseconds of real
// time while another process holds it. The directory is created (mode 0700) when
// missing; it must be a directory, not a symbolic link, owned by this user and writable
// by neither group nor others. The file is opened without following a symbolic link
// and must be a regular file owned by this user with no other link. Anything else is
// kFailed (EPERM when the directory or the file is refused).
LockAttempt take_run_lock(Host& host, std::string_view name, unsigned wait_ms);

}  // namespace zelt::host
