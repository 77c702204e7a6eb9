#include "formats/crypto/crc32.h"

#include <cstring>

#include "formats/crypto/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define ZELT_CRC32_HAVE_CLMUL 1
#endif

namespace zelt {

namespace {

// tables[0] is the byte table; tables[k][b] is the register contribution of byte b
// followed by k zero bytes, which lets the loop consume 8 bytes per step.
constexpr std::array<std::array<uint32_t, 256>, 8> make_tables() {
    std::array<std::array<uint32_t, 256>, 8> t{};
    t[0] = crc32tbl;
    for (uint32_t b = 0; b < 256; ++b) {
        for (size_t k = 1; k < 8; ++k) {
            const uint32_t prev = t[k - 1][b];
            t[k][b] = (prev >> 8) ^ t[0][prev & 0xFFu];
        }
    }
    return t;
}

constexpr auto kTables = make_tables();

inline uint32_t load_le32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

// Register in, register out (no complement).
uint32_t update_bytewise(uint32_t crc, const uint8_t* p, size_t len) {
    for (size_t i = 0; i < len; ++i) crc = (crc >> 8) ^ kTables[0][(crc ^ p[i]) & 0xFFu];
    return crc;
}

uint32_t update_slice8(uint32_t crc, const uint8_t* p, size_t len) {
    while (len >= 8) {
        const uint32_t lo = load_le32(p) ^ crc;
        const uint32_t hi = load_le32(p + 4);
        crc = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
              kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
              kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
        p += 8;
        len -= 8;
    }
    return update_bytewise(crc, p, len);
}

#ifdef ZELT_CRC32_HAVE_CLMUL

// Folding constants of the reflected polynomial: x^(n) mod P for the fold distances
// 4x128+64/4x128 (fold by four blocks), 128+64/128 (fold by one block), 64 (the
// last 64-bit fold), and the Barrett pair (P and floor(x^64 / P)), all bit-reflected.
alignas(16) constexpr uint64_t kFold4[2] = {0x154442bd4ull, 0x1c6e41596ull};
alignas(16) constexpr uint64_t kFold1[2] = {0x1751997d0ull, 0x0ccaa009eull};
alignas(16) constexpr uint64_t kFold64[2] = {0x163cd6124ull, 0};
alignas(16) constexpr uint64_t kBarrett[2] = {0x1DB710641ull, 0x1F7011641ull};
// The same pair for a fold over 4x512 bits (four 512-bit registers, 256 bytes); the
// fold over 512 bits (one 512-bit register onto the next) is kFold4 in every lane.
alignas(16) constexpr uint64_t kFold16[2] = {0x11542778aull, 0x1322d1430ull};

// Folds the 128-bit accumulator over 128 bits and adds the next block.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold_block(__m128i acc, __m128i next, __m128i k) {
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// Ends a fold: the four 128-bit lanes x1..x4 (in byte order) hold the register run
// over the bytes before `p`; folds them into one, takes in the whole 16-byte blocks
// that follow, and reduces to the 32-bit register. Adds what it consumed to `used`.
__attribute__((target("pclmul,sse4.1"))) inline uint32_t finish_fold(__m128i x1, __m128i x2, __m128i x3,
                                                                     __m128i x4, const uint8_t* p, size_t len,
                                                                     size_t* used) {
    const uint8_t* const start = p;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1));
    x1 = fold_block(x1, x2, k);
    x1 = fold_block(x1, x3, k);
    x1 = fold_block(x1, x4, k);
    while (len >= 16) {
        x1 = fold_block(x1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), k);
        p += 16;
        len -= 16;
    }

    // 128 -> 64 bits (appending 32 zero bits).
    const __m128i mask32 = _mm_setr_epi32(-1, 0, 0, 0);
    __m128i t = _mm_clmulepi64_si128(k, x1, 0x01);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), t);
    // 64 -> 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold64));
    t = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x00);
    x1 = _mm_xor_si128(x1, t);
    // Barrett reduction to the 32-bit register.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    t = x1;
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x10);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x00);
    x1 = _mm_xor_si128(x1, t);

    *used += static_cast<size_t>(p - start);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

