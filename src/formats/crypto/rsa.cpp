#include "formats/crypto/rsa.h"

#include <array>
#include <cstring>
#include <vector>

#include "common/hvxretval.h"
#include "formats/crypto/sha256.h"
#include "formats/crypto/tomcrypt_setup.h"

namespace zelt {

namespace crypto {

namespace {

// DER of DigestInfo { AlgorithmIdentifier { id-sha256, NULL }, OCTET STRING (32) }.
constexpr std::array<uint8_t, 19> kSha256DigestInfoPrefix = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                                             0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                                             0x01, 0x05, 0x00, 0x04, 0x20};
constexpr size_t kDigestInfoSize = kSha256DigestInfoPrefix.size() + 32;

}  // namespace

std::span<const uint8_t> sha256_digest_info_prefix() { return kSha256DigestInfoPrefix; }

int rsa_verify_sha256_digest(const RsaPublicKey& key, std::span<const uint8_t, 32> digest,
                             std::span<const uint8_t> signature) {
    detail::use_tommath();
    detail::RsaKeyOwner owner;
    if (key.modulus.empty() || key.exponent.empty()) return HVXRETVAL_FAILURE;
    if (rsa_set_key(key.modulus.data(), key.modulus.size(), key.exponent.data(), key.exponent.size(), nullptr, 0,
                    owner.get()) != CRYPT_OK) {
        return HVXRETVAL_FAILURE;
    }
    owner.mark_live();

    const int modulus_bits = ltc_mp.count_bits(owner.get()->N);
    const size_t modulus_len = static_cast<size_t>((modulus_bits + 7) / 8);
    if (signature.size() != modulus_len || modulus_len < kDigestInfoSize + 11) return HVXRETVAL_INVALID_RSA_SIGNATURE;

    // s^e mod N; rejects a signature value not below the modulus.
    std::vector<uint8_t> block(modulus_len);
    unsigned long block_len = block.size();
    if (rsa_exptmod(signature.data(), signature.size(), block.data(), &block_len, PK_PUBLIC, owner.get()) !=
            CRYPT_OK ||
        block_len != modulus_len) {
        return HVXRETVAL_INVALID_RSA_SIGNATURE;
    }

    // 0x00 0x01 PS(0xFF...) 0x00 payload.
    std::vector<uint8_t> payload(modulus_len);
    unsigned long payload_len = payload.size();
    int valid = 0;
    if (pkcs_1_v1_5_decode(block.data(), block_len, LTC_PKCS_1_EMSA, static_cast<unsigned long>(modulus_bits),
                           payload.data(), &payload_len, &valid) != CRYPT_OK ||
        valid != 1) {
        return HVXRETVAL_INVALID_RSA_SIGNATURE;
    }

    // The payload must be exactly the SHA-256 DigestInfo of this digest: another hash,
    // another length or trailing bytes all fail.
    if (payload_len != kDigestInfoSize ||
        std::memcmp(payload.data(), kSha256DigestInfoPrefix.data(), kSha256DigestInfoPrefix.size()) != 0 ||
        std::memcmp(payload.data() + kSha256DigestInfoPrefix.size(), digest.data(), digest.size()) != 0) {
        return HVXRETVAL_INVALID_RSA_SIGNATURE;
    }
    return HVXRETVAL_SUCCESS;
}

int rsa_verify_sha256(const RsaPublicKey& key, std::span<const uint8_t> message,
                      std::span<const uint8_t> signature) {
    const Sha256Digest digest = sha256(message);
    return rsa_verify_sha256_digest(key, digest, signature);
}

}  // namespace crypto

int zeltnvmVerifyRSAsignatureAtOffset(const uint8_t* buffer, size_t offset, size_t length,
                                      const uint8_t* signature) {
    if (signature == nullptr || (buffer == nullptr && length != 0)) return HVXRETVAL_INVALID_RSA_SIGNATURE;
    const std::span<const uint8_t> message(length == 0 ? nullptr : buffer + offset, length);
    return zelt::crypto::rsa_verify_sha256(zelt::crypto::builtin_public_key(), message,
                                           std::span<const uint8_t>(signature, ZELT_RSA_SIG_SIZE));
}

int zeltnvmVerifyRSAsignature(const uint8_t* buffer, size_t length, const uint8_t* signature) {
    return zeltnvmVerifyRSAsignatureAtOffset(buffer, 0, length, signature);
}

}  // namespace zelt
