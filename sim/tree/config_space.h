// PCI configuration space of a simulated function (4096 bytes): identity, BARs, the
// power-management and PCI Express capabilities (link capabilities word at 0xB8) and
// the extended capabilities, among them the device serial number at 0x13C.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "sim/state/description.h"

namespace zelt::sim {

inline constexpr unsigned kConfigSpaceBytes = 4096;
inline constexpr unsigned kPcieCapOffset = 0xAC;
inline constexpr unsigned kDsnCapOffset = 0x13C;
inline constexpr uint64_t kBar2Size = 64u << 10;
// BAR0 of the newest chips (device type above 7) and of the older ones. Both hold the
// request area, the doorbell and the register window's aperture at 0x7000..0x7FFF.
inline constexpr uint64_t kBar0SizeNewest = 2u << 20;
inline constexpr uint64_t kBar0SizeOlder = 1u << 20;
uint64_t bar0_size(const AdapterDesc& adapter);

std::vector<uint8_t> build_config_space(const AdapterDesc& adapter, const FunctionDesc& function);

// Bus address of a function's BAR0 (distinct for every function of the host).
uint64_t bar0_address(const FunctionDesc& function);

// The configuration direct window of the newest chips' PFs: the select word at
// ZELT_PCI_CFG_WINDOW_SELECT is kept in the configuration file as the device keeps it,
// and the data dword at ZELT_PCI_CFG_WINDOW_DATA reads the firmware register the select
// word names.
// True when configuration bytes [offset, offset + size) overlap the data dword.
bool config_window_data(unsigned offset, size_t size);
// The data dword for `window_offset` on the function of the host at `root`. False
// when the function has no window (not found, a VF, or an older chip).
bool config_window_read(const std::string& root, const host::PciFunction& fn, uint16_t window_offset,
                        uint32_t& value);

}  // namespace zelt::sim
