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

uint32_t Bar0Window::read(uint32_t offset) const {
    if (!window_ || static_cast<size_t>(offset) + 4 > window_->size()) return 0xFFFFFFFFu;
    return window_->read32(offset);
}

void Bar0Window::write(uint32_t offset, uint32_t value) const {
    if (!window_ || static_cast<size_t>(offset) + 4 > window_->size()) return;
    window_->write32(offset, value);
}

uint32_t Bar0Window::read_chip(uint32_t address) const {
    write(bar::kWindowRegister, bar::window_base(address));
    return read(bar::window_offset(address));
}

void Bar0Window::write_chip(uint32_t address, uint32_t value) const {
    write(bar::kWindowRegister, bar::window_base(address));
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
