// Looking functions up in the run's inventory by the user's selector text, and the
// table facts of a function.
#pragma once

#include <cstdint>

#include "common/pci_address.h"
#include "device/discovery_records.h"
#include "device/inventory.h"

namespace zelt::device {

// How a selector (the text the user gave to choose a function) is matched against the
// function records.
enum device_selection_type : int {
    DEV_BY_MAC = 0,      // current_mac_addr, ignoring case
    DEV_BY_SERVICE = 1,  // dev_name, exactly; a PCI window name by the address it holds
    DEV_BY_TITLE = 2,    // the PCI address the selector is ("domain:bus:device.function")
    DEV_BY_PCI_ID = 3,   // never found
};

// Parses "domain:bus:device.function" (four hexadecimal numbers of at most 16 bits, the
// domain required, nothing after the function).
bool zeltnvm_parse_pci_address(const char* text, PciAddress* out);

// The first function of `inventory` matching the user's `selector` text under `type`;
// nullptr when none does. This is where a selector becomes a function: below it,
// operations take the function value.
const InventoryFunction* find_function(const Inventory& inventory, const char* selector,
                                       device_selection_type type = DEV_BY_SERVICE);
// The device type of the table row of a function's device id; -1 when the table has
// no such row.
int device_type_of(const InventoryFunction& function);

// Table texts of a function record: the chip name of its device id, and the part number
// of its board (device id and subsystem device id). "" when the table has none.
// `text` receives at most 32 bytes with the terminator.
void zeltnvm_get_chip_number(char* text, const zelt_nvm_device_info_t* record);
void zeltnvm_get_part_number(char* text, const zelt_nvm_device_info_t* record);

// The adapter's representative function: among the functions of the adapter
// (on_adapter), the first with PCI function number 0, else the one with the lowest
// function number. nullptr for an adapter index out of range.
const InventoryFunction* zeltnvm_adapter_representative(const Inventory& inventory, int adapter_index);
// Index in `inventory.adapters` of the adapter holding function record `record`, or -1.
int zeltnvm_adapter_of(const Inventory& inventory, const zelt_nvm_device_info_t* record);

}  // namespace zelt::device