// Register in, register out. Needs len >= 64; consumes a multiple of 16 bytes and
// reports how many through `used`.
__attribute__((target("pclmul,sse4.1"))) uint32_t update_clmul(uint32_t crc, const uint8_t* p, size_t len,
                                                                   size_t* used) {
    const uint8_t* const start = p;
    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    __m128i x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    p += 64;
    len -= 64;

    const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold4));
    while (len >= 64) {
        const __m128i h1 = _mm_clmulepi64_si128(x1, k, 0x11);
        const __m128i h2 = _mm_clmulepi64_si128(x2, k, 0x11);
        const __m128i h3 = _mm_clmulepi64_si128(x3, k, 0x11);
        const __m128i h4 = _mm_clmulepi64_si128(x4, k, 0x11);
        x1 = _mm_clmulepi64_si128(x1, k, 0x00);
        x2 = _mm_clmulepi64_si128(x2, k, 0x00);
        x3 = _mm_clmulepi64_si128(x3, k, 0x00);
        x4 = _mm_clmulepi64_si128(x4, k, 0x00);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, h1), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, h2), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, h3), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, h4), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)));
        p += 64;
        len -= 64;
    }
    *used = static_cast<size_t>(p - start);
    return finish_fold(x1, x2, x3, x4, p, len, used);
}

#define ZELT_CRC32_WIDE_TARGET "avx512f,avx512bw,avx512vl,vpclmulqdq,pclmul,sse4.1"

// Folds a 512-bit accumulator (four independent 128-bit lanes) over the distance of
// `k` and adds the next 64 bytes.
__attribute__((target(ZELT_CRC32_WIDE_TARGET))) inline __m512i fold_wide(__m512i acc, const uint8_t* next,
                                                                         __m512i k) {
    const __m512i hi = _mm512_clmulepi64_epi128(acc, k, 0x11);
    const __m512i lo = _mm512_clmulepi64_epi128(acc, k, 0x00);
    // 0x96: the exclusive or of all three operands.
    return _mm512_ternarylogic_epi64(lo, hi, _mm512_loadu_si512(next), 0x96);
}

__attribute__((target(ZELT_CRC32_WIDE_TARGET))) inline __m512i fold_wide(__m512i acc, __m512i next, __m512i k) {
    const __m512i hi = _mm512_clmulepi64_epi128(acc, k, 0x11);
    const __m512i lo = _mm512_clmulepi64_epi128(acc, k, 0x00);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);
}

