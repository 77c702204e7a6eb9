// RSASSA-PKCS1-v1_5 signature verification with SHA-256, and the public key that
// every firmware item signature is checked against (compiled in at build time).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zelt {

inline constexpr size_t ZELT_RSA_MODULUS_SIZE = 256;  // 2048-bit keys
inline constexpr size_t ZELT_RSA_SIG_SIZE = 256;

// The built-in public key: modulus and exponent, big-endian.
extern const uint8_t pub_key_N_bin[ZELT_RSA_MODULUS_SIZE];
extern const uint8_t pub_key_e_bin[3];

// Verifies the 256-byte `signature` over buffer[offset .. offset + length) with the
// built-in key. 0 when it verifies; HVXRETVAL_INVALID_RSA_SIGNATURE (-29) when it does
// not or cannot be processed; HVXRETVAL_FAILURE (-1) when the key cannot be set up.
// The caller guarantees that the range and the 256 signature bytes are readable.
int zeltnvmVerifyRSAsignatureAtOffset(const uint8_t* buffer, size_t offset, size_t length,
                                      const uint8_t* signature);
int zeltnvmVerifyRSAsignature(const uint8_t* buffer, size_t length, const uint8_t* signature);

namespace crypto {

struct RsaPublicKey {
    std::span<const uint8_t> modulus;   // big-endian
    std::span<const uint8_t> exponent;  // big-endian
};

// The compiled-in key.
RsaPublicKey builtin_public_key();

// True when the compiled-in key is the repository's test key.
bool builtin_key_is_test_key();

// Verifies `signature` as RSASSA-PKCS1-v1_5 over a message whose SHA-256 is `digest`:
// the decrypted block must be 0x00 0x01, 0xFF padding, 0x00 and exactly the DER
// DigestInfo naming SHA-256 with these 32 bytes. Same results as above.
int rsa_verify_sha256_digest(const RsaPublicKey& key, std::span<const uint8_t, 32> digest,
                             std::span<const uint8_t> signature);

// Same over the bytes of `message`.
int rsa_verify_sha256(const RsaPublicKey& key, std::span<const uint8_t> message,
                      std::span<const uint8_t> signature);

// The 19-byte DER prefix of a SHA-256 DigestInfo (the 32 digest bytes follow it).
std::span<const uint8_t> sha256_digest_info_prefix();

}  // namespace crypto

}  // namespace zelt
