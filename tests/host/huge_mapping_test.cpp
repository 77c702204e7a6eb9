// Writing and copying files in aligned 2 MiB pieces, and mapping them on a 2 MiB
// boundary: the bytes must come out exactly as plain writes and reads give them, at
// every offset and size around the piece boundaries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/huge_mapping.h"
#include "tests/support/run_program.h"

namespace {

using zelt::host::kHugePieceBytes;

constexpr uint64_t kPiece = kHugePieceBytes;

std::vector<uint8_t> file_bytes(int fd) {
    std::vector<uint8_t> out(static_cast<size_t>(::lseek(fd, 0, SEEK_END)));
    EXPECT_EQ(::pread(fd, out.data(), out.size(), 0), static_cast<ssize_t>(out.size()));
    return out;
}

std::vector<uint8_t> patterned(size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 4096);
    return b;
}

TEST(HugeMappingTest, RepeatedBytesLandWhereAPlainWriteWouldPutThem) {
    struct Case {
        uint64_t offset, count;
    };
    const Case cases[] = {{0, 0},          {0, 1},         {5, 100},         {0, kPiece},        {1, kPiece},
                          {kPiece - 1, 2}, {4096, 3 * kPiece}, {kPiece + 3, 2 * kPiece + 5}};
    zelt::test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE("offset " + std::to_string(c.offset) + ", count " + std::to_string(c.count));
        const int fd = ::open(dir.file("f").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        // Bytes already there before and after the range stay.
        const std::vector<uint8_t> before = patterned(static_cast<size_t>(c.offset + c.count + 10));
        ASSERT_EQ(::pwrite(fd, before.data(), before.size(), 0), static_cast<ssize_t>(before.size()));
        EXPECT_EQ(zelt::host::write_repeated(fd, c.offset, c.count, 0xFF), 0);
        std::vector<uint8_t> expected = before;
        std::fill(expected.begin() + static_cast<long>(c.offset), expected.begin() + static_cast<long>(c.offset + c.count),
                  0xFF);
        EXPECT_TRUE(file_bytes(fd) == expected);
        ::close(fd);
    }
}

TEST(HugeMappingTest, CopiesMatchTheInputAndAShortInputIsRefused) {
    zelt::test::TempDir dir;
    for (const uint64_t size : {uint64_t{0}, uint64_t{1}, kPiece - 1, kPiece, kPiece + 1, 2 * kPiece + 4099}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const std::vector<uint8_t> data = patterned(static_cast<size_t>(size));
        const int in = ::open(dir.file("in").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        const int out = ::open(dir.file("out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(in, 0);
        ASSERT_GE(out, 0);
        ASSERT_EQ(::pwrite(in, data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
        EXPECT_EQ(zelt::host::copy_in_pieces(in, out, size), 0);
        EXPECT_TRUE(file_bytes(out) == data);
        // An input that ends before the size asked for.
        EXPECT_EQ(zelt::host::copy_in_pieces(in, out, size + 10), EIO);

        // Mapped whole, on a boundary when it is at least a piece long.
        if (size > 0) {
            void* p = zelt::host::map_file_aligned(out, static_cast<size_t>(size), PROT_READ, MAP_SHARED);
            ASSERT_NE(p, MAP_FAILED);
            if (size >= kPiece) {
                EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kPiece, 0u);
            }
            EXPECT_EQ(std::memcmp(p, data.data(), data.size()), 0);
            ::munmap(p, static_cast<size_t>(size));
        }
        ::close(in);
        ::close(out);
    }
}

}  // namespace
