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

enum class TwinResult {
    ok,
    bad_backup,  // the backup (or the options script) is damaged or unusable
    failed,      // the host could not be made
};

// Creates the twin of `backup` (the package file's bytes) at `root`, which must not
// hold a simulated host yet. `options_script` is the text of a saveoptions script, or
// empty for none. bad_backup, with a message in `error`, for a damaged or unusable
// backup or a script line that is not a valid option setting; failed when the host
// cannot be made. The backup is checked while the flash file is being written, and on
// failure nothing is left behind under `root`. The check is the backup's layout and
// checksums; the signatures of its images are judged by the twin's firmware when it
// installs or boots them.
TwinResult create_twin(const std::string& root, std::span<const uint8_t> backup, const std::string& options_script,
                       std::string& error);

}  // namespace zelt::sim
