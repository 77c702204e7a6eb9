// The firmware's own installation of a package staged in the NVM update item, and the
// staging-and-installation road by firmware message.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"
#include "wire/hwrm_nvm.h"

namespace zelt::device {

// Install flags of the installation request.
inline constexpr uint16_t ZELTNVM_INSTALL_FLAGS_NONE = 0;

// The tool's result for an installation the firmware carried out with result byte
// `result` (HwrmInstallResult): success for kOk, else a firmware failure whose integer
// is the tool's code for that install result (the one table of them), never the byte
// itself.
Result firmware_install_result(uint8_t result);

// Asks the firmware to install the staged package of `install_type`. When the firmware
// answers that the NVM is too fragmented the request is sent once more with
// defragmentation allowed. On success the outputs (each optional) receive the
// firmware's problem item, install result, reset-required flag and both
// installed-items words; on failure they are left alone and the failure is returned.
Result zeltnvm_install_update(const transport::Function& fn, uint32_t install_type, uint8_t* problem_item,
                              uint8_t* result, uint8_t* reset_required, uint32_t installed_items[2]);

// Stages a package in the update item and installs it, all by firmware message: sets
// the firmware's clock, finds the update item, writes the package into it from offset
// 0, and installs. Succeeds when the firmware reports a result of 0; else gives
// firmware_install_result of its install result, or the failing step's result. The
// message road leaves reset advice to the caller.
Result zeltnvm_linux_SecureUpdate(const transport::Function& fn, const uint8_t* data, uint32_t length,
                                  uint32_t install_type);

}  // namespace zelt::device
