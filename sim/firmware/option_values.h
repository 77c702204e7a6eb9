// NVM options whose value the firmware derives from the adapter itself until one is
// set: a function's MAC address, the NVM configuration version, the multi-function
// mode of each port and the PF PCI BAR2 size.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sim/firmware/firmware.h"

namespace zelt::sim {

// The configuration version (major, minor, update) the firmware runs with: the
// factory one of the adapter's family, or the one stored when the last reset happened.
std::array<uint8_t, 3> running_cfg_version(const FirmwareContext& ctx);

// Fills `out` with the value option `num` at `index` reads as while nothing was set;
// false when it reads as zeros.
bool option_initial_value(const FirmwareContext& ctx, uint16_t num, const OptionIndex& index, std::span<uint8_t> out);

// At a reset the stored configuration version becomes the running one.
void activate_stored_cfg_version(AdapterState& state);

}  // namespace zelt::sim
