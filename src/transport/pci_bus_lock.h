// The lock that keeps two processes of this tool from driving the chip windows and the
// mailbox of one PCI domain and bus at once: a file lock in the tool's root-only lock
// directory (host/run_lock.h), so that no other user can create or hold it, and the
// kernel drops it when its holder ends.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "host/host.h"
#include "host/run_lock.h"

namespace zelt::transport {

// How long a taker waits for the lock before reporting the bus busy.
inline constexpr unsigned kPciBusLockWaitMs = 1000;

// The lock file's name for a domain and bus ("zeltnvm-pci-<domain>-<bus>.lock").
std::string pci_bus_lock_name(uint32_t domain, uint32_t bus);

// Takes the lock of `domain` and `bus`, waiting at most kPciBusLockWaitMs.
// Failure: the mailbox status ZELT_PCI_IOCTL_BUSY (2) when another process held it for
// the whole wait, ZELT_PCI_IOCTL_LOCK_ACQUIRE_FAILED (6) when the lock file cannot be
// used (logged).
ResultOr<host::RunLock> acquire_pci_bus_lock(host::Host& host, uint32_t domain, uint32_t bus);

}  // namespace zelt::transport
