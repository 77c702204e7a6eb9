// The run's adapters and functions as discovery found them. The command layer makes one
// at start-up and passes it down; nothing below keeps its own copy.
#pragma once

#include <cstdint>
#include <vector>

#include "device/discovery_records.h"
#include "transport/function.h"

namespace zelt::device {

using zelt::PciAddress;

// One supported physical function: how the transport reaches it, and the facts
// discovery gathered about it.
struct InventoryFunction {
    transport::Function function;
    zelt_nvm_device_info_t facts{};
    // Physical functions its adapter presents (0 until the functions are grouped).
    uint16_t adapter_pf_count = 0;

    const char* name() const { return function.c_name(); }
    const PciAddress& address() const { return function.address; }
    // True when the function has a network interface (its driver holds it); a function
    // without one goes by a made-up name that only holds its address.
    bool has_interface() const { return facts.nic_info.driver_loaded != 0; }
};

struct Inventory {
    std::vector<InventoryFunction> functions;  // in discovery order
    std::vector<ZELT_NVM_CHIP_INFO> adapters;  // functions grouped by on_adapter
    // Some supported function has no network interface (it is reached through its PCI window).
    bool pci_window_functions = false;

    // Appends a function from its record, reached as `function` (its name, address and
    // the channel discovery chose for it).
    InventoryFunction& add(const zelt_nvm_device_info_t& facts, transport::Function function);
    // Groups the functions into adapters (at most ZELT_MAX_ADAPTERS) and counts each
    // adapter's functions. A serial number that is missing, or reported on more than one
    // PCI domain and bus, is logged.
    void group_adapters();
};

// Functions are one adapter only when they report the same serial number and sit on the
// same PCI domain and bus: two adapters may report no serial number or the same one.
bool same_adapter(const zelt_nvm_device_info_t& a, const zelt_nvm_device_info_t& b);
bool on_adapter(const ZELT_NVM_CHIP_INFO& adapter, const zelt_nvm_device_info_t& function);

}  // namespace zelt::device
