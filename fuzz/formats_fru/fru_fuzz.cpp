// Board fields of arbitrary FRU bytes: no access outside the buffer, and fields read
// from an item build an item that reads back the same.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/fru/fru.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fru = zelt::formats::fru;
    const auto fields = fru::parse(std::span<const uint8_t>(data, size));
    if (!fields) {
        if (size >= fru::kFieldsEnd) __builtin_trap();
        return 0;
    }
    const auto again = fru::parse(fru::build(*fields));
    if (!again || again->product_name != fields->product_name || again->serial_number != fields->serial_number ||
        again->part_number != fields->part_number || again->revision != fields->revision)
        __builtin_trap();
    return 0;
}
