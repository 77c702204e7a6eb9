// Package verification over arbitrary bytes, with its work held to a bound linear in
// the input's length.
#include <cstdint>

#include "fuzz/package/verify_work_bound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelt::fuzz::verify_within_bound(data, size);
    return 0;
}
