// The simulated firmware's package reader over arbitrary staged bytes: it must never
// read outside them, and what it accepts must hold only records whose data lies inside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "sim/firmware/staged_package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zelt::sim;
    const std::span<const uint8_t> staged(data, size);
    const size_t length = staged_package_length(staged);
    if (length > size) std::abort();
    StagedPackage pkg;
    int bad = -1;
    const bool ok = check_staged_package(staged.first(length == 0 ? size : length), pkg, bad);
    for (uint8_t id : {kPropDescription, kPropVersion, kPropLivePatch}) (void)pkg.property_text(id);
    if (ok) {
        for (const StagedRecord& r : pkg.records)
            if (pkg.data(r).size() != r.entry.data_length) std::abort();
    }
    return 0;
}
