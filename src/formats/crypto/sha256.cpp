#include "formats/crypto/sha256.h"

#include <cstring>

#include "formats/crypto/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace zelt {
#define ZELT_SHA256_HAVE_SHANI 1
#endif

namespace {

using BlockFn = void (*)(uint32_t state[8], const uint8_t* data, size_t blocks);

alignas(16) constexpr uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr uint32_t kInit[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t load_be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline void store_be32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

void blocks_portable(uint32_t state[8], const uint8_t* data, size_t blocks) {
    uint32_t w[64];
    for (; blocks != 0; --blocks, data += 64) {
        for (int i = 0; i < 16; ++i) w[i] = load_be32(data + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t S1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            const uint32_t ch = (e & f) ^ (~e & g);
            const uint32_t t1 = h + S1 + ch + K[i] + w[i];
            const uint32_t S0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            const uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
            const uint32_t t2 = S0 + maj;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef ZELT_SHA256_HAVE_SHANI

// Four rounds: message words plus constants of group G, two rounds per instruction.
#define ZELT_SHA_QROUND(G, W)                                                                         \
    do {                                                                                              \
        __m128i m = _mm_add_epi32((W), _mm_load_si128(reinterpret_cast<const __m128i*>(&K[4 * (G)]))); \
        s1 = _mm_sha256rnds2_epu32(s1, s0, m);                                                        \
        m = _mm_shuffle_epi32(m, 0x0E);                                                               \
        s0 = _mm_sha256rnds2_epu32(s0, s1, m);                                                        \
    } while (0)

// Next four schedule words into W0 from the previous sixteen (W0..W3, oldest first).
#define ZELT_SHA_SCHED(W0, W1, W2, W3) \
    W0 = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(W0, W1), _mm_alignr_epi8(W3, W2, 4)), W3)

__attribute__((target("sha,sse4.1,ssse3"))) void blocks_shani(uint32_t state[8], const uint8_t* data,
                                                               size_t blocks) {
    const __m128i byteswap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);

    // Rearrange H0..H7 into the ABEF / CDGH lanes the instructions work on.
    __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    t = _mm_shuffle_epi32(t, 0xB1);
    s1 = _mm_shuffle_epi32(s1, 0x1B);
    __m128i s0 = _mm_alignr_epi8(t, s1, 8);
    s1 = _mm_blend_epi16(s1, t, 0xF0);

    for (; blocks != 0; --blocks, data += 64) {
        const __m128i save0 = s0;
        const __m128i save1 = s1;
        __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), byteswap);
        __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16)), byteswap);
        __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 32)), byteswap);
        __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 48)), byteswap);

        ZELT_SHA_QROUND(0, w0);
        ZELT_SHA_QROUND(1, w1);
        ZELT_SHA_QROUND(2, w2);
        ZELT_SHA_QROUND(3, w3);
        ZELT_SHA_SCHED(w0, w1, w2, w3);
        ZELT_SHA_QROUND(4, w0);
        ZELT_SHA_SCHED(w1, w2, w3, w0);
        ZELT_SHA_QROUND(5, w1);
        ZELT_SHA_SCHED(w2, w3, w0, w1);
        ZELT_SHA_QROUND(6, w2);
        ZELT_SHA_SCHED(w3, w0, w1, w2);
        ZELT_SHA_QROUND(7, w3);
        ZELT_SHA_SCHED(w0, w1, w2, w3);
        ZELT_SHA_QROUND(8, w0);
        ZELT_SHA_SCHED(w1, w2, w3, w0);
        ZELT_SHA_QROUND(9, w1);
        ZELT_SHA_SCHED(w2, w3, w0, w1);
        ZELT_SHA_QROUND(10, w2);
        ZELT_SHA_SCHED(w3, w0, w1, w2);
        ZELT_SHA_QROUND(11, w3);
        ZELT_SHA_SCHED(w0, w1, w2, w3);
        ZELT_SHA_QROUND(12, w0);
        ZELT_SHA_SCHED(w1, w2, w3, w0);
        ZELT_SHA_QROUND(13, w1);
        ZELT_SHA_SCHED(w2, w3, w0, w1);
        ZELT_SHA_QROUND(14, w2);
        ZELT_SHA_SCHED(w3, w0, w1, w2);
        ZELT_SHA_QROUND(15, w3);

        s0 = _mm_add_epi32(s0, save0);
        s1 = _mm_add_epi32(s1, save1);
    }

    // Back from ABEF / CDGH to H0..H7.
    t = _mm_shuffle_epi32(s0, 0x1B);
    s1 = _mm_shuffle_epi32(s1, 0xB1);
    s0 = _mm_blend_epi16(t, s1, 0xF0);
    s1 = _mm_alignr_epi8(s1, t, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), s0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), s1);
}

