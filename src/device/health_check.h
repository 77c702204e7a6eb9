// The device health check: whether the adapter's firmware runs and whether its NVM
// still holds redundant, matching boot images.
//
// The firmware's health register is read first; a firmware that is not running ends
// the check (not healthy). The newest family then reports its NVM redundancy status
// word, whose bits are the findings below; older families prove that the NVM can be
// read and written by rewriting their VPD item unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/result.h"
#include "device/inventory.h"
#include "host/host.h"

namespace zelt::device {

// Statuses of the check besides the failures it passes on.
inline constexpr int32_t kHealthNvmReadFailed = 65;
inline constexpr int32_t kHealthNvmWriteFailed = 66;
inline constexpr int32_t kHealthNoMemory = 6;

// One finding of the redundancy status word: its bit, its name, and the lines that
// explain it when the bit is set (`clear_lines` when it is clear, for the information
// bit; empty for the others, which read "OK" then).
struct RedundancyCheck {
    uint32_t bit;
    const char* name;
    std::span<const char* const> set_lines;
    std::span<const char* const> clear_lines;
    // A set bit does not make the device unhealthy.
    bool information_only = false;
};

// The findings in the order they are reported.
std::span<const RedundancyCheck> redundancy_checks();
// True when no bit but the information bit is set.
bool redundancy_status_healthy(uint32_t word);

struct HealthFindings {
    bool healthy = false;
    // The health register said the firmware runs (or could not be read, which the
    // check goes on from).
    bool firmware_operational = true;
    // The redundancy status word (newest family, once read).
    std::optional<uint32_t> redundancy_status;
    // The VPD item was read and written back (older families).
    bool vpd_rewritten = false;
};

// What the check tells its caller while it runs.
class HealthCheckObserver {
public:
    virtual ~HealthCheckObserver() = default;
    // The firmware runs and the redundancy status is about to be asked for.
    virtual void firmware_running() {}
};

// Runs the check on `function`. The findings, or the status the check ended with:
// kHealthNvmReadFailed (VPD item missing, empty or unreadable; a redundancy query that
// timed out on a function reached through its PCI window), kHealthNvmWriteFailed,
// kHealthNoMemory, or the redundancy query's failure.
ResultOr<HealthFindings> zeltnvm_invoke_device_health_check(host::Host& host, const InventoryFunction& function,
                                                            HealthCheckObserver& observer);

}  // namespace zelt::device
