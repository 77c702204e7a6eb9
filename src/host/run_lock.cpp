#include "host/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/interrupt.h"

namespace zelt::host {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

// The process id the holder wrote into the lock file, or 0.
pid_t recorded_holder(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return pid > 0 && end != text ? static_cast<pid_t>(pid) : 0;
}

// Records this process as the holder: the whole file becomes its process id.
void record_holder(int fd) {
    const std::string text = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, text.data(), text.size(), 0);
    }
}

// Opens the lock directory, creating it when missing: its descriptor, or -errno. The
// checks run on the opened directory, so that what is checked is what the lock file is
// created in.
int open_lock_directory(Host& host) {
    const std::string_view directory = kRunLockDirectory;
    const std::string_view parent = directory.substr(0, directory.rfind('/'));
    if (!host.is_directory(parent)) host.make_directories(parent);
    const std::string path = host.map_path(directory);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -errno;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP || errno == ENOTDIR ? -EPERM : -errno;
    struct stat st;
    int result = fd;
    if (::fstat(fd, &st) != 0) {
        result = -errno;
    } else if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        result = -EPERM;
    }
    if (result < 0) ::close(fd);
    return result;
}

LockAttempt failed(int error) {
    LockAttempt attempt;
    attempt.outcome = LockOutcome::kFailed;
    attempt.error = error;
    return attempt;
}

}  // namespace

RunLock::~RunLock() {
    if (fd_ >= 0) ::close(fd_);
}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

std::string run_lock_name(std::string_view key) {
    std::string name = "zeltnvm-";
    for (char c : key) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
        name += plain ? c : '_';
    }
    return name + ".lock";
}

std::string lock_holder_text(pid_t holder) {
    std::string text = "another zeltnvm process";
    if (holder > 0) text += " (PID " + std::to_string(holder) + ")";
    return text;
}

LockAttempt take_run_lock(Host& host, std::string_view name, unsigned wait_ms) {
    const int dir = open_lock_directory(host);
    if (dir < 0) return failed(-dir);
    const std::string file_name(name);
    const int fd = ::openat(dir, file_name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int open_error = errno;
    ::close(dir);
    if (fd < 0) return failed(open_error);
    RunLock file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) return failed(errno);
    // A second link would let whoever made it hold the same file under another name.
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) return failed(EPERM);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            record_holder(fd);
            LockAttempt attempt;
            attempt.outcome = LockOutcome::kHeld;
            attempt.lock = std::move(file);
            return attempt;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return failed(errno);
        if (std::chrono::steady_clock::now() >= deadline) {
            LockAttempt attempt;
            attempt.outcome = LockOutcome::kBusy;
            attempt.holder = recorded_holder(fd);
            if (attempt.holder == 0) {
                // The holder may be between taking the lock and writing its id.
                std::this_thread::sleep_for(kPollInterval);
                attempt.holder = recorded_holder(fd);
            }
            return attempt;
        }
        std::this_thread::sleep_for(kPollInterval);
        interruption_point();
    }
}

}  // namespace zelt::host
