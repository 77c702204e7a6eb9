// Reading a simulated adapter's flash image and checking that it is whole: every
// item's data matches the checksum of its directory entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "formats/crypto/crc32.h"
#include "sim/flash/flash_model.h"

namespace zelt::test {

// The first `limit` bytes of a file (all of it by default), read in one go so that
// polling stays quick in sanitizer builds too.
inline std::vector<uint8_t> read_bytes(const std::string& path, size_t limit = SIZE_MAX) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    const auto size = static_cast<size_t>(in.tellg());
    std::vector<uint8_t> bytes(std::min(size, limit));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// Items of a flash image whose data does not match the checksum of their entry.
inline std::vector<std::string> damaged_items(std::vector<uint8_t> image) {
    zelt::sim::FlashModel flash(image);
    std::vector<std::string> damaged;
    if (!flash.has_directory()) return {"no directory"};
    for (uint32_t i = 0; i < flash.entry_count(); ++i) {
        const zelnvm_directory_entry_t e = flash.entry(i);
        if (e.type == 0) continue;
        if (uint64_t{e.item_location} + e.data_length > image.size() ||
            crc32i(ZELT_CRC32_INIT, image.data() + e.item_location, e.data_length) != e.data_chksum)
            damaged.push_back("entry " + std::to_string(i) + " type " + std::to_string(e.type));
    }
    return damaged;
}

}  // namespace zelt::test
