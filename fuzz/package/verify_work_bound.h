// Verification held to a bound linear in the input: a package of n bytes is checked
// in at most 3n steps plus one per record (VerifyWork), however its records are laid
// out. A run over the bound aborts, so the fuzzer reports it with its input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "package/package_checks.h"
#include "package/package_records.h"

namespace zelt::fuzz {

inline int32_t verify_within_bound(const uint8_t* data, size_t size) {
    int32_t index = 0;
    VerifyWork work;
    const int32_t rc = zelpkgVerify(data, size, &index, &work);
    const uint64_t bound = 3 * static_cast<uint64_t>(size) + ZELPKG_MAX_ITEMS + 1;
    if (work.steps > bound) {
        std::fprintf(stderr, "verification of %zu bytes took %llu steps (bound %llu), result %d at item %d\n", size,
                     static_cast<unsigned long long>(work.steps), static_cast<unsigned long long>(bound), rc, index);
        std::abort();
    }
    return rc;
}

}  // namespace zelt::fuzz
