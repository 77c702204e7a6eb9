// Recovery of an adapter whose firmware no longer boots from its NVM: the preparation
// the install command runs before writing a package with -recovery, and the clearing
// of the fastboot state afterwards.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "device/identity/identity.h"

namespace zelt::device {

// The status of a recovery this build cannot run.
inline constexpr int32_t kRecoveryUnavailable = 2;

// Clears the fastboot state of the recovered adapter of `fn`. Success, or a register
// access failure.
Result zeltnvm_clear_fastboot_regs(const transport::Function& fn, int device_type);

// Prepares the adapter of `target` for a recovery installation (`adapter`: its number in
// the install flow; `force`: -force was given; `cfg_pkg`: a configuration package) and
// returns what it saved of the adapter's identity, for the installation to write back.
// This build has no recovery image handling: it fails with kRecoveryUnavailable, for the
// command layer to say so.
ResultOr<SavedIdentity> zeltnvm_invoke_recovery_process(const InventoryFunction& target, int adapter, bool force,
                                                        bool cfg_pkg);

}  // namespace zelt::device