// Four rounds of each of two streams, a and b, interleaved: one stream's rounds
// depend each on the one before, so the instructions of the other fill the wait.
#define ZELT_SHA_QROUND_PAIR(G, WA, WB)                                                     \
    do {                                                                                \
        const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&K[4 * (G)])); \
        __m128i ma = _mm_add_epi32((WA), k);                                            \
        __m128i mb = _mm_add_epi32((WB), k);                                            \
        a1 = _mm_sha256rnds2_epu32(a1, a0, ma);                                         \
        b1 = _mm_sha256rnds2_epu32(b1, b0, mb);                                         \
        ma = _mm_shuffle_epi32(ma, 0x0E);                                               \
        mb = _mm_shuffle_epi32(mb, 0x0E);                                               \
        a0 = _mm_sha256rnds2_epu32(a0, a1, ma);                                         \
        b0 = _mm_sha256rnds2_epu32(b0, b1, mb);                                         \
    } while (0)

#define ZELT_SHA_SCHED_PAIR(A0, A1, A2, A3, B0, B1, B2, B3) \
    do {                                                    \
        ZELT_SHA_SCHED(A0, A1, A2, A3);                     \
        ZELT_SHA_SCHED(B0, B1, B2, B3);                     \
    } while (0)

// H0..H7 into the ABEF / CDGH lanes the instructions work on, and back.
__attribute__((target("sha,sse4.1,ssse3"))) inline void load_lanes(const uint32_t state[8], __m128i& s0,
                                                                    __m128i& s1) {
    __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    t = _mm_shuffle_epi32(t, 0xB1);
    s1 = _mm_shuffle_epi32(s1, 0x1B);
    s0 = _mm_alignr_epi8(t, s1, 8);
    s1 = _mm_blend_epi16(s1, t, 0xF0);
}

__attribute__((target("sha,sse4.1,ssse3"))) inline void store_lanes(uint32_t state[8], __m128i s0, __m128i s1) {
    const __m128i t = _mm_shuffle_epi32(s0, 0x1B);
    s1 = _mm_shuffle_epi32(s1, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(t, s1, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(s1, t, 8));
}

// Four message words, big-endian in memory.
__attribute__((target("sha,sse4.1,ssse3"))) inline __m128i load_words(const uint8_t* p, __m128i byteswap) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), byteswap);
}

