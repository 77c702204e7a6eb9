#include "test_signing_key/test_signing_key.h"

namespace zelt::pkgbuild {

namespace {

#include "test_signing_key.inc"

}  // namespace

std::span<const uint8_t> test_signing_key() {
    return {reinterpret_cast<const uint8_t*>(kTestSigningKey), sizeof(kTestSigningKey) - 1};
}

}  // namespace zelt::pkgbuild
