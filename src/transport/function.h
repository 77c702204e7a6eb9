// One adapter function as the transport reaches it: its name, its PCI address and
// the channel discovery chose for it (through its network driver and the
// firmware-channel device, or through its PCI memory window when no driver holds it).
//
// Functions without a driver interface carry a made-up name that holds their PCI
// address; that name is made and parsed only here.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/pci_address.h"
#include "common/result.h"
#include "transport/channel.h"

namespace zelt::transport {

struct Function {
    std::string name;
    PciAddress address;
    std::shared_ptr<const Channel> channel;

    const char* c_name() const { return name.c_str(); }
};

// The name of a function reached through its PCI window
// ("<marker>:<domain>:<bus>:<device>.<function>", hexadecimal).
std::string pci_window_name(const PciAddress& address);
// True when `name` is such a name.
bool is_pci_window_name(std::string_view name);
// The address held in such a name; nullopt when `name` is not one or does not parse.
std::optional<PciAddress> parse_pci_window_name(std::string_view name);

}  // namespace zelt::transport
