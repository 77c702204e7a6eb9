// What an adapter's NVM holds when it leaves the factory: signed firmware items,
// secure-boot images (newest chips), trailer-signed tables, VPD with the serial and
// part number, FRU data, configuration items (the onboard configuration with its data
// checksum in the directory entry), certificates (a chain of two and the alias on the
// newest chips), the install log with the factory entry,
// and an empty update staging item. Images are made by the package builder and
// signed with the repository's test key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/state/description.h"

namespace zelt::sim {

struct FactoryItem {
    uint16_t type;
    uint16_t ordinal;
    uint16_t ext;
    uint16_t attr;
    uint32_t item_length;  // 0: the data length
    std::vector<uint8_t> data;
};

// The factory items of an adapter, in the order they are written to the flash.
// 0, or the builder's failure with `error` naming the item.
int factory_items(const AdapterDesc& adapter, std::vector<FactoryItem>& items, std::string& error);

}  // namespace zelt::sim
