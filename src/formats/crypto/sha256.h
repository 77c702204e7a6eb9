// SHA-256 (FIPS 180-4) as an incremental context: Init, any number of Updates, Final.
// Uses the processor's SHA instructions where present (checked once at run time),
// a portable block function otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zelt {

inline constexpr size_t ZELT_SHA256_DIGEST_SIZE = 32;
inline constexpr size_t ZELT_SHA256_BLOCK_SIZE = 64;

struct SHA256_CTX {
    uint32_t digest[8];  // chaining state H0..H7
    uint32_t countHi;    // message length in bits, high word
    uint32_t countLo;    // message length in bits, low word
    uint32_t data[16];   // the pending partial block, as bytes in message order
    int Endianness;      // 1 when the host is little-endian, 0 when big-endian
};

void SHA256Init(SHA256_CTX* ctx);
void SHA256Update(SHA256_CTX* ctx, const void* data, size_t len);
// SHA256Update of two contexts, each with `len` bytes of its own. Where the processor
// has the SHA instructions and neither context holds part of a block (every update so
// far a multiple of 64 bytes), the whole blocks of both are hashed interleaved, which
// takes markedly less time than the two one after the other.
void SHA256UpdatePair(SHA256_CTX* a, const void* data_a, SHA256_CTX* b, const void* data_b, size_t len);
// Writes the 32-byte digest and wipes the context.
void SHA256Final(SHA256_CTX* ctx, uint8_t digest[ZELT_SHA256_DIGEST_SIZE]);

namespace crypto {

using Sha256Digest = std::array<uint8_t, ZELT_SHA256_DIGEST_SIZE>;

// SHA-256 of a byte span in one call.
Sha256Digest sha256(std::span<const uint8_t> bytes);

// The same with the SHA instructions switched off, for tests and benchmarks.
Sha256Digest sha256_portable(std::span<const uint8_t> bytes);

// True when the SHA instruction path is used on this processor.
bool sha256_has_fast_path();

}  // namespace crypto

}  // namespace zelt
