#include "device/recovery/chip_session.h"

#include <cstdarg>
#include <cstdio>

#include "transport/mailbox.h"
#include "transport/pci_bus_lock.h"
#include "common/format_text.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::device::recovery {

std::string text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = vformat_text(format, args);
    va_end(args);
    return out;
}

ResultOr<ChipSession> ChipSession::open(host::Host& host, const PciAddress& address, RecoveryObserver& observer,
                                        bool newline) {
    const char* lead = newline ? "\n" : "";
    auto lock = transport::acquire_pci_bus_lock(host, address.domain, address.bus);
    if (!lock) {
        observer.say(text("%sFailed to access the device resources.\n", lead), true);
        return lock.result();
    }
    auto bar = transport::map_bar0(host, address);
    if (!bar) {
        if (bar.result().code() == transport::ZELT_PCI_IOCTL_MMAP_PERMISSION_DENIED)
            observer.say(text("%sPermission denied to access the device resources.\n", lead), true);
        else
            observer.say(text("%sFailed to access the device resources.\n", lead), true);
        return bar.result();
    }
    return ChipSession(host, address, std::move(bar).value(), std::move(lock).value());
}

bool ChipSession::read(uint32_t address, uint32_t& value) const {
    if (!bar_.mapped()) return false;
    value = bar_.read_chip(address);
    return true;
}

bool ChipSession::write(uint32_t address, uint32_t value) const {
    if (!bar_.mapped()) return false;
    bar_.write_chip(address, value);
    return true;
}

bool ChipSession::health_word(uint32_t& value) const {
    if (!bar_.mapped()) return false;
    return transport::config_direct_window_read(*host_, address_, wire::bar::kHealthDirectWindow, value);
}

bool ChipSession::older_health(bool& valid, uint32_t& value) const {
    uint32_t signature = 0;
    if (!read(wire::bar::kHealthSignature, signature)) return false;
    valid = wire::bar::health_signature_valid(signature);
    value = 0;
    return !valid || read(wire::bar::kHealthStatus, value);
}

void ChipSession::close() {
    bar_.unmap();
    lock_ = host::RunLock();
}

bool write_or_say(const ChipSession& chip, RecoveryObserver& observer, uint32_t address, uint32_t value,
                  const std::string& message) {
    if (chip.write(address, value)) return true;
    observer.say(message, true);
    return false;
}

bool read_or_say(const ChipSession& chip, RecoveryObserver& observer, uint32_t address, uint32_t& value,
                 const std::string& message) {
    if (chip.read(address, value)) return true;
    observer.say(message, true);
    return false;
}

}  // namespace zelt::device::recovery
