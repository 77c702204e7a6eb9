// One adapter function as the transport reaches it: its name, its PCI address and
// its road (through its network driver and the firmware-channel device, or through
// its PCI memory window when no driver holds it).
//
// Functions without a driver interface carry a made-up name that holds their PCI
// address; that name is made and parsed only here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/pci_address.h"
#include "common/result.h"

namespace zelt::transport {

enum class Road : uint8_t {
    kDriver,     // the function's network driver (firmware-channel device, ethtool)
    kPciWindow,  // the PCI memory window (mailbox), no driver involved
};

struct Function {
    std::string name;
    PciAddress address;
    Road road = Road::kDriver;

    bool through_pci_window() const { return road == Road::kPciWindow; }
    const char* c_name() const { return name.c_str(); }
};

// The name of a function reached through its PCI window
// ("<marker>:<domain>:<bus>:<device>.<function>", hexadecimal).
std::string pci_window_name(const PciAddress& address);
// True when `name` is such a name.
bool is_pci_window_name(std::string_view name);
// The address held in such a name; nullopt when `name` is not one or does not parse.
std::optional<PciAddress> parse_pci_window_name(std::string_view name);

// The function of a PCI address with no driver interface.
Function pci_window_function(const PciAddress& address);
// A function whose address is already known: the road follows from the name.
Function function_at(const char* name, const PciAddress& address);
// The function of a device name: a PCI window name gives its address, an interface
// name is resolved through sysfs or its Ethernet driver. Fails as the address lookup
// does (-41 when the name resolves to no address).
ResultOr<Function> function_for_name(const char* name);

// Runs `op` (taking the function, giving a Result) on the function of a device name,
// for callers that still hold only a name. A name that resolves to no function gives
// the lookup's failure.
template <class Op>
Result on_named_function(const char* name, Op op) {
    auto fn = function_for_name(name);
    if (!fn.ok()) return fn.result();
    return op(*fn);
}

}  // namespace zelt::transport
