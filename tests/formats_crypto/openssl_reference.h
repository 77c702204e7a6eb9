// OpenSSL's SHA-256 as a reference for tests and benchmarks. Kept in its own file so
// that OpenSSL's headers never meet the system's own SHA-256 declarations.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zelt::test {

std::array<uint8_t, 32> openssl_sha256(std::span<const uint8_t> bytes);

}  // namespace zelt::test
