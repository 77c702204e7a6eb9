// Turning a -dev= selector into the device name of a discovered function.
#pragma once

#include <string>

#include "device/discovery_lookup.h"
#include "device/inventory.h"

namespace zelt::cli {

// True for a separated MAC address: six groups, each starting with a hexadecimal digit,
// joined by five '-' or ':' separators, the text ending in a group.
bool is_nice_mac_addr(const char* text);
// True for exactly 12 hexadecimal digits.
bool zeltnvm_is_plain_mac_addr(const char* text);

// Resolves a selector, first rule that applies: 12 hexadecimal digits (a MAC address
// without separators), a separated MAC address, a PCI address with its domain, else an
// interface or device name looked up by name. Returns the function, or nullptr when none
// matches; `shown_name` receives the name the run shows for it (the function's name after a
// MAC or PCI-address match, the selector itself after a name match).
const zelt::device::InventoryFunction* select_device(const zelt::device::Inventory& inventory, const char* selector,
                                                     std::string& shown_name);

}  // namespace zelt::cli
