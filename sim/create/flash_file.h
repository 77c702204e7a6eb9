// Writing a new adapter's flash image file: the NVM directory and the items, every
// other byte erased (0xFF).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zelt::sim {

// An item a new flash holds. `data` points into memory that `keep` (when set) or the
// caller keeps alive for as long as the item is used. `data_crc`, when given, is the
// CRC-32 of `data` known already (the entry's checksum), so it is not taken again.
struct NvmItem {
    uint16_t type = 0;
    uint16_t ordinal = 0;
    uint16_t ext = 0;
    uint16_t attr = 0;
    uint32_t item_length = 0;  // 0: the data length
    std::span<const uint8_t> data;
    std::shared_ptr<const void> keep;
    std::optional<uint32_t> data_crc;
};

// Makes `path` a file of erased bytes: `least` of them, then more in steps of 2 MiB
// while `more()` says so, up to `most`. The number written, or 0 with `error` set.
uint64_t write_erased_file(const std::string& path, uint64_t least, uint64_t most, const std::function<bool()>& more,
                           std::string& error);

// Writes the flash image file `path` of `size` bytes holding `items`, placed as the
// flash model places them when they are written one after another on an erased flash.
// The file's first `erased` bytes are erased already (0: a new file is written); they
// are not written again, and the file is cut to `size`. Every other byte is written
// once. An item that does not fit fails with "<label>: item of type T does not fit: ...".
bool write_flash_file(const std::string& path, uint64_t size, std::span<const NvmItem> items, uint64_t erased,
                      const std::string& label, std::string& error);

}  // namespace zelt::sim
