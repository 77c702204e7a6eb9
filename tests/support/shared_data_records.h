// A hostile package made from a sound one: every record points at the data of the
// first record, so a verification that checks record by record reads that data once
// per record. Used by the package tests and the verification benchmark.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace zelt::test {

// Copies record 0's data location, lengths and data checksum into every other record
// of a package written with the standard sizes (20-byte manifest header, 88-byte
// records). Each record keeps its own type, ordinal and directive, so only the shared
// data is at fault. The package checksum is left stale: the caller recomputes it.
inline void point_records_at_first_data(std::vector<uint8_t>& pkg) {
    auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, pkg.data() + at, 4);
        return v;
    };
    const size_t manifest = u32(8);
    const uint32_t items = u32(manifest + 8);
    const size_t first = manifest + 20 + 64;  // directory entry of record 0
    // item_location, item_length, data_length and data_chksum: 16 bytes from offset 8.
    for (uint32_t i = 1; i < items; ++i) std::memcpy(pkg.data() + first + i * 88 + 8, pkg.data() + first + 8, 16);
}

}  // namespace zelt::test
