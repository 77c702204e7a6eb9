// PCI configuration space of a simulated function (4096 bytes): identity, BARs, the
// power-management and PCI Express capabilities (link capabilities word at 0xB8) and
// the extended capabilities, among them the device serial number at 0x13C.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/state/description.h"

namespace zelt::sim {

inline constexpr unsigned kConfigSpaceBytes = 4096;
inline constexpr unsigned kPcieCapOffset = 0xAC;
inline constexpr unsigned kDsnCapOffset = 0x13C;
inline constexpr uint64_t kBar0Size = 1u << 20;
inline constexpr uint64_t kBar2Size = 64u << 10;

std::vector<uint8_t> build_config_space(const AdapterDesc& adapter, const FunctionDesc& function);

// Bus address of a function's BAR0 (distinct for every function of the host).
uint64_t bar0_address(const FunctionDesc& function);

}  // namespace zelt::sim
