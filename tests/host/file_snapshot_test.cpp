#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "host/file_snapshot.h"
#include "host/linux_host.h"
#include "host/output_file.h"
#include "tests/support/run_program.h"

namespace {

using zelt::host::FileRead;
using zelt::host::SnapshotMade;

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

SnapshotMade as_snapshot_outcome(FileRead read) {
    switch (read) {
        case FileRead::kOk: return SnapshotMade::kOk;
        case FileRead::kOpenFailed: return SnapshotMade::kOpenFailed;
        case FileRead::kNotRegular: return SnapshotMade::kNotRegular;
        case FileRead::kTooLarge: return SnapshotMade::kTooLarge;
        case FileRead::kNoMemory:
        case FileRead::kReadFailed: return SnapshotMade::kReadFailed;
    }
    return SnapshotMade::kReadFailed;
}

// A snapshot judges its input exactly as a read into memory does: the same files are
// taken with the same bytes, the same ones refused with the same reason, and nothing is
// ever left in the directory that holds the copies.
TEST(HostFileSnapshot, TakesAndRefusesWhatTheReadDoes) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    std::filesystem::create_directories(dir.file("copies"));
    std::mt19937 gen(11);
    std::string large((size_t{3} << 20) + 7, '\0');
    for (char& c : large) c = static_cast<char>(gen());
    zelt::test::write_text_file(dir.file("eight"), std::string("PKG0\0\1\2\3", 8));
    zelt::test::write_text_file(dir.file("large"), large);
    zelt::test::write_text_file(dir.file("empty"), "");
    std::filesystem::create_directories(dir.file("dir.pkg"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("eight"), dir.file("link-to-file"));
    std::filesystem::create_symlink(dir.file("fifo"), dir.file("link-to-fifo"));
    // A file on another file system, when there is one: the kernel may refuse to copy
    // across, and the bytes are then read and written.
    std::string other_fs;
    if (std::filesystem::is_directory("/dev/shm")) {
        other_fs = "/dev/shm/zelt-snapshot-test-" + std::to_string(::getpid());
        zelt::test::write_text_file(other_fs, large);
    }

    struct Case {
        std::string path;
        uint64_t max_size;
    } cases[] = {
        {dir.file("eight"), 8},       {dir.file("eight"), 7},       {dir.file("large"), UINT32_MAX},
        {dir.file("empty"), 8},       {dir.file("dir.pkg"), 8},     {dir.file("fifo"), 8},
        {"/dev/null", 8},             {dir.file("missing"), 8},     {dir.file("link-to-file"), 8},
        {dir.file("link-to-fifo"), 8}, {other_fs, UINT32_MAX},
    };
    for (const Case& c : cases) {
        if (c.path.empty()) continue;
        std::vector<uint8_t> read;
        errno = 0;
        const FileRead read_result = host.read_regular_file(c.path, c.max_size, read);
        const int read_errno = errno;

        zelt::host::FileSnapshot snapshot;
        errno = 0;
        const SnapshotMade made = host.snapshot_regular_file(c.path, c.max_size, dir.file("copies"), snapshot);
        EXPECT_EQ(made, as_snapshot_outcome(read_result)) << c.path;
        if (made == SnapshotMade::kOk) {
            EXPECT_TRUE(snapshot.holds()) << c.path;
            EXPECT_TRUE(std::equal(snapshot.bytes().begin(), snapshot.bytes().end(), read.begin(), read.end()))
                << c.path;
        } else {
            EXPECT_EQ(errno, read_errno) << c.path;
            EXPECT_FALSE(snapshot.holds()) << c.path;
            EXPECT_TRUE(snapshot.bytes().empty()) << c.path;
        }
        EXPECT_TRUE(entries(dir.file("copies")).empty()) << c.path;
    }
    if (!other_fs.empty()) ::unlink(other_fs.c_str());
}

// The copy is the file as it was: changing or removing the file afterwards does not
// reach it, and a moved snapshot keeps the same bytes.
TEST(HostFileSnapshot, IsAPrivateCopy) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    zelt::test::write_text_file(dir.file("pkg"), "PKG0 first");
    zelt::host::FileSnapshot snapshot;
    ASSERT_EQ(host.snapshot_regular_file(dir.file("pkg"), 64, dir.path(), snapshot), SnapshotMade::kOk);
    zelt::test::write_text_file(dir.file("pkg"), "PKG0 other");
    ::unlink(dir.file("pkg").c_str());
    const zelt::host::FileSnapshot moved = std::move(snapshot);
    EXPECT_FALSE(snapshot.holds());
    const std::string copy(moved.bytes().begin(), moved.bytes().end());
    EXPECT_EQ(copy, "PKG0 first");
    struct stat st;
    ASSERT_EQ(::fstat(moved.descriptor(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_nlink, 0u);
    EXPECT_TRUE(entries(dir.path()).empty());
}

// A directory that cannot hold an unnamed file gives its own outcome, before the input
// is judged, so that the caller reads the file instead.
TEST(HostFileSnapshot, DirectoryWithoutRoomForACopyIsToldApart) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    zelt::test::write_text_file(dir.file("pkg"), "PKG0");
    zelt::test::write_text_file(dir.file("plain-file"), "x");
    for (const std::string& place : {dir.file("absent"), dir.file("plain-file"), std::string("/proc")}) {
        for (const std::string& input : {dir.file("pkg"), dir.file("missing")}) {
            zelt::host::FileSnapshot snapshot;
            EXPECT_EQ(host.snapshot_regular_file(input, 64, place, snapshot), SnapshotMade::kNoPlace)
                << place << " " << input;
            EXPECT_FALSE(snapshot.holds());
        }
    }
}

// Linking a snapshot into place gives the name the snapshot's bytes whole, replacing
// what stood there (a planted symbolic link is replaced, not followed), and leaves no
// temporary beside it.
TEST(HostFileSnapshot, LinkReplacingNamesTheCopy) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    std::filesystem::create_directories(dir.file("fw"));
    zelt::test::write_text_file(dir.file("pkg"), "PKG0 staged");
    zelt::test::write_text_file(dir.file("victim"), "untouched");
    for (const bool planted_link : {false, true}) {
        if (planted_link) std::filesystem::create_symlink(dir.file("victim"), dir.file("fw/update.pkg"));
        zelt::host::FileSnapshot snapshot;
        ASSERT_EQ(host.snapshot_regular_file(dir.file("pkg"), 64, dir.file("fw"), snapshot), SnapshotMade::kOk);
        ASSERT_TRUE(zelt::host::link_replacing(host, dir.file("fw/update.pkg"), snapshot.descriptor()));
        EXPECT_FALSE(std::filesystem::is_symlink(dir.file("fw/update.pkg")));
        EXPECT_EQ(zelt::test::read_text_file(dir.file("fw/update.pkg")), "PKG0 staged");
        EXPECT_EQ(zelt::test::read_text_file(dir.file("victim")), "untouched");
        EXPECT_EQ(entries(dir.file("fw")), std::vector<std::string>{"update.pkg"});
        ::unlink(dir.file("fw/update.pkg").c_str());
    }
    // Across file systems the link fails and nothing is left behind.
    struct stat shm, here;
    if (::stat("/dev/shm", &shm) == 0 && ::stat(dir.path().c_str(), &here) == 0 && shm.st_dev != here.st_dev) {
        zelt::host::FileSnapshot snapshot;
        ASSERT_EQ(host.snapshot_regular_file(dir.file("pkg"), 64, "/dev/shm", snapshot), SnapshotMade::kOk);
        EXPECT_FALSE(zelt::host::link_replacing(host, dir.file("fw/update.pkg"), snapshot.descriptor()));
        EXPECT_TRUE(entries(dir.file("fw")).empty());
    }
}

}  // namespace
