// The chip of one function as a recovery step reaches it: BAR0 mapped and the bus's
// PCI lock held for as long as the session lives, chip registers through the sliding
// window, and the newest family's health word through the configuration direct window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/pci_address.h"
#include "common/result.h"
#include "device/recovery/recovery.h"
#include "host/host.h"
#include "host/run_lock.h"
#include "transport/bar_window.h"

namespace zelt::device::recovery {

class ChipSession {
public:
    // Maps BAR0 of the function at `address` with the bus's lock held. A failure is
    // told to the observer ("Permission denied ..." / "Failed to access ...", each with
    // a leading newline when `newline`) and returned as the mailbox status (10 refused
    // permission, 7 any other mapping failure, 2 the bus busy).
    static ResultOr<ChipSession> open(host::Host& host, const PciAddress& address, RecoveryObserver& observer,
                                      bool newline = false);

    ChipSession(ChipSession&&) noexcept = default;
    ChipSession& operator=(ChipSession&&) noexcept = default;

    // False when the session is closed.
    bool read(uint32_t address, uint32_t& value) const;
    bool write(uint32_t address, uint32_t value) const;
    // The newest family's health word (configuration direct window).
    bool health_word(uint32_t& value) const;
    // The older families' health register: whether it carries its signature, and its word.
    bool older_health(bool& valid, uint32_t& value) const;

    // Unmaps and lets the bus go (before messages through the firmware, whose mailbox
    // takes the bus itself).
    void close();

    host::Host& host() const { return *host_; }
    const PciAddress& address() const { return address_; }

private:
    ChipSession(host::Host& host, const PciAddress& address, transport::Bar0Window bar, host::RunLock lock)
        : host_(&host), address_(address), bar_(std::move(bar)), lock_(std::move(lock)) {}

    host::Host* host_;
    PciAddress address_;
    transport::Bar0Window bar_;
    host::RunLock lock_;
};

// A register write that names its register on failure: `message` is told to the
// observer (as an error) when the write fails.
bool write_or_say(const ChipSession& chip, RecoveryObserver& observer, uint32_t address, uint32_t value,
                  const std::string& message);
bool read_or_say(const ChipSession& chip, RecoveryObserver& observer, uint32_t address, uint32_t& value,
                 const std::string& message);

// printf-style text.
std::string text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zelt::device::recovery