// The same number of blocks of two streams at once.
__attribute__((target("sha,sse4.1,ssse3"))) void blocks_shani_pair(uint32_t state_a[8], const uint8_t* da,
                                                                    uint32_t state_b[8], const uint8_t* db,
                                                                    size_t blocks) {
    const __m128i byteswap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i a0, a1, b0, b1;
    load_lanes(state_a, a0, a1);
    load_lanes(state_b, b0, b1);
    for (; blocks != 0; --blocks, da += 64, db += 64) {
        const __m128i save_a0 = a0, save_a1 = a1, save_b0 = b0, save_b1 = b1;
        __m128i x0 = load_words(da, byteswap), x1 = load_words(da + 16, byteswap);
        __m128i x2 = load_words(da + 32, byteswap), x3 = load_words(da + 48, byteswap);
        __m128i y0 = load_words(db, byteswap), y1 = load_words(db + 16, byteswap);
        __m128i y2 = load_words(db + 32, byteswap), y3 = load_words(db + 48, byteswap);
        ZELT_SHA_QROUND_PAIR(0, x0, y0);
        ZELT_SHA_QROUND_PAIR(1, x1, y1);
        ZELT_SHA_QROUND_PAIR(2, x2, y2);
        ZELT_SHA_QROUND_PAIR(3, x3, y3);
        ZELT_SHA_SCHED_PAIR(x0, x1, x2, x3, y0, y1, y2, y3);
        ZELT_SHA_QROUND_PAIR(4, x0, y0);
        ZELT_SHA_SCHED_PAIR(x1, x2, x3, x0, y1, y2, y3, y0);
        ZELT_SHA_QROUND_PAIR(5, x1, y1);
        ZELT_SHA_SCHED_PAIR(x2, x3, x0, x1, y2, y3, y0, y1);
        ZELT_SHA_QROUND_PAIR(6, x2, y2);
        ZELT_SHA_SCHED_PAIR(x3, x0, x1, x2, y3, y0, y1, y2);
        ZELT_SHA_QROUND_PAIR(7, x3, y3);
        ZELT_SHA_SCHED_PAIR(x0, x1, x2, x3, y0, y1, y2, y3);
        ZELT_SHA_QROUND_PAIR(8, x0, y0);
        ZELT_SHA_SCHED_PAIR(x1, x2, x3, x0, y1, y2, y3, y0);
        ZELT_SHA_QROUND_PAIR(9, x1, y1);
        ZELT_SHA_SCHED_PAIR(x2, x3, x0, x1, y2, y3, y0, y1);
        ZELT_SHA_QROUND_PAIR(10, x2, y2);
        ZELT_SHA_SCHED_PAIR(x3, x0, x1, x2, y3, y0, y1, y2);
        ZELT_SHA_QROUND_PAIR(11, x3, y3);
        ZELT_SHA_SCHED_PAIR(x0, x1, x2, x3, y0, y1, y2, y3);
        ZELT_SHA_QROUND_PAIR(12, x0, y0);
        ZELT_SHA_SCHED_PAIR(x1, x2, x3, x0, y1, y2, y3, y0);
        ZELT_SHA_QROUND_PAIR(13, x1, y1);
        ZELT_SHA_SCHED_PAIR(x2, x3, x0, x1, y2, y3, y0, y1);
        ZELT_SHA_QROUND_PAIR(14, x2, y2);
        ZELT_SHA_SCHED_PAIR(x3, x0, x1, x2, y3, y0, y1, y2);
        ZELT_SHA_QROUND_PAIR(15, x3, y3);
        a0 = _mm_add_epi32(a0, save_a0);
        a1 = _mm_add_epi32(a1, save_a1);
        b0 = _mm_add_epi32(b0, save_b0);
        b1 = _mm_add_epi32(b1, save_b1);
    }
    store_lanes(state_a, a0, a1);
    store_lanes(state_b, b0, b1);
}

#undef ZELT_SHA_SCHED_PAIR
#undef ZELT_SHA_QROUND_PAIR
#undef ZELT_SHA_SCHED
#undef ZELT_SHA_QROUND

#endif  // ZELT_SHA256_HAVE_SHANI

BlockFn best_blocks() {
#ifdef ZELT_SHA256_HAVE_SHANI
    if (zelt::crypto::cpu_features().sha) return blocks_shani;
#endif
    return blocks_portable;
}

uint8_t* pending(SHA256_CTX* ctx) { return reinterpret_cast<uint8_t*>(ctx->data); }

void init(SHA256_CTX* ctx) {
    std::memcpy(ctx->digest, kInit, sizeof kInit);
    ctx->countHi = 0;
    ctx->countLo = 0;
    std::memset(ctx->data, 0, sizeof ctx->data);
    ctx->Endianness = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 1 : 0;
}

