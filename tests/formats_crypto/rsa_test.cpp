// RSA signatures: openssl-made signatures verify against the built-in key, the signer
// agrees with openssl, and every damaged or foreign signature block is refused.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "formats/crypto/rsa.h"
#include "formats/crypto/rsa_sign.h"
#include "formats/crypto/sha256.h"
#include "tests/support/run_program.h"

using namespace zelt;

namespace {

const std::string kKeyDir = std::string(ZELT_SOURCE_DIR) + "/tests/fixtures/keys/";

std::vector<uint8_t> file_bytes(const std::string& path) {
    const std::string text = zelt::test::read_text_file(path);
    return {text.begin(), text.end()};
}

std::vector<uint8_t> test_key() { return file_bytes(kKeyDir + "zelt_test_signing_key.pem"); }

std::vector<uint8_t> sample_image(size_t n) {
    std::mt19937 gen(11);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(gen());
    return v;
}

class RsaTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zelt::crypto::builtin_key_is_test_key()) GTEST_SKIP() << "built with a production key";
    }
};

TEST_F(RsaTest, OpensslSignatureVerifiesAndMatchesOwnSigner) {
    zelt::test::TempDir dir;
    const auto image = sample_image(70000);
    zelt::test::write_text_file(dir.file("image.bin"), std::string(image.begin(), image.end()));
    const auto run = zelt::test::run_program({"/usr/bin/openssl", "dgst", "-sha256", "-sign",
                                              kKeyDir + "zelt_test_signing_key.pem", "-out", dir.file("image.sig"),
                                              dir.file("image.bin")});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto sig = file_bytes(dir.file("image.sig"));
    ASSERT_EQ(sig.size(), ZELT_RSA_SIG_SIZE);

    EXPECT_EQ(zeltnvmVerifyRSAsignature(image.data(), image.size(), sig.data()), 0);

    // PKCS #1 v1.5 signatures are deterministic: the own signer must give the same bytes.
    std::vector<uint8_t> own;
    ASSERT_EQ(zelt::crypto::rsa_sign_sha256(test_key(), image, &own), 0);
    EXPECT_EQ(own, sig);
}

TEST_F(RsaTest, VerifiesARangeAtAnOffset) {
    auto buffer = sample_image(1000);
    std::vector<uint8_t> sig;
    ASSERT_EQ(zelt::crypto::rsa_sign_sha256(test_key(), std::span(buffer).subspan(100, 500), &sig), 0);
    EXPECT_EQ(zeltnvmVerifyRSAsignatureAtOffset(buffer.data(), 100, 500, sig.data()), 0);
    EXPECT_EQ(zeltnvmVerifyRSAsignatureAtOffset(buffer.data(), 101, 500, sig.data()),
              HVXRETVAL_INVALID_RSA_SIGNATURE);
    EXPECT_EQ(zeltnvmVerifyRSAsignatureAtOffset(buffer.data(), 100, 499, sig.data()),
              HVXRETVAL_INVALID_RSA_SIGNATURE);
}

