#include "cli/adapter_lock.h"

#include <cstdio>
#include <cstring>

#include "common/hvxretval.h"
#include "host/host.h"
#include "log/print.h"

namespace zelt::cli {

std::string adapter_lock_key(const device::InventoryFunction& function) {
    const char* serial = function.facts.nic_info.serial_number;
    const size_t length = strnlen(serial, sizeof function.facts.nic_info.serial_number);
    if (length > 0) return std::string(serial, length);
    char key[32];
    std::snprintf(key, sizeof key, "pci-%04x-%02x", static_cast<unsigned>(function.address().domain),
                  static_cast<unsigned>(function.address().bus));
    return key;
}

int AdapterLocks::take(const device::InventoryFunction& function) {
    const std::string key = adapter_lock_key(function);
    if (held_.count(key) != 0) return 0;
    host::LockAttempt attempt = host::take_run_lock(host_, host::run_lock_name("adapter-" + key), wait_ms_);
    switch (attempt.outcome) {
        case host::LockOutcome::kHeld:
            held_.emplace(key, std::move(attempt.lock));
            return 0;
        case host::LockOutcome::kBusy:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Adapter %s is in use by %s.\n", key.c_str(),
                          host::lock_holder_text(attempt.holder).c_str());
            return -ZELT_RC_BUSY;
        case host::LockOutcome::kFailed:
            break;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to lock adapter %s: %s\n", key.c_str(),
                  std::strerror(attempt.error));
    return HVXRETVAL_FILE_OPEN_FAILURE;
}

}  // namespace zelt::cli
