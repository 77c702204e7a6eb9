// CRC-32 used by packages, item data checksums, component trailers and firmware
// images: the reflected polynomial 0xEDB88320, register start value 0xFFFFFFFF and a
// final complement (check value over "123456789": 0xCBF43926).
//
// The work is done with carry-less multiplication folding where the processor has
// it (checked once at run time), with a slicing-by-8 table loop otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zelt {

// Register start value every caller passes to crc32i.
inline constexpr uint32_t ZELT_CRC32_INIT = 0xFFFFFFFFu;

namespace crypto::detail {
constexpr std::array<uint32_t, 256> make_crc32_table() {
    std::array<uint32_t, 256> t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[b] = c;
    }
    return t;
}
}  // namespace crypto::detail

// The 256-entry byte table of the reflected polynomial (entry 1 is 0x77073096).
inline constexpr std::array<uint32_t, 256> crc32tbl = zelt::crypto::detail::make_crc32_table();
static_assert(crc32tbl[1] == 0x77073096u);

// Runs the register `crc` over `len` bytes and returns its complement. With
// crc = ZELT_CRC32_INIT this is the CRC-32 of the bytes (0 for no bytes). A CRC can be
// continued over a following chunk by passing the complement of the previous result:
//   crc32i(~crc32i(ZELT_CRC32_INIT, a, na), b, nb) == CRC-32 of a followed by b.
uint32_t crc32i(uint32_t crc, const void* buf, size_t len);

// CRC-32 of a whole buffer (an image or package already held in memory).
uint32_t file_crc32(const void* buf, size_t len);

namespace crypto {

// CRC-32 of a byte span.
inline uint32_t crc32(std::span<const uint8_t> bytes) {
    return file_crc32(bytes.data(), bytes.size());
}

// The plain table loop, byte at a time; kept callable so tests and benchmarks can
// compare the fast paths against it.
uint32_t crc32_bytewise(uint32_t crc, const void* buf, size_t len);

// The portable slicing-by-8 loop (no special instructions).
uint32_t crc32_portable(uint32_t crc, const void* buf, size_t len);

// One way of running the register, by name, for tests and benchmarks that hold every
// path against the others. Same contract as crc32i.
struct Crc32Path {
    const char* name;
    uint32_t (*run)(uint32_t crc, const void* buf, size_t len);
};

// Every path this processor can run, slowest first; the last is what crc32i uses.
std::vector<Crc32Path> crc32_paths();

// True when the carry-less multiplication path is used on this processor.
bool crc32_has_fast_path();

// The CRC-32 of bytes b from the CRC-32 of bytes a (`crc_a`), the CRC-32 of a followed
// by b (`crc_ab`) and the length of b. The CRC is linear over GF(2), so one pass over a
// buffer that notes the running CRC at some offsets gives the CRC of any range between
// two of them, without a second pass over the range.
uint32_t crc32_of_suffix(uint32_t crc_ab, uint32_t crc_a, uint64_t len_b);

// The CRC-32 of bytes a followed by bytes b from the CRC-32 of each and the length of
// b: how the CRCs of pieces computed apart are joined.
uint32_t crc32_combine(uint32_t crc_a, uint32_t crc_b, uint64_t len_b);

}  // namespace crypto

}  // namespace zelt
