// Recovery of an adapter whose firmware no longer boots from its NVM: the entry flow
// the install command runs before writing a package with -recovery, and the clearing
// of the fastboot state afterwards.
//
// Until the recovery code is built, these answer with a clear failure
// (recovery_unavailable.cpp); the recovery code replaces that file.
#pragma once

#include <cstdint>

// The recovery image has been started on the adapter being recovered.
extern bool zeltnvm_fastboot_enabled;
// The mailbox registers were found by signature (indirect access).
extern bool indirect_mode;

// Prepares the adapter of `dev` for a recovery installation (`adapter`: its number in
// the install flow; `force`: -force was given; `cfg_pkg`: a configuration package).
// 0, or the failing step's status; "not available" prints a message and gives 2.
int zeltnvm_invoke_recovery_process(const char* dev, int adapter, bool force, int cfg_pkg);

// Clears the fastboot state of a recovered adapter. 0, or a register access failure.
int32_t zeltnvm_clear_fastboot_regs(const char* dev, int device_type, uint32_t domain, uint32_t bus, uint32_t device,
                                    uint32_t function);
