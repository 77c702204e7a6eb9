// Package file arguments that are not ordinary package files: install and view refuse
// them at once, naming the file, instead of waiting on them or reading them whole.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/install/install_host.h"

namespace {

using zelt::test::contains;
using zelt::test::RunOptions;
using zelt::test::RunResult;
using Host = zelt::test::InstallHost;

// Status of a run killed by the time-out below: a hang fails the test, it does not stall it.
constexpr int kKilled = 128 + 9;

// zeltnvm against `host`, killed when it has not ended after a generous time.
RunResult run_bounded(const Host& host, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions o;
    o.env = {{"ZELTNVM_SIM", host.root()}};
    o.cwd = host.work_dir();
    o.wrapper = {"timeout", "-s", "KILL", "60"};
    return zelt::test::run_program(argv, o);
}

// A bound unix socket at `path`; the descriptor stays open for the test.
int bind_socket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
    return fd;
}

// A pipe without a writer, a device and a socket are not package files; the run ends
// at once with a message naming the file and a failure status, as an unreadable file
// does. An ordinary package on the same host still installs.
TEST(PackageFileArgument, NonRegularFilesAreRefusedAtOnce) {
    Host host;
    ASSERT_EQ(::mkfifo(host.work_file("fifo.pkg").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", host.work_file("null.pkg"));
    std::filesystem::create_symlink("/dev/zero", host.work_file("zero.pkg"));
    const int sock = bind_socket(host.work_file("sock.pkg"));
    ASSERT_GE(sock, 0);

    for (const char* file : {"fifo.pkg", "null.pkg", "zero.pkg", "sock.pkg"}) {
        const std::string refusal = std::string(file) + ": not a regular file\n";
        RunResult r = run_bounded(host, {"-dev=zen0", "-y", "install", file});
        EXPECT_NE(r.status, kKilled) << file;
        EXPECT_EQ(r.status, 4) << file << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, refusal)) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, "Invalid package file. Package installation failed")) << r.out << r.err;

        r = run_bounded(host, {"view", file});
        EXPECT_NE(r.status, kKilled) << file;
        EXPECT_NE(r.status, 0) << file;
        EXPECT_TRUE(contains(r.out + r.err, refusal)) << r.out << r.err;
        EXPECT_TRUE(contains(r.err, "Command 'view' error: FILE_OPEN_FAILURE (errno: 19, ")) << r.err;
    }
    ::close(sock);

    host.example("good.pkg", "229.0.201.0");
    const RunResult ok = run_bounded(host, {"-dev=zen0", "-y", "install", "good.pkg"});
    EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
    EXPECT_TRUE(contains(ok.out, "Firmware update is completed.")) << ok.out;
}

// A directory given as the package file is never read as one: the run fails at once.
TEST(PackageFileArgument, DirectoryFailsAtOnce) {
    Host host;
    std::filesystem::create_directories(host.work_file("x.pkg"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-dev=zen0", "-y", "install", "x.pkg"}, std::vector<std::string>{"view", "x.pkg"}}) {
        const RunResult r = run_bounded(host, args);
        EXPECT_NE(r.status, kKilled) << args[0];
        EXPECT_NE(r.status, 0) << r.out << r.err;
        EXPECT_FALSE(contains(r.out, "Firmware update is completed.")) << r.out;
    }
}

// A sparse file of `size` bytes that begins like a package.
void sparse_package(const std::string& path, uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "PKG0", 4), 4);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
}

// Sparse files of 4 GiB and one byte over it that begin like a package are refused by
// their size, before any of them is read: the runs stay small in memory. (A length of
// 4 GiB does not fit the 32 bits a package's length is handed on in.)
TEST(PackageFileArgument, OversizedFileIsRefusedWithoutReadingIt) {
    Host host;
    const std::string big = host.work_file("big.pkg");
    for (const uint64_t size : {uint64_t{1} << 32, (uint64_t{1} << 32) + 1}) {
        sparse_package(big, size);
        const std::string refusal = "big.pkg: larger than the largest package (4 GiB)\n";
        RunResult r = run_bounded(host, {"-dev=zen0", "-y", "install", "big.pkg"});
        EXPECT_EQ(r.status, 4) << size << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, refusal)) << size << r.out << r.err;

        r = run_bounded(host, {"view", "big.pkg"});
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(contains(r.out + r.err, refusal)) << size << r.out << r.err;
        EXPECT_TRUE(contains(r.err, "Command 'view' error: FILE_OPEN_FAILURE (errno: 27, ")) << size << r.err;
    }

    // The largest resident size of any program this test has waited for, in KiB.
    rusage usage{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 100 * 1024);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// One byte less, 4 GiB - 1, is the largest package length there is: the size check lets
// it through and the run goes on to read it. Under a 1 GiB address-space limit the
// read cannot be had, which ends the run without a 4 GiB read.
TEST(PackageFileArgument, LargestPackageLengthPassesTheSizeCheck) {
    if (kAddressSanitizer) GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
    Host host;
    sparse_package(host.work_file("big.pkg"), (uint64_t{1} << 32) - 1);
    std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm"), "verify", "-v", "big.pkg"};
    RunOptions o;
    o.env = {{"ZELTNVM_SIM", host.root()}};
    o.cwd = host.work_dir();
    o.wrapper = {"prlimit", "--as=1073741824", "timeout", "-s", "KILL", "60"};
    const RunResult r = zelt::test::run_program(argv, o);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.status, kKilled);
    EXPECT_FALSE(contains(r.out + r.err, "larger than the largest package")) << r.out << r.err;
    EXPECT_TRUE(contains(r.out + r.err, "Package 'big.pkg' read error: MALLOC_FAILURE")) << r.out << r.err;
}

}  // namespace
