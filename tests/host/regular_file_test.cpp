#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
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

}  // namespace
