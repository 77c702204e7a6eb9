// Helpers for tests that run zeltnvm in the background against a simulated host and
// check the adapter's flash afterwards: read a flash file, list its damaged items and
// the staged packages left behind, start the tool as a child process and wait for it
// with a bound.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "formats/crypto/crc32.h"
#include "sim/flash/flash_model.h"
#include "tests/install/install_host.h"

namespace zelt::test {

// The first `limit` bytes of a file (all of it by default), read in one go so that
// polling stays quick in sanitizer builds too.
inline std::vector<uint8_t> read_bytes(const std::string& path, size_t limit = SIZE_MAX) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    const auto size = static_cast<size_t>(in.tellg());
    std::vector<uint8_t> bytes(std::min(size, limit));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// Items of a flash image whose data does not match the checksum of their entry.
inline std::vector<std::string> damaged_items(std::vector<uint8_t> image) {
    zelt::sim::FlashModel flash(image);
    std::vector<std::string> damaged;
    if (!flash.has_directory()) return {"no directory"};
    for (uint32_t i = 0; i < flash.entry_count(); ++i) {
        const zelnvm_directory_entry_t e = flash.entry(i);
        if (e.type == 0) continue;
        if (uint64_t{e.item_location} + e.data_length > image.size() ||
            crc32i(ZELT_CRC32_INIT, image.data() + e.item_location, e.data_length) != e.data_chksum)
            damaged.push_back("entry " + std::to_string(i) + " type " + std::to_string(e.type));
    }
    return damaged;
}

// What is left in the host's firmware directory, where installations stage packages
// (the directory of recovery images the host keeps there is not staging).
inline std::vector<std::string> staged_files(const InstallHost& host) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(host.root() + "/lib/firmware", ec))
        if (e.path().filename() != "diagfw") names.push_back(e.path().filename().string());
    return names;
}

// Starts zeltnvm with `args` against the host, in its working folder, with standard
// input from `in`, standard output to `out` and standard error to `err` (-1: /dev/null).
// The child closes `close_in_child` (the parent's ends of the pipes).
inline pid_t spawn_zeltnvm(const InstallHost& host, const std::vector<std::string>& args, int in, int out,
                           std::initializer_list<int> close_in_child = {}, int err = -1) {
    std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid != 0) return pid;
    setenv("ZELTNVM_SIM", host.root().c_str(), 1);
    if (chdir(host.work_dir().c_str()) != 0) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    dup2(in >= 0 ? in : null, 0);
    dup2(out >= 0 ? out : null, 1);
    dup2(err >= 0 ? err : null, 2);
    for (int fd : close_in_child) close(fd);
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    execv(cargv[0], cargv.data());
    _exit(127);
}

// Waits for the child `pid` to end; one still running at `kill_at` is killed, so that a
// hang fails the test instead of stalling it. The exit status, 128 + signal when a
// signal ended it.
inline int wait_or_kill(pid_t pid, std::chrono::steady_clock::time_point kill_at) {
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() > kill_at) kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// How much slower the programs run in a sanitizer build, for bounds on waits.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 5;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSlowdown = 5;
#else
constexpr int kSlowdown = 1;
#endif
#else
constexpr int kSlowdown = 1;
#endif

}  // namespace zelt::test
