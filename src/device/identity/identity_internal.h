// Helpers shared by the identity files: where an adapter sits on the PCI bus, reading
// a whole NVM item into a saved piece, and NVM option reads and writes by firmware
// message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/directory_entry.h"
#include "common/pci_address.h"
#include "common/result.h"
#include "device/identity/identity.h"

namespace zelt::device::identity {

// PCI address of the discovered function `target`.
bool location_of(const InventoryFunction& target, PciAddress& where);
// True when `a` and `b` are functions of one adapter (same domain, bus and device).
bool same_adapter(const PciAddress& a, const PciAddress& b);
// True when `target` is a function of the adapter `saved` was read from.
bool at_location(const InventoryFunction& target, const PciAddress& saved);
// Device type of `target` from the supported-device table; -1 when unknown.
int device_type_of(const InventoryFunction& target);

// Reads the data_length bytes of the item of `entry` into `out` (lengths and identity
// copied from the entry). Success or the read's failure.
Result read_item(const transport::Function& fn, const zelnvm_directory_entry_t& entry, SavedItem& out);

// One NVM option value by firmware message: `bits` wide, `dimensions` indexes.
struct OptionRef {
    uint16_t option;
    uint16_t bits;
    uint16_t dimensions;
    uint16_t index_0;
    uint16_t index_1;
};
// Reads (bits + 7) / 8 bytes of the option into `value` (at most `size`).
Result option_get(const transport::Function& fn, const OptionRef& ref, uint8_t* value, size_t size);
// Writes (bits + 7) / 8 bytes of `value` to the option.
Result option_set(const transport::Function& fn, const OptionRef& ref, const uint8_t* value, size_t size);
// Commits written options to the NVM.
Result option_flush(const transport::Function& fn);

}  // namespace zelt::device::identity
