// The firmware's own installation of a package staged in the NVM update item, and the
// staging-and-installation road by firmware message.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

// Install flags of the installation request.
inline constexpr uint16_t ZELTNVM_INSTALL_FLAGS_NONE = 0;

namespace zelt::device {

// Asks the firmware to install the staged package of `install_type`. When the firmware
// answers that the NVM is too fragmented the request is sent once more with
// defragmentation allowed. On success the outputs (each optional) receive the
// firmware's problem item, install result, reset-required flag and both
// installed-items words; on failure they are left alone and the failure is returned.
Result zeltnvm_install_update(const transport::Function& fn, uint32_t install_type, uint8_t* problem_item,
                              uint8_t* result, uint8_t* reset_required, uint32_t installed_items[2]);

// Stages a package in the update item and installs it, all by firmware message: sets
// the firmware's clock, finds the update item, writes the package into it from offset
// 0, and installs. Returns 0 when the firmware reports a result of 0; else its
// non-zero install result, or the failing step's result. The message road leaves
// reset advice to the caller.
Result zeltnvm_linux_SecureUpdate(const transport::Function& fn, const uint8_t* data, uint32_t length,
                                  uint32_t install_type);

}  // namespace zelt::device

// The same for callers that hold only a device name (a name that resolves to no
// function gives the lookup's failure). `unused` and `reboot_needed` are not used;
// the signature matches the driver road's zeltnvmSecureUpdate.
int32_t zeltnvm_install_update(const char* dev, uint32_t install_type, uint8_t* problem_item, uint8_t* result,
                               uint8_t* reset_required, uint32_t installed_items[2]);
int32_t zeltnvm_linux_SecureUpdate(const char* dev, const uint8_t* data, uint32_t length, void* unused,
                                   int* reboot_needed, uint32_t install_type);
