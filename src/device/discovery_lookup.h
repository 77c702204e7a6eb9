// Looking functions up in the run's inventory, and the table facts of a function.
#pragma once

#include <cstdint>

#include "common/pci_address.h"
#include "device/discovery_records.h"
#include "device/inventory.h"

// How a device name is looked up in the function records.
enum device_selection_type : int {
    DEV_BY_MAC = 0,      // current_mac_addr, ignoring case
    DEV_BY_SERVICE = 1,  // dev_name, exactly; a PCI window name by the address it holds
    DEV_BY_TITLE = 2,    // the PCI address the name is ("domain:bus:device.function")
    DEV_BY_PCI_ID = 3,   // never found
};

// Parses "domain:bus:device.function" (four hexadecimal numbers of at most 16 bits, the
// domain required, nothing after the function).
bool zeltnvm_parse_pci_address(const char* text, zelt::PciAddress* out);

namespace zelt::device {
// The first function of `inventory` matching `name` under `type`; nullptr when none does.
const InventoryFunction* find_function(const Inventory& inventory, const char* name,
                                       device_selection_type type = DEV_BY_SERVICE);
// The device type of the table row of a function's device id; -1 when the table has
// no such row.
int device_type_of(const InventoryFunction& function);
}  // namespace zelt::device

// Copies the record of the first function matching `name` under `type` into `out`
// (which may be nullptr). 0, or ZELT_RC_DEVICE_NOT_FOUND (17) when none matches.
int zelt_nvm_device_info(const zelt::device::Inventory& inventory, const char* name, device_selection_type type,
                         zelt_nvm_device_info_t* out);
// The lookup of a device name (DEV_BY_SERVICE); result only.
int zelt_nvm_validate_dev(const zelt::device::Inventory& inventory, const char* name);
// Looks `dev` up by name and sets `type` to the device type of the table row of its
// device id. Returns that type; 17 when the function is not found; -1 (with `type`
// unchanged) when its device id is not in the table.
int zeltnvm_get_device_type(const zelt::device::Inventory& inventory, const char* dev, uint16_t* type);

// Table texts of a function record: the chip name of its device id, and the part number
// of its board (device id and subsystem device id). "" when the table has none.
// `text` receives at most 32 bytes with the terminator.
void zeltnvm_get_chip_number(char* text, const zelt_nvm_device_info_t* record);
void zeltnvm_get_part_number(char* text, const zelt_nvm_device_info_t* record);

// The adapter's representative function: among the functions of the adapter
// (zelt::device::on_adapter), the first with PCI function number 0, else the one with the lowest function
// number. nullptr for an adapter index out of range.
const zelt::device::InventoryFunction* zeltnvm_adapter_representative(const zelt::device::Inventory& inventory,
                                                                      int adapter_index);
// Index in `inventory.adapters` of the adapter holding function record `record`, or -1.
int zeltnvm_adapter_of(const zelt::device::Inventory& inventory, const zelt_nvm_device_info_t* record);
