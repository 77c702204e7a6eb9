#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "host/linux_host.h"
#include "tests/support/run_program.h"

namespace {

using zelt::host::FileRead;

// Reads of whole files with a size bound: the bytes come back as they are up to the
// bound, and what is over it or is not a regular file comes back empty with its reason.
TEST(HostReadRegularFile, ReadsUpToTheBoundAndRefusesTheRest) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    zelt::test::write_text_file(dir.file("eight"), std::string("PKG0\0\1\2\3", 8));
    zelt::test::write_text_file(dir.file("empty"), "");
    std::filesystem::create_directories(dir.file("dir.pkg"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);

    struct Case {
        std::string path;
        uint64_t max_size;
        FileRead result;
        int err;  // errno on failure
        size_t size;
    } cases[] = {
        {dir.file("eight"), 8, FileRead::kOk, 0, 8},
        {dir.file("eight"), 7, FileRead::kTooLarge, EFBIG, 0},
        {dir.file("empty"), 8, FileRead::kOk, 0, 0},
        {dir.file("dir.pkg"), 8, FileRead::kNotRegular, EISDIR, 0},
        {dir.file("fifo"), 8, FileRead::kNotRegular, ENODEV, 0},
        {"/dev/null", 8, FileRead::kNotRegular, ENODEV, 0},
        {dir.file("missing"), 8, FileRead::kOpenFailed, ENOENT, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> data(3, 0xEE);  // stale contents never survive
        errno = 0;
        EXPECT_EQ(host.read_regular_file(c.path, c.max_size, data), c.result) << c.path;
        if (c.result != FileRead::kOk) {
            EXPECT_EQ(errno, c.err) << c.path;
        }
        EXPECT_EQ(data.size(), c.size) << c.path;
    }
    std::vector<uint8_t> data;
    ASSERT_EQ(host.read_regular_file(dir.file("eight"), 8, data), FileRead::kOk);
    EXPECT_EQ(data, (std::vector<uint8_t>{'P', 'K', 'G', '0', 0, 1, 2, 3}));
}

// A file large enough to be read in two halves by two threads comes back whole, every
// byte in its place, at any length around where the halves meet.
TEST(HostReadRegularFile, LargeFilesComeBackWhole) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    std::mt19937 gen(7);
    std::vector<uint8_t> bytes((size_t{9} << 20) + 5);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(gen());
    for (size_t size : {(size_t{8} << 20) - 1, size_t{8} << 20, bytes.size()}) {
        std::ofstream(dir.file("big.pkg"), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
        zelt::ByteBuffer data;
        ASSERT_EQ(host.read_regular_file(dir.file("big.pkg"), UINT32_MAX, data), FileRead::kOk) << size;
        ASSERT_EQ(data.size(), size);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin())) << size;
    }
}

// Read in the background, a file's bytes can be waited for in any order, piece by
// piece, and the file comes back whole; the checks before the reading are those of
// read_regular_file, with nothing started on a refusal.
TEST(HostReadRegularFile, BytesCanBeUsedAsTheyArrive) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host;
    std::mt19937 gen(9);
    std::vector<uint8_t> bytes((size_t{12} << 20) + 7);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(gen());
    for (size_t size : {size_t{100000}, bytes.size()}) {  // one reader, two readers
        std::ofstream(dir.file("big.pkg"), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
        zelt::ByteBuffer data;
        std::unique_ptr<zelt::host::FileReading> reading;
        ASSERT_EQ(host.start_reading_regular_file(dir.file("big.pkg"), UINT32_MAX, data, reading), FileRead::kOk);
        ASSERT_EQ(data.size(), size);
        // The second half first, then the front in pieces.
        ASSERT_TRUE(reading->wait_for(size - size / 3, size));
        EXPECT_TRUE(std::equal(data.begin() + static_cast<std::ptrdiff_t>(size - size / 3), data.end(),
                               bytes.begin() + static_cast<std::ptrdiff_t>(size - size / 3)));
        for (uint64_t at = 0; at < size / 2; at += 300000) {
            const uint64_t to = std::min<uint64_t>(at + 300000, size / 2);
            ASSERT_TRUE(reading->wait_for(at, to));
            EXPECT_TRUE(std::equal(data.begin() + static_cast<std::ptrdiff_t>(at),
                                   data.begin() + static_cast<std::ptrdiff_t>(to),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(at)));
        }
        ASSERT_EQ(reading->finish(), FileRead::kOk);
        ASSERT_EQ(data.size(), size);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin())) << size;
    }
    zelt::ByteBuffer data;
    std::unique_ptr<zelt::host::FileReading> reading;
    errno = 0;
    EXPECT_EQ(host.start_reading_regular_file(dir.file("big.pkg"), 1000, data, reading), FileRead::kTooLarge);
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(reading, nullptr);
    EXPECT_TRUE(data.empty());
}

// A file that turns out shorter than its size said (it shrank after the size was
// taken) fails the reading: the missing bytes are never reported arrived, and the
// buffer comes back empty, whether one reader or two read it and wherever it ends.
TEST(HostReadRegularFile, AFileThatShrinksIsRefusedWhole) {
    zelt::test::TempDir dir;
    std::vector<uint8_t> bytes(size_t{9} << 20, 0x5A);
    struct Case {
        uint64_t actual;
        uint64_t declared;
    } cases[] = {
        {100000, 100001},                                 // one reader, last byte missing
        {size_t{9} << 20, size_t{10} << 20},              // two readers, the second runs short
        {size_t{3} << 20, size_t{10} << 20},              // the first runs short, the second finds nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.actual) + " of " + std::to_string(c.declared));
        std::ofstream(dir.file("short.pkg"), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(c.actual));
        const int fd = ::open(dir.file("short.pkg").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        zelt::ByteBuffer data(c.declared);
        auto reading = zelt::host::FileReading::start(fd, c.declared, data);
        EXPECT_FALSE(reading->wait_for(0, c.declared));
        EXPECT_FALSE(reading->wait_for(c.declared - 1, c.declared));
        errno = 0;
        EXPECT_EQ(reading->finish(), FileRead::kReadFailed);
        EXPECT_EQ(errno, EIO);
        EXPECT_TRUE(data.empty());
    }
}

}  // namespace
