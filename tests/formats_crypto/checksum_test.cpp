// CRC-32 and SHA-256 against their check values and against zlib and OpenSSL on random
// buffers, on every code path (fast, portable, byte at a time) and split into chunks.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "formats/crypto/crc32.h"
#include "formats/crypto/sha256.h"
#include "tests/formats_crypto/openssl_reference.h"

using namespace zelt;

namespace {

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(gen());
    return v;
}

uint32_t zlib_crc(const uint8_t* p, size_t n) {
    return static_cast<uint32_t>(crc32(0L, p, static_cast<uInt>(n)));
}

std::string hex(std::span<const uint8_t> d) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t b : d) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// Lengths around the fast path's 16- and 64-byte steps and a few large ones.
std::vector<size_t> interesting_lengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (size_t n : {511u, 512u, 513u, 4095u, 4096u, 4097u, 65536u + 13u, 1000003u}) lengths.push_back(n);
    return lengths;
}

TEST(Crc32, CheckValueAndTable) {
    const char* digits = "123456789";
    EXPECT_EQ(file_crc32(digits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32i(ZELT_CRC32_INIT, digits, 9), 0xCBF43926u);
    EXPECT_EQ(crc32i(ZELT_CRC32_INIT, digits, 0), 0u);
    EXPECT_EQ(crc32tbl[1], 0x77073096u);
    EXPECT_EQ(crc32tbl[255], 0x2D02EF8Du);
}

TEST(Crc32, EveryPathMatchesZlibAtEveryLengthAndAlignment) {
    const auto data = random_bytes(1000003 + 16, 1);
    for (size_t n : interesting_lengths()) {
        for (size_t shift : {0u, 1u, 7u}) {
            if (n > 100000 && shift != 0) continue;
            const uint8_t* p = data.data() + shift;
            const uint32_t want = zlib_crc(p, n);
            EXPECT_EQ(file_crc32(p, n), want) << "length " << n << " shift " << shift;
            EXPECT_EQ(zelt::crypto::crc32_portable(ZELT_CRC32_INIT, p, n), want) << "length " << n;
            if (n <= 4096) {
                EXPECT_EQ(zelt::crypto::crc32_bytewise(ZELT_CRC32_INIT, p, n), want) << "length " << n;
            }
        }
    }
}

TEST(Crc32, ContinuesAcrossChunks) {
    const auto data = random_bytes(5000, 2);
    const uint32_t whole = file_crc32(data.data(), data.size());
    for (size_t split : {0u, 1u, 15u, 64u, 65u, 4999u, 5000u}) {
        const uint32_t first = crc32i(ZELT_CRC32_INIT, data.data(), split);
        EXPECT_EQ(crc32i(~first, data.data() + split, data.size() - split), whole) << "split " << split;
    }
}

struct Sha256Vector {
    std::string message;
    const char* digest;
};

TEST(Sha256, KnownVectors) {
    const Sha256Vector vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrs"
         "tnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors) {
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(v.message.data()), v.message.size());
        EXPECT_EQ(hex(zelt::crypto::sha256(bytes)), v.digest) << "length " << v.message.size();
        EXPECT_EQ(hex(zelt::crypto::sha256_portable(bytes)), v.digest) << "length " << v.message.size();
    }
}

TEST(Sha256, EveryPathMatchesOpenSslOnRandomBuffers) {
    const auto data = random_bytes(1000003 + 3, 3);
    for (size_t n : interesting_lengths()) {
        for (size_t shift : {0u, 3u}) {
            if (n > 100000 && shift != 0) continue;
            const std::span<const uint8_t> bytes(data.data() + shift, n);
            const auto want = zelt::test::openssl_sha256(bytes);
            EXPECT_EQ(zelt::crypto::sha256(bytes), want) << "length " << n << " shift " << shift;
            EXPECT_EQ(zelt::crypto::sha256_portable(bytes), want) << "length " << n;
        }
    }
}

TEST(Sha256, IncrementalUpdatesInUnevenChunks) {
    const auto data = random_bytes(20000, 4);
    const auto want = zelt::test::openssl_sha256(data);
    std::mt19937 gen(5);
    for (int round = 0; round < 20; ++round) {
        SHA256_CTX ctx;
        SHA256Init(&ctx);
        size_t pos = 0;
        while (pos < data.size()) {
            const size_t take = std::min<size_t>(data.size() - pos, gen() % 150);
            SHA256Update(&ctx, data.data() + pos, take);
            pos += take;
        }
        uint8_t out[32];
        SHA256Final(&ctx, out);
        EXPECT_EQ(hex(out), hex(want)) << "round " << round;
    }
}

}  // namespace
