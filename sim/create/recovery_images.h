// The recovery images a simulated host keeps in its firmware directory
// (/lib/firmware/diagfw/ under the host's root): a signed firmware image for the older
// families, and for a Kestra adapter a multi-image file (header, SBI carrying the
// adapter's CRID, firmware image) named with that CRID. The images are made by the
// package builder and signed with the repository's test key, so the simulated chip
// starts them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/state/description.h"

namespace zelt::sim {

// SRAM addresses of the multi-image file's SBI and firmware image.
inline constexpr uint32_t kRecoverySbiSramAddress = 0x20100000u;
inline constexpr uint32_t kRecoveryFirmwareSramAddress = 0x20200000u;

// The recovery image file an adapter's family loads, and its host path. Empty for a
// family without one. 0 or the builder's failure.
int recovery_image_file(const AdapterDesc& adapter, std::string& path, std::vector<uint8_t>& bytes);

// Writes the recovery image of every adapter's family under `root`.
bool write_recovery_images(const std::string& root, const HostDesc& host, std::string& error);

}  // namespace zelt::sim
