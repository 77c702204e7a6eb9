// RSASSA-PKCS1-v1_5 signing with a private key, for the package builder, the
// simulated adapters' factory content and tests. Keys are given as bytes: a PEM text
// ("RSA PRIVATE KEY" or unencrypted "PRIVATE KEY") or the DER form of either.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zelt {

// Signs the SHA-256 `digest` (32 bytes) of a message. On success returns 0 and sets
// `signature` to the modulus-sized signature. HVXRETVAL_INVALID_PARAMETER (-16) for a
// key that cannot be read or is not a private RSA key; HVXRETVAL_FAILURE (-1) when the
// signing itself fails.
int zelt_rsa_sign_sha256(std::span<const uint8_t> private_key_der_or_pem, std::span<const uint8_t, 32> digest,
                         std::vector<uint8_t>* signature);

namespace crypto {

// Signs an arbitrary EMSA-PKCS1-v1_5 payload (normally a DigestInfo) with the private
// key: the building block of zelt_rsa_sign_sha256, open for tests that need blocks
// naming other hashes. Same results.
int rsa_sign_pkcs1_payload(std::span<const uint8_t> private_key_der_or_pem, std::span<const uint8_t> payload,
                           std::vector<uint8_t>* signature);

// SHA-256 of `message`, then zelt_rsa_sign_sha256.
int rsa_sign_sha256(std::span<const uint8_t> private_key_der_or_pem, std::span<const uint8_t> message,
                    std::vector<uint8_t>* signature);

// The public modulus and exponent (big-endian) of a private key. 0 or -16.
int rsa_public_part(std::span<const uint8_t> private_key_der_or_pem, std::vector<uint8_t>* modulus,
                    std::vector<uint8_t>* exponent);

}  // namespace crypto

}  // namespace zelt
