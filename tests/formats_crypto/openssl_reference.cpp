#include "tests/formats_crypto/openssl_reference.h"

#include <openssl/evp.h>

namespace zelt::test {

std::array<uint8_t, 32> openssl_sha256(std::span<const uint8_t> bytes) {
    std::array<uint8_t, 32> out{};
    unsigned int len = 0;
    EVP_Digest(bytes.data(), bytes.size(), out.data(), &len, EVP_sha256(), nullptr);
    return out;
}

}  // namespace zelt::test
