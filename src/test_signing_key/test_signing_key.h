// The repository's test signing key (PEM, private half), compiled in. Only the
// simulator's factory content, zeltpkg, the tests and the benchmarks link it; the
// utility itself never does.
#pragma once

#include <cstdint>
#include <span>

namespace zelt::pkgbuild {

std::span<const uint8_t> test_signing_key();

}  // namespace zelt::pkgbuild
