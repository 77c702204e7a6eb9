#include "formats/crypto/rsa_sign.h"

#include <algorithm>
#include <string_view>

#include "common/hvxretval.h"
#include "formats/crypto/rsa.h"
#include "formats/crypto/sha256.h"
#include "formats/crypto/tomcrypt_setup.h"

namespace zelt {

namespace crypto {

namespace {

int base64_value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Decodes base64 text, skipping white space; false on any other stray character.
bool base64_decode_text(std::string_view text, std::vector<uint8_t>* out) {
    uint32_t acc = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        const int v = base64_value(c);
        if (v < 0 || padding) return false;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out->push_back(static_cast<uint8_t>(acc >> bits));
        }
    }
    return true;
}

enum class KeyForm { Pkcs1, Pkcs8, Unknown };

// Turns a PEM text into DER (and says which wrapper it names); DER input is passed
// through with its form unknown.
bool key_der(std::span<const uint8_t> key, std::vector<uint8_t>* der, KeyForm* form) {
    const std::string_view text(reinterpret_cast<const char*>(key.data()), key.size());
    const size_t begin = text.find("-----BEGIN ");
    if (begin == std::string_view::npos) {
        der->assign(key.begin(), key.end());
        *form = KeyForm::Unknown;
        return !der->empty();
    }
    const size_t label_start = begin + 11;
    const size_t label_end = text.find("-----", label_start);
    if (label_end == std::string_view::npos) return false;
    const std::string_view label = text.substr(label_start, label_end - label_start);
    if (label == "RSA PRIVATE KEY") {
        *form = KeyForm::Pkcs1;
    } else if (label == "PRIVATE KEY") {
        *form = KeyForm::Pkcs8;
    } else {
        return false;
    }
    const size_t body = label_end + 5;
    const size_t end = text.find("-----END ", body);
    if (end == std::string_view::npos) return false;
    return base64_decode_text(text.substr(body, end - body), der) && !der->empty();
}

// Loads a private RSA key into `owner`; false when the bytes hold none.
bool load_private_key(std::span<const uint8_t> key, detail::RsaKeyOwner* owner) {
    detail::use_tommath();
    std::vector<uint8_t> der;
    KeyForm form = KeyForm::Unknown;
    if (!key_der(key, &der, &form)) return false;
    int rc = CRYPT_ERROR;
    if (form != KeyForm::Pkcs8) rc = rsa_import(der.data(), der.size(), owner->get());
    if (rc != CRYPT_OK && form != KeyForm::Pkcs1) {
        rc = rsa_import_pkcs8(der.data(), der.size(), nullptr, 0, owner->get());
    }
    if (rc != CRYPT_OK) return false;
    owner->mark_live();
    return owner->get()->type == PK_PRIVATE;
}

size_t modulus_bytes(detail::RsaKeyOwner* owner) {
    return static_cast<size_t>((ltc_mp.count_bits(owner->get()->N) + 7) / 8);
}

}  // namespace

int rsa_sign_pkcs1_payload(std::span<const uint8_t> private_key_der_or_pem, std::span<const uint8_t> payload,
                           std::vector<uint8_t>* signature) {
    if (signature == nullptr) return HVXRETVAL_INVALID_PARAMETER;
    detail::RsaKeyOwner owner;
    if (!load_private_key(private_key_der_or_pem, &owner)) return HVXRETVAL_INVALID_PARAMETER;

    const unsigned long bits = static_cast<unsigned long>(ltc_mp.count_bits(owner.get()->N));
    const size_t len = modulus_bytes(&owner);
    std::vector<uint8_t> block(len);
    unsigned long block_len = block.size();
    if (pkcs_1_v1_5_encode(payload.data(), payload.size(), LTC_PKCS_1_EMSA, bits, nullptr, 0, block.data(),
                           &block_len) != CRYPT_OK) {
        return HVXRETVAL_FAILURE;
    }
    std::vector<uint8_t> out(len);
    unsigned long out_len = out.size();
    if (rsa_exptmod(block.data(), block_len, out.data(), &out_len, PK_PRIVATE, owner.get()) != CRYPT_OK ||
        out_len != len) {
        return HVXRETVAL_FAILURE;
    }
    *signature = std::move(out);
    return HVXRETVAL_SUCCESS;
}

int rsa_sign_sha256(std::span<const uint8_t> private_key_der_or_pem, std::span<const uint8_t> message,
                    std::vector<uint8_t>* signature) {
    const Sha256Digest digest = sha256(message);
    return zelt_rsa_sign_sha256(private_key_der_or_pem, digest, signature);
}

int rsa_public_part(std::span<const uint8_t> private_key_der_or_pem, std::vector<uint8_t>* modulus,
                    std::vector<uint8_t>* exponent) {
    detail::RsaKeyOwner owner;
    if (!load_private_key(private_key_der_or_pem, &owner)) return HVXRETVAL_INVALID_PARAMETER;
    auto export_number = [](void* n, std::vector<uint8_t>* out) {
        if (out == nullptr) return;
        out->assign(ltc_mp.unsigned_size(n), 0);
        ltc_mp.unsigned_write(n, out->data());
    };
    export_number(owner.get()->N, modulus);
    export_number(owner.get()->e, exponent);
    return HVXRETVAL_SUCCESS;
}

}  // namespace crypto

int zelt_rsa_sign_sha256(std::span<const uint8_t> private_key_der_or_pem, std::span<const uint8_t, 32> digest,
                         std::vector<uint8_t>* signature) {
    const auto prefix = zelt::crypto::sha256_digest_info_prefix();
    std::vector<uint8_t> digest_info(prefix.begin(), prefix.end());
    digest_info.insert(digest_info.end(), digest.begin(), digest.end());
    return zelt::crypto::rsa_sign_pkcs1_payload(private_key_der_or_pem, digest_info, signature);
}

}  // namespace zelt
