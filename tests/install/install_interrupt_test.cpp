// An installation interrupted with SIGINT: the process ends with 1, the adapter's NVM
// is whole (every item matches its directory checksum), the simulated host is free
// for the next command, and a second installation succeeds.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "formats/crypto/crc32.h"
#include "sim/flash/flash_model.h"
#include "tests/install/install_host.h"

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::RunResult;

namespace {

// The first `limit` bytes of a file (all of it by default), read in one go so that
// polling stays quick in sanitizer builds too.
std::vector<uint8_t> read_bytes(const std::string& path, size_t limit = SIZE_MAX) {
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
std::vector<std::string> damaged_items(std::vector<uint8_t> image) {
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

// zeltnvm started against the host, interrupted with SIGINT once `interrupt_now`
// says so. Returns the exit status (128 + signal when a signal ended it).
template <class Ready>
int run_interrupted(const InstallHost& host, const std::vector<std::string>& args, Ready interrupt_now) {
    std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ZELTNVM_SIM", host.root().c_str(), 1);
        if (chdir(host.work_dir().c_str()) != 0) _exit(127);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> cargv;
        for (std::string& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!interrupt_now() && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
