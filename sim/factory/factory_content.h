// What an adapter's NVM holds when it leaves the factory: firmware items, VPD with the
// serial and part number, FRU data, configuration items, the install log with the
// factory entry, and an empty update staging item.
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
std::vector<FactoryItem> factory_items(const AdapterDesc& adapter);

// The VPD item: format revision word, identifier string (product name) and a read-only
// area with part number ("PN"), serial number ("SN"), manufacturer number ("MN") and
// engineering change level ("EC").
std::vector<uint8_t> build_vpd_item(const AdapterDesc& adapter);

// The FRU item: board product name at 19 (32 bytes), serial number at 52 (14 bytes),
// part number at 67 (6 bytes), adapter revision at 73 (3 bytes).
std::vector<uint8_t> build_fru_item(const AdapterDesc& adapter);

}  // namespace zelt::sim