void update(SHA256_CTX* ctx, const uint8_t* p, size_t len, BlockFn blocks) {
    if (len == 0) return;
    const uint64_t bits_before = (uint64_t{ctx->countHi} << 32) | ctx->countLo;
    size_t used = static_cast<size_t>((bits_before >> 3) & 63u);
    const uint64_t bits_after = bits_before + (static_cast<uint64_t>(len) << 3);
    ctx->countHi = static_cast<uint32_t>(bits_after >> 32);
    ctx->countLo = static_cast<uint32_t>(bits_after);

    if (used != 0) {
        const size_t take = len < 64 - used ? len : 64 - used;
        std::memcpy(pending(ctx) + used, p, take);
        used += take;
        p += take;
        len -= take;
        if (used < 64) return;
        blocks(ctx->digest, pending(ctx), 1);
    }
    if (len >= 64) {
        blocks(ctx->digest, p, len / 64);
        p += len & ~size_t{63};
        len &= 63;
    }
    if (len != 0) std::memcpy(pending(ctx), p, len);
}

void finish(SHA256_CTX* ctx, uint8_t out[32], BlockFn blocks) {
    const uint64_t bits = (uint64_t{ctx->countHi} << 32) | ctx->countLo;
    size_t used = static_cast<size_t>((bits >> 3) & 63u);
    uint8_t* buf = pending(ctx);
    buf[used++] = 0x80;
    if (used > 56) {
        std::memset(buf + used, 0, 64 - used);
        blocks(ctx->digest, buf, 1);
        used = 0;
    }
    std::memset(buf + used, 0, 56 - used);
    store_be32(buf + 56, ctx->countHi);
    store_be32(buf + 60, ctx->countLo);
    blocks(ctx->digest, buf, 1);
    for (int i = 0; i < 8; ++i) store_be32(out + 4 * i, ctx->digest[i]);
    std::memset(static_cast<void*>(ctx), 0, sizeof *ctx);
}

zelt::crypto::Sha256Digest one_shot(std::span<const uint8_t> bytes, BlockFn blocks) {
    SHA256_CTX ctx;
    init(&ctx);
    update(&ctx, bytes.data(), bytes.size(), blocks);
    zelt::crypto::Sha256Digest out{};
    finish(&ctx, out.data(), blocks);
    return out;
}

}  // namespace

void SHA256Init(SHA256_CTX* ctx) { init(ctx); }

void SHA256Update(SHA256_CTX* ctx, const void* data, size_t len) {
    update(ctx, static_cast<const uint8_t*>(data), len, best_blocks());
}

void SHA256Final(SHA256_CTX* ctx, uint8_t digest[ZELT_SHA256_DIGEST_SIZE]) { finish(ctx, digest, best_blocks()); }

void SHA256UpdatePair(SHA256_CTX* a, const void* data_a, SHA256_CTX* b, const void* data_b, size_t len) {
    const auto* pa = static_cast<const uint8_t*>(data_a);
    const auto* pb = static_cast<const uint8_t*>(data_b);
#ifdef ZELT_SHA256_HAVE_SHANI
    // Whole blocks of both together when neither holds part of a block.
    const bool aligned = (a->countLo & 511u) == 0 && (b->countLo & 511u) == 0;
    if (aligned && len >= 64 && zelt::crypto::cpu_features().sha) {
        const size_t whole = len & ~size_t{63};
        blocks_shani_pair(a->digest, pa, b->digest, pb, whole / 64);
        for (SHA256_CTX* ctx : {a, b}) {
            const uint64_t bits = ((uint64_t{ctx->countHi} << 32) | ctx->countLo) + (uint64_t{whole} << 3);
            ctx->countHi = static_cast<uint32_t>(bits >> 32);
            ctx->countLo = static_cast<uint32_t>(bits);
        }
        pa += whole;
        pb += whole;
        len -= whole;
    }
#endif
    const BlockFn blocks = best_blocks();
    update(a, pa, len, blocks);
    update(b, pb, len, blocks);
}

namespace crypto {

Sha256Digest sha256(std::span<const uint8_t> bytes) { return one_shot(bytes, best_blocks()); }

Sha256Digest sha256_portable(std::span<const uint8_t> bytes) { return one_shot(bytes, blocks_portable); }

bool sha256_has_fast_path() {
#ifdef ZELT_SHA256_HAVE_SHANI
    return cpu_features().sha;
#else
    return false;
#endif
}

}  // namespace crypto

}  // namespace zelt
