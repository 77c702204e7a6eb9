// A rehearsal twin: a simulated one-adapter host made from a backup package of a real
// adapter, so that an update can be tried on the twin before it touches the adapter.
//
// The twin's NVM holds exactly the backup's items (same types, ordinals, extensions,
// attributes, data and item lengths; placement may differ), its staging item included,
// and a fresh install log naming the backup; its flash has the family's size, doubled
// as often as the items need (a backup does not record the flash size). The adapter's
// device id, subsystem id and
// package version come from the backup's properties, its firmware version from the
// boot code item, its product name, part and serial number from the VPD item. The
// option values are those of a saveoptions script when one is given (the MAC address
// lines also give the PFs their permanent addresses).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sim/create/host_setup.h"

namespace zelt::sim {

// Builds the setup of the twin of `backup` (the package file's bytes). `options_script`
// is the text of a saveoptions script, or empty for none. False with a message in
// `error` for a damaged or unusable backup, or a script line that is not a valid
// option setting.
bool twin_setup(std::span<const uint8_t> backup, const std::string& options_script, HostSetup& setup,
                std::string& error);

}  // namespace zelt::sim
