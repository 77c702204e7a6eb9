// Package verification over arbitrary bytes.
#include <cstdint>

#include "package/package_checks.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t index = 0;
    zelpkgVerify(data, size, &index);
    return 0;
}
