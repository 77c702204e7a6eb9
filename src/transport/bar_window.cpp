#include "transport/bar_window.h"

#include <cerrno>
#include <cstdio>

#include "transport/mailbox.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::transport {

namespace bar = wire::bar;

host::PciFunction pci_function_at(const PciAddress& a) {
    host::PciFunction fn;
    fn.domain = static_cast<uint16_t>(a.domain);
    fn.bus = static_cast<uint8_t>(a.bus);
    fn.dev = static_cast<uint8_t>(a.device);
    fn.func = static_cast<uint8_t>(a.function);
    return fn;
}

std::string bar0_resource_path(const PciAddress& a) {
    char path[96];
    std::snprintf(path, sizeof path, "/sys/bus/pci/devices/%04x:%02x:%02x.%x/resource0", a.domain, a.bus, a.device,
                  a.function);
    return path;
}

bool config_read32(host::Host& host, const PciAddress& a, unsigned offset, uint32_t& value) {
    uint8_t b[4];
    if (!host.read_pci_config(pci_function_at(a), offset, b, sizeof b)) return false;
    value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
            static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool config_read16(host::Host& host, const PciAddress& a, unsigned offset, uint16_t& value) {
    uint8_t b[2];
    if (!host.read_pci_config(pci_function_at(a), offset, b, sizeof b)) return false;
    value = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
}

bool config_write16(host::Host& host, const PciAddress& a, unsigned offset, uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return host.write_pci_config(pci_function_at(a), offset, b, sizeof b);
}

bool config_write32(host::Host& host, const PciAddress& a, unsigned offset, uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return host.write_pci_config(pci_function_at(a), offset, b, sizeof b);
}

bool config_direct_window_read(host::Host& host, const PciAddress& a, uint16_t window_offset, uint32_t& value) {
    return config_write16(host, a, bar::kConfigSelect, window_offset) &&
           config_read32(host, a, bar::kConfigData, value);
}

bool config_window_read(host::Host& host, const PciAddress& a, uint32_t chip_address, uint32_t& value) {
    const uint16_t select = static_cast<uint16_t>((chip_address & bar::kWindowOffsetMask) | bar::kWindowAperture);
    return config_write16(host, a, bar::kConfigSelect, bar::kConfigWindowRegisterSelect) &&
           config_write32(host, a, bar::kConfigData, bar::window_base(chip_address)) &&
           config_write16(host, a, bar::kConfigSelect, select) && config_read32(host, a, bar::kConfigData, value);
}

std::string serial_number_text(uint32_t first, uint32_t second) {
    // Eight bytes printed into a 16-byte buffer: the last digit gives way to the
    // terminator, so the text keeps the first 15 digits.
    char text[17];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x%02x%02x", first & 0xFF, (first >> 8) & 0xFF,
                  (first >> 16) & 0xFF, first >> 24, second & 0xFF, (second >> 8) & 0xFF, (second >> 16) & 0xFF,
                  second >> 24);
    return std::string(text, 15);
}

std::string zeltnvm_read_dev_serial_no(host::Host& host, const PciAddress& address) {
    // Both dwords in one read.
    uint8_t b[8];
    if (!host.read_pci_config(pci_function_at(address), wire::bar::kConfigSerialLow, b, sizeof b)) return {};
    auto dword = [&](int at) {
        return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
               static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    };
    return serial_number_text(dword(0), dword(4));
}

uint32_t Bar0Window::read(uint32_t offset) const {
    if (!window_ || static_cast<size_t>(offset) + 4 > window_->size()) return 0xFFFFFFFFu;
    return window_->read32(offset);
}

void Bar0Window::write(uint32_t offset, uint32_t value) const {
    if (!window_ || static_cast<size_t>(offset) + 4 > window_->size()) return;
    window_->write32(offset, value);
}

void Bar0Window::select(uint32_t address) const {
    const uint32_t base = bar::window_base(address);
    if (base_known_ && base == base_) return;
    write(bar::kWindowRegister, base);
    base_ = base;
    base_known_ = true;
}

uint32_t Bar0Window::read_chip(uint32_t address) const {
    select(address);
    return read(bar::window_offset(address));
}

void Bar0Window::write_chip(uint32_t address, uint32_t value) const {
    select(address);
    write(bar::window_offset(address), value);
}

ResultOr<Bar0Window> map_bar0(host::Host& host, const PciAddress& address) {
    errno = 0;
    auto window = host.map_registers(bar0_resource_path(address), kBar0MapSize);
    if (!window) {
        const bool denied = errno == EACCES || errno == EPERM;
        return Result::tool(denied ? ZELT_PCI_IOCTL_MMAP_PERMISSION_DENIED : ZELT_PCI_IOCTL_BAR0_MMAP_FAILED);
    }
    // A window too small for the sliding aperture is not the adapter's BAR0.
    if (window->size() < kBar0MapSize) return Result::tool(ZELT_PCI_IOCTL_BAR0_MMAP_FAILED);
    return Bar0Window(std::move(window));
}

}  // namespace zelt::transport
