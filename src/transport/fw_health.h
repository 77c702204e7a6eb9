// The firmware's health register: whether the firmware runs, read straight from the
// chip (older families through the BAR0 window, after checking the register's
// signature; the newest family through the configuration direct window).
#pragma once

#include <cstdint>

#include "common/pci_address.h"
#include "common/result.h"
#include "host/host.h"
#include "transport/bar_window.h"

namespace zelt::transport {

struct FwHealth {
    bool operational = false;
    // The low 16 bits of the health register, as a caller prints them.
    uint32_t status_word = 0;
};

// Maps the function's BAR0, checks and reads the health register, and unmaps before
// returning. The bus's PCI lock is held for the reads. A health register without its
// signature (older families) cannot be trusted and counts as operational, status word
// 0. Failures: HVXRETVAL_PCI_IOCTL_MMAP_PERMISSION_DENIED (-160) when the host refuses
// to map the window for lack of permission, HVXRETVAL_PCI_IOCTL_BAR0_MMAP_FAILED (-161)
// for any other mapping failure or when the lock file cannot be used, ZELT_RC_BUSY
// (16) when another process holds the bus. Nothing is printed; the texts belong to the caller.
ResultOr<FwHealth> zeltnvm_get_fw_health_status(host::Host& host, const PciAddress& address, int device_type);

// The same check over a window already mapped, with the bus's lock held: used before
// the mailbox moves data. Counts a register without its signature as operational.
FwHealth check_fw_health(host::Host& host, const PciAddress& address, const Bar0Window& bar, int device_type);

}  // namespace zelt::transport
