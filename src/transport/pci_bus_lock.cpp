#include "transport/pci_bus_lock.h"

#include <cstdio>
#include <cstring>

#include "log/print.h"
#include "transport/mailbox.h"

namespace zelt::transport {

std::string pci_bus_lock_name(uint32_t domain, uint32_t bus) {
    char key[32];
    std::snprintf(key, sizeof key, "pci-%04x-%02x", domain, bus);
    return host::run_lock_name(key);
}

ResultOr<host::RunLock> acquire_pci_bus_lock(host::Host& host, uint32_t domain, uint32_t bus) {
    const std::string name = pci_bus_lock_name(domain, bus);
    host::LockAttempt attempt = host::take_run_lock(host, name, kPciBusLockWaitMs);
    switch (attempt.outcome) {
        case host::LockOutcome::kHeld: return std::move(attempt.lock);
        case host::LockOutcome::kBusy:
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s holds %s\n", host::lock_holder_text(attempt.holder).c_str(),
                          name.c_str());
            return Result::tool(ZELT_PCI_IOCTL_BUSY);
        case host::LockOutcome::kFailed: break;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to acquire lock on %s (%s)\n", name.c_str(),
                  std::strerror(attempt.error));
    return Result::tool(ZELT_PCI_IOCTL_LOCK_ACQUIRE_FAILED);
}

}  // namespace zelt::transport
