// The lock a command holds on an adapter while it writes to it.
//
// Every command that changes an adapter (its NVM, its options, its running state)
// holds the adapter's lock from before its first write to its end, so that two runs of
// the tool never interleave their writes or their read-change-write of the install
// log. The lock is keyed by the adapter's serial number, which all its functions share;
// read-only commands never take it and so never wait.
#pragma once

#include <map>
#include <string>

#include "device/inventory.h"
#include "host/run_lock.h"

namespace zelt::cli {

// The key of the adapter `function` belongs to: its serial number, or its PCI domain
// and bus when it reports none.
std::string adapter_lock_key(const device::InventoryFunction& function);

// The adapter locks one run holds, each taken once.
class AdapterLocks {
public:
    // Locks on `host`'s lock directory, waiting at most `wait_ms` real milliseconds.
    AdapterLocks(host::Host& host, unsigned wait_ms) : host_(host), wait_ms_(wait_ms) {}

    // Takes the lock of the adapter of `function` unless this run already holds it,
    // waiting as the host is configured. 0 when held; -16 (busy) after a line naming
    // the holder when another run kept it for the whole wait; -101 when the lock file
    // could not be used (with a line saying why).
    int take(const device::InventoryFunction& function);

private:
    host::Host& host_;
    unsigned wait_ms_;
    std::map<std::string, host::RunLock> held_;
};

}  // namespace zelt::cli