TEST_F(RsaTest, FlippedBitsFail) {
    auto image = sample_image(4096);
    std::vector<uint8_t> sig;
    ASSERT_EQ(zelt::crypto::rsa_sign_sha256(test_key(), image, &sig), 0);
    ASSERT_EQ(zeltnvmVerifyRSAsignature(image.data(), image.size(), sig.data()), 0);

    for (size_t bit : {0u, 7u, 12345u, 4096u * 8 - 1}) {
        auto damaged = image;
        damaged[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        EXPECT_EQ(zeltnvmVerifyRSAsignature(damaged.data(), damaged.size(), sig.data()),
                  HVXRETVAL_INVALID_RSA_SIGNATURE)
            << "image bit " << bit;
    }
    for (size_t bit : {0u, 8u, 1000u, 2047u}) {
        auto damaged = sig;
        damaged[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        EXPECT_EQ(zeltnvmVerifyRSAsignature(image.data(), image.size(), damaged.data()),
                  HVXRETVAL_INVALID_RSA_SIGNATURE)
            << "signature bit " << bit;
    }
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Signature blocks that are correctly padded and signed with the right key, but whose
// payload is not exactly the SHA-256 DigestInfo of the message.
TEST_F(RsaTest, ForeignDigestInfoFails) {
    const auto image = sample_image(3000);
    const auto d = zelt::crypto::sha256(image);
    const std::vector<uint8_t> digest(d.begin(), d.end());
    const auto prefix = zelt::crypto::sha256_digest_info_prefix();
    const std::vector<uint8_t> sha256_prefix(prefix.begin(), prefix.end());
    // SHA-1 and SHA-512 DigestInfo headers (for their lengths), carrying our bytes.
    const std::vector<uint8_t> sha1_prefix = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                              0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
    const std::vector<uint8_t> sha512_prefix = {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                                0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40};
    std::vector<uint8_t> sha224_oid = sha256_prefix;
    sha224_oid[14] = 0x04;  // 2.16.840.1.101.3.4.2.4

    struct Case {
        const char* what;
        std::vector<uint8_t> payload;
    };
    const std::vector<uint8_t> first20(digest.begin(), digest.begin() + 20);
    const Case cases[] = {
        {"SHA-1 DigestInfo", concat({sha1_prefix, first20})},
        {"SHA-512 DigestInfo", concat({sha512_prefix, digest, digest})},
        {"SHA-224 object identifier", concat({sha224_oid, digest})},
        {"bare digest without DigestInfo", digest},
        {"trailing byte", concat({sha256_prefix, digest, {0x00}})},
        {"digest one byte short", concat({sha256_prefix, std::vector<uint8_t>(digest.begin(), digest.end() - 1)})},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> sig;
        ASSERT_EQ(zelt::crypto::rsa_sign_pkcs1_payload(test_key(), c.payload, &sig), 0) << c.what;
        EXPECT_EQ(zeltnvmVerifyRSAsignature(image.data(), image.size(), sig.data()), HVXRETVAL_INVALID_RSA_SIGNATURE)
            << c.what;
    }
    // The same path with the right payload verifies, so the cases above fail for
    // their payload alone.
    std::vector<uint8_t> sig;
    ASSERT_EQ(zelt::crypto::rsa_sign_pkcs1_payload(test_key(), concat({sha256_prefix, digest}), &sig), 0);
    EXPECT_EQ(zeltnvmVerifyRSAsignature(image.data(), image.size(), sig.data()), 0);
}

TEST_F(RsaTest, MalformedSignatureValuesFail) {
    const auto image = sample_image(100);
    const auto key = zelt::crypto::builtin_public_key();
    std::vector<uint8_t> good;
    ASSERT_EQ(zelt::crypto::rsa_sign_sha256(test_key(), image, &good), 0);

    std::vector<uint8_t> modulus(key.modulus.begin(), key.modulus.end());
    std::vector<uint8_t> all_ones(ZELT_RSA_SIG_SIZE, 0xFF);
    struct Case {
        const char* what;
        std::vector<uint8_t> sig;
    };
    const Case cases[] = {
        {"zero", std::vector<uint8_t>(ZELT_RSA_SIG_SIZE, 0)},
        {"equal to the modulus", modulus},
        {"above the modulus", all_ones},
        {"one byte short", std::vector<uint8_t>(good.begin() + 1, good.end())},
        {"one byte long", concat({{0x00}, good})},
        {"empty", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zelt::crypto::rsa_verify_sha256(key, image, c.sig), HVXRETVAL_INVALID_RSA_SIGNATURE) << c.what;
    }
    EXPECT_EQ(zelt::crypto::rsa_verify_sha256(key, image, good), 0);
}

TEST_F(RsaTest, KeyFormsAndPublicPart) {
    zelt::test::TempDir dir;
    const std::string pem = kKeyDir + "zelt_test_signing_key.pem";
    ASSERT_EQ(zelt::test::run_program({"/usr/bin/openssl", "pkcs8", "-topk8", "-nocrypt", "-in", pem, "-out",
                                       dir.file("pkcs8.pem")})
                  .status,
              0);
    ASSERT_EQ(zelt::test::run_program({"/usr/bin/openssl", "rsa", "-in", pem, "-outform", "DER", "-traditional",
                                       "-out", dir.file("pkcs1.der")})
                  .status,
              0);
    ASSERT_EQ(zelt::test::run_program({"/usr/bin/openssl", "pkcs8", "-topk8", "-nocrypt", "-in", pem, "-outform",
                                       "DER", "-out", dir.file("pkcs8.der")})
                  .status,
              0);

    const auto image = sample_image(777);
    for (const char* name : {"pkcs8.pem", "pkcs1.der", "pkcs8.der"}) {
        std::vector<uint8_t> sig;
        EXPECT_EQ(zelt::crypto::rsa_sign_sha256(file_bytes(dir.file(name)), image, &sig), 0) << name;
        EXPECT_EQ(zeltnvmVerifyRSAsignature(image.data(), image.size(), sig.data()), 0) << name;
    }

    std::vector<uint8_t> modulus, exponent;
    ASSERT_EQ(zelt::crypto::rsa_public_part(test_key(), &modulus, &exponent), 0);
    EXPECT_EQ(modulus, std::vector<uint8_t>(pub_key_N_bin, pub_key_N_bin + ZELT_RSA_MODULUS_SIZE));
    EXPECT_EQ(exponent, std::vector<uint8_t>(pub_key_e_bin, pub_key_e_bin + 3));
}

TEST(RsaSign, RefusesWhatIsNotAPrivateKey) {
    const std::string text = "not a key";
    const std::vector<std::vector<uint8_t>> keys = {
        file_bytes(kKeyDir + "zelt_test_signing_key.pub.pem"),
        {text.begin(), text.end()},
        {},
    };
    const std::array<uint8_t, 32> digest{};
    for (const auto& k : keys) {
        std::vector<uint8_t> sig;
        EXPECT_EQ(zelt_rsa_sign_sha256(k, digest, &sig), HVXRETVAL_INVALID_PARAMETER);
        EXPECT_TRUE(sig.empty());
    }
}

}  // namespace
