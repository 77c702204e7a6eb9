// CRC-32 and SHA-256 against their check values and against zlib and OpenSSL on random
// buffers, on every code path (fast, portable, byte at a time) and split into chunks.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "formats/crypto/crc32.h"
#include "formats/crypto/range_digests.h"
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

// Every length up to a few of the wide path's 256-byte steps (so each of its 64-byte,
// 16-byte and byte tails is met after zero, one and several steps, and the narrower
// path's 16- and 64-byte steps likewise), and a few large ones.
std::vector<size_t> interesting_lengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 1100; ++n) lengths.push_back(n);
    for (size_t n : {4095u, 4096u, 4097u, 65536u + 13u, 1000003u}) lengths.push_back(n);
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
    const auto data = random_bytes(1000003 + 64, 1);
    const auto paths = zelt::crypto::crc32_paths();
    for (size_t n : interesting_lengths()) {
        // Shifts off the 16-byte and the 64-byte (cache line) alignment.
        for (size_t shift : {0u, 1u, 7u, 63u}) {
            if (n > 100000 && shift != 0) continue;
            const uint8_t* p = data.data() + shift;
            const uint32_t want = zlib_crc(p, n);
            EXPECT_EQ(file_crc32(p, n), want) << "length " << n << " shift " << shift;
            for (const auto& path : paths) {
                EXPECT_EQ(path.run(ZELT_CRC32_INIT, p, n), want) << path.name << " length " << n << " shift " << shift;
                // Continued from a register that is not the start value.
                if (n >= 5) {
                    EXPECT_EQ(path.run(~zlib_crc(p, 5), p + 5, n - 5), want) << path.name << " length " << n;
                }
            }
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

// The CRC of a range follows from the CRCs up to its two ends, at any split and length
// (lengths past 2^32 bits exercise the high powers of the shift).
TEST(Crc32, SuffixFromTwoPrefixes) {
    const auto data = random_bytes(200000, 3);
    for (size_t split : {0u, 1u, 7u, 4096u, 65536u, 199999u, 200000u}) {
        const uint32_t a = file_crc32(data.data(), split);
        const uint32_t ab = file_crc32(data.data(), data.size());
        EXPECT_EQ(zelt::crypto::crc32_of_suffix(ab, a, data.size() - split),
                  file_crc32(data.data() + split, data.size() - split))
            << "split " << split;
    }
    // Against zlib's combination of two CRCs, for lengths far beyond any buffer, both
    // ways: the suffix from the whole, and the whole joined from its two parts.
    const uint32_t a = 0x1234abcdu, b = 0x9e3779b9u;
    for (uint64_t n : {uint64_t{0}, uint64_t{1}, uint64_t{1} << 20, (uint64_t{5} << 30) + 3, (uint64_t{1} << 40) - 1}) {
        const uint32_t ab = static_cast<uint32_t>(crc32_combine(a, b, static_cast<z_off_t>(n)));
        if (n != 0) {
            EXPECT_EQ(zelt::crypto::crc32_of_suffix(ab, a, n), b) << "length " << n;
        }
        EXPECT_EQ(zelt::crypto::crc32_combine(a, b, n), ab) << "length " << n;
    }
}

// One pass gives every range's CRC, CRC up to its mark and SHA-256 exactly as separate
// passes over each range do: ranges that overlap, share ends, lie inside one another,
// are empty, or cross the pass's chunk boundaries.
TEST(RangeDigests, MatchSeparatePasses) {
    const auto data = random_bytes(300000, 4);
    using zelt::crypto::RangeDigest;
    auto range = [](uint64_t begin, uint64_t end, uint64_t mark, bool sha, uint64_t sha_end) {
        RangeDigest r;
        r.begin = begin;
        r.end = end;
        r.crc_mark = mark;
        r.want_sha = sha;
        r.sha_end = sha_end;
        return r;
    };
    std::vector<RangeDigest> ranges = {
        range(0, 300000, 300000, false, 0),            // the whole buffer
        range(1000, 250000, 249996, true, 249740),     // a firmware image inside it
        range(65536, 65536 * 3, 65536 * 2, true, 65537),  // on the chunk boundaries
        range(70000, 70001, 70000, true, 70001),       // one byte
        range(5, 5, 5, true, 5),                       // empty
        range(299000, 300000, 299999, false, 299000),  // the buffer's tail
        range(1000, 250000, 1000, false, 1000),        // the same span as another, mark at its start
    };
    ASSERT_TRUE(zelt::crypto::compute_range_digests(data, ranges));
    for (const RangeDigest& r : ranges) {
        const uint8_t* p = data.data();
        SCOPED_TRACE(std::to_string(r.begin) + ".." + std::to_string(r.end));
        EXPECT_EQ(r.crc, file_crc32(p + r.begin, r.end - r.begin));
        EXPECT_EQ(r.crc_to_mark, file_crc32(p + r.begin, r.crc_mark - r.begin));
        if (r.want_sha) {
            EXPECT_EQ(r.sha, zelt::crypto::sha256({p + r.begin, static_cast<size_t>(r.sha_end - r.begin)}));
        }
    }
}

// Shared between two threads (the SHA-256s dealt out, the CRC cut in two and joined),
// the results are those of one thread and of separate passes, whatever the layout:
// one image taking most of the buffer (the whole CRC goes to the other thread), two
// equal images (the cut falls inside ranges), CRC-only ranges, ranges nested, sharing
// ends or empty, odd boundaries, and a first range that starts well into the buffer.
TEST(RangeDigests, TwoThreadsMatchOne) {
    constexpr uint64_t kSize = (1u << 20) + 3;
    const auto data = random_bytes(kSize, 6);
    using zelt::crypto::RangeDigest;
    struct R {
        uint64_t begin, end, mark;
        bool sha;
        uint64_t sha_end;
    };
    struct Layout {
        const char* what;
        std::vector<R> ranges;
    } layouts[] = {
        {"one image and the file", {{100, kSize - 8, kSize - 12, true, kSize - 300}, {0, kSize, kSize, false, 0}}},
        {"two images and the file",
         {{64, 524351, 524347, true, 524091}, {524351, kSize - 4, kSize - 8, true, kSize - 264}, {0, kSize, kSize - 4, false, 0}}},
        {"CRCs only", {{0, kSize, kSize, false, 0}, {1, 777777, 3333, false, 0}, {524287, 524289, 524288, false, 0}}},
        {"nested and sharing ends",
         {{10, 900001, 500000, true, 900001}, {10, 900001, 10, true, 10}, {300000, 300001, 300000, true, 300001},
          {900001, 900001, 900001, true, 900001}, {5, kSize, 900001, false, 0}}},
        {"one long and many short",
         {{0, 800000, 800000, true, 799999}, {800000, 800100, 800050, true, 800100}, {800100, 800300, 800200, true, 800299},
          {800300, 900000, 850000, true, 899000}, {900000, kSize, kSize, true, kSize}}},
        {"starting late", {{700001, 1000003, 999999, true, 999000}, {700001, kSize, kSize, false, 0}}},
        {"all empty", {{4097, 4097, 4097, true, 4097}, {4097, 4097, 4097, false, 4097}}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        std::vector<RangeDigest> one, two;
        for (const R& r : layout.ranges) {
            RangeDigest d;
            d.begin = r.begin;
            d.end = r.end;
            d.crc_mark = r.mark;
            d.want_sha = r.sha;
            d.sha_end = r.sha_end;
            one.push_back(d);
        }
        two = one;
        ASSERT_TRUE(zelt::crypto::compute_range_digests(data, one, {1, 0}));
        ASSERT_TRUE(zelt::crypto::compute_range_digests(data, two, {2, 0}));
        for (size_t i = 0; i < one.size(); ++i) {
            const RangeDigest& r = two[i];
            const uint8_t* p = data.data();
            SCOPED_TRACE(std::to_string(r.begin) + ".." + std::to_string(r.end));
            EXPECT_EQ(r.crc, file_crc32(p + r.begin, r.end - r.begin));
            EXPECT_EQ(r.crc_to_mark, file_crc32(p + r.begin, r.crc_mark - r.begin));
            EXPECT_EQ(r.crc, one[i].crc);
            EXPECT_EQ(r.crc_to_mark, one[i].crc_to_mark);
            if (r.want_sha) {
                EXPECT_EQ(r.sha, zelt::crypto::sha256({p + r.begin, static_cast<size_t>(r.sha_end - r.begin)}));
                EXPECT_EQ(r.sha, one[i].sha);
            }
        }
    }
}

TEST(RangeDigests, RangesOutsideTheBufferAreRefused) {
    const auto data = random_bytes(1000, 5);
    using zelt::crypto::RangeDigest;
    struct Case {
        const char* what;
        uint64_t begin, end, mark;
        bool sha;
        uint64_t sha_end;
    } cases[] = {
        {"past the end", 10, 1001, 10, false, 0},
        {"ends before it begins", 20, 10, 20, false, 0},
        {"mark past the end", 10, 20, 21, false, 0},
        {"mark before the start", 10, 20, 9, false, 0},
        {"digest past the end", 10, 20, 20, true, 21},
    };
    for (const Case& c : cases) {
        std::vector<RangeDigest> ranges(2);
        ranges[0].end = ranges[0].crc_mark = 1000;
        ranges[1].begin = c.begin;
        ranges[1].end = c.end;
        ranges[1].crc_mark = c.mark;
        ranges[1].want_sha = c.sha;
        ranges[1].sha_end = c.sha_end;
        EXPECT_FALSE(zelt::crypto::compute_range_digests(data, ranges)) << c.what;
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

// Two streams updated together give the digests of each on its own: in whole blocks,
// with a partial block at the end, and after a first update that leaves part of a
// block pending in one stream or the other (where the two are hashed apart).
TEST(Sha256, PairedUpdatesMatchSeparateOnes) {
    const auto a = random_bytes(140000, 11), b = random_bytes(140000, 12);
    struct Case {
        size_t head_a, head_b;  // a first update of each on its own
        size_t paired;          // then this many bytes of each together, twice
    } cases[] = {
        {0, 0, 0},     {0, 0, 64},   {0, 0, 65536}, {0, 0, 100},
        {0, 0, 30001}, {3, 0, 4096}, {0, 64, 4096}, {63, 65, 640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.head_a) + "/" + std::to_string(c.head_b) + " then " + std::to_string(c.paired));
        SHA256_CTX ca, cb;
        SHA256Init(&ca);
        SHA256Init(&cb);
        SHA256Update(&ca, a.data(), c.head_a);
        SHA256Update(&cb, b.data(), c.head_b);
        for (int round = 0; round < 2; ++round) {
            const size_t at_a = c.head_a + round * c.paired, at_b = c.head_b + round * c.paired;
            SHA256UpdatePair(&ca, a.data() + at_a, &cb, b.data() + at_b, c.paired);
        }
        uint8_t out_a[32], out_b[32];
        SHA256Final(&ca, out_a);
        SHA256Final(&cb, out_b);
        EXPECT_EQ(hex(out_a), hex(zelt::test::openssl_sha256({a.data(), c.head_a + 2 * c.paired})));
        EXPECT_EQ(hex(out_b), hex(zelt::test::openssl_sha256({b.data(), c.head_b + 2 * c.paired})));
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