// A pair of folding constants in each of the four 128-bit lanes.
__attribute__((target(ZELT_CRC32_WIDE_TARGET))) inline __m512i every_lane(const uint64_t (&k)[2]) {
    const auto lo = static_cast<long long>(k[0]), hi = static_cast<long long>(k[1]);
    return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

// The same on 512-bit registers: four of them (256 bytes) folded per step. Needs
// len >= 256; consumes a multiple of 16 bytes and reports how many through `used`.
__attribute__((target(ZELT_CRC32_WIDE_TARGET))) uint32_t update_wide(uint32_t crc, const uint8_t* p, size_t len,
                                                                     size_t* used) {
    const uint8_t* const start = p;
    __m512i x0 = _mm512_loadu_si512(p);
    __m512i x1 = _mm512_loadu_si512(p + 64);
    __m512i x2 = _mm512_loadu_si512(p + 128);
    __m512i x3 = _mm512_loadu_si512(p + 192);
    x0 = _mm512_xor_si512(x0, _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
    p += 256;
    len -= 256;

    __m512i k = every_lane(kFold16);
    while (len >= 256) {
        x0 = fold_wide(x0, p, k);
        x1 = fold_wide(x1, p + 64, k);
        x2 = fold_wide(x2, p + 128, k);
        x3 = fold_wide(x3, p + 192, k);
        p += 256;
        len -= 256;
    }

    // The four registers into one, then whole 64-byte blocks into it.
    k = every_lane(kFold4);
    x1 = fold_wide(x0, x1, k);
    x2 = fold_wide(x1, x2, k);
    x3 = fold_wide(x2, x3, k);
    while (len >= 64) {
        x3 = fold_wide(x3, p, k);
        p += 64;
        len -= 64;
    }
    *used = static_cast<size_t>(p - start);
    return finish_fold(_mm512_maskz_extracti32x4_epi32(0xF, x3, 0), _mm512_maskz_extracti32x4_epi32(0xF, x3, 1),
                       _mm512_maskz_extracti32x4_epi32(0xF, x3, 2), _mm512_maskz_extracti32x4_epi32(0xF, x3, 3), p,
                       len, used);
}

#endif  // ZELT_CRC32_HAVE_CLMUL

// The paths, slowest first; each is used only where the processor has it.
enum class Path { kPortable, kClmul, kWide };

Path best_path() {
#ifdef ZELT_CRC32_HAVE_CLMUL
    const auto& cpu = zelt::crypto::cpu_features();
    if (cpu.vpclmul512) return Path::kWide;
    if (cpu.pclmul) return Path::kClmul;
#endif
    return Path::kPortable;
}

uint32_t update_on(Path path, uint32_t crc, const uint8_t* p, size_t len) {
#ifdef ZELT_CRC32_HAVE_CLMUL
    size_t used = 0;
    if (path == Path::kWide && len >= 256)
        crc = update_wide(crc, p, len, &used);
    else if (path != Path::kPortable && len >= 64)
        crc = update_clmul(crc, p, len, &used);
    p += used;
    len -= used;
#else
    (void)path;
#endif
    return update_slice8(crc, p, len);
}

uint32_t update(uint32_t crc, const uint8_t* p, size_t len) { return update_on(best_path(), crc, p, len); }

template <Path path>
uint32_t crc32_on(uint32_t crc, const void* buf, size_t len) {
    return ~update_on(path, crc, static_cast<const uint8_t*>(buf), len);
}

}  // namespace

uint32_t crc32i(uint32_t crc, const void* buf, size_t len) {
    return ~update(crc, static_cast<const uint8_t*>(buf), len);
}

uint32_t file_crc32(const void* buf, size_t len) { return crc32i(ZELT_CRC32_INIT, buf, len); }

namespace crypto {

uint32_t crc32_bytewise(uint32_t crc, const void* buf, size_t len) {
    return ~update_bytewise(crc, static_cast<const uint8_t*>(buf), len);
}

uint32_t crc32_portable(uint32_t crc, const void* buf, size_t len) {
    return ~update_slice8(crc, static_cast<const uint8_t*>(buf), len);
}

namespace {

// Product of two polynomials modulo the CRC polynomial, in the reflected bit order the
// CRC register uses (bit 31 is x^0).
uint32_t multiply_mod_poly(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
        if (a & bit) product ^= b;
        b = (b & 1u) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
    }
    return product;
}

// x^(8 * bytes) modulo the CRC polynomial, by squaring: x^(2^k) for k = 3 upwards.
uint32_t x_to_8n_mod_poly(uint64_t bytes) {
    uint32_t result = 1u << 31;  // x^0
    uint32_t power = 1u << 23;   // x^8
    for (; bytes != 0; bytes >>= 1) {
        if (bytes & 1u) result = multiply_mod_poly(power, result);
        power = multiply_mod_poly(power, power);
    }
    return result;
}

}  // namespace

uint32_t crc32_of_suffix(uint32_t crc_ab, uint32_t crc_a, uint64_t len_b) {
    // crc(a b) = crc(a) * x^(8 |b|) + crc(b) (the start value and the final complement
    // cancel out between the two terms), so crc(b) is what is left after taking away
    // the shifted crc(a).
    return crc_ab ^ multiply_mod_poly(x_to_8n_mod_poly(len_b), crc_a);
}

uint32_t crc32_combine(uint32_t crc_a, uint32_t crc_b, uint64_t len_b) {
    // The same relation read the other way: crc(a b) = crc(a) * x^(8 |b|) + crc(b).
    return crc_b ^ multiply_mod_poly(x_to_8n_mod_poly(len_b), crc_a);
}

std::vector<Crc32Path> crc32_paths() {
    std::vector<Crc32Path> paths{{"portable", &crc32_on<Path::kPortable>}};
    const Path best = best_path();
    if (best >= Path::kClmul) paths.push_back({"clmul", &crc32_on<Path::kClmul>});
    if (best >= Path::kWide) paths.push_back({"wide", &crc32_on<Path::kWide>});
    return paths;
}

bool crc32_has_fast_path() {
#ifdef ZELT_CRC32_HAVE_CLMUL
    return cpu_features().pclmul;
#else
    return false;
#endif
}

}  // namespace crypto

}  // namespace zelt
