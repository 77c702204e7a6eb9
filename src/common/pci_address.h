// The one PCI address type of the utility: domain, bus, device and function of a
// PCI function.
#pragma once

#include <compare>
#include <cstdint>

namespace zelt {

struct PciAddress {
    uint32_t domain = 0;
    uint32_t bus = 0;
    uint32_t device = 0;
    uint32_t function = 0;

    friend constexpr auto operator<=>(const PciAddress&, const PciAddress&) = default;
};

}  // namespace zelt
