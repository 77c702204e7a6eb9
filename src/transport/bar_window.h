// A function's BAR0 register window mapped through the host, and the PCI
// configuration-space accesses that go with it: the sliding chip-register window inside
// BAR0, the configuration-space window and the direct window.
//
// The window register (BAR0 0x418) and the configuration select word are shared by
// every process that reaches the chip: hold the bus's PCI lock (pci_bus_lock.h) around
// any sequence of windowed accesses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/pci_address.h"
#include "common/result.h"
#include "host/host.h"

namespace zelt::transport {

// Bytes of BAR0 mapped: everything up to the end of the sliding window's aperture.
inline constexpr size_t kBar0MapSize = 0x8000;

// The newest family reaches its firmware words through the configuration direct window
// and its mailbox at other addresses.
constexpr bool is_newest_family(int device_type) { return device_type > 7; }

host::PciFunction pci_function_at(const PciAddress& address);
// "/sys/bus/pci/devices/<domain>:<bus>:<device>.<function>/resource0".
std::string bar0_resource_path(const PciAddress& address);

// Configuration-space words of the function. False when they cannot be read or written.
bool config_read32(host::Host& host, const PciAddress& address, unsigned offset, uint32_t& value);
bool config_read16(host::Host& host, const PciAddress& address, unsigned offset, uint16_t& value);
bool config_write16(host::Host& host, const PciAddress& address, unsigned offset, uint16_t value);
bool config_write32(host::Host& host, const PciAddress& address, unsigned offset, uint32_t value);

// Reads the firmware word at `window_offset` of the configuration direct window (select
// word, then data dword). False when configuration space fails.
bool config_direct_window_read(host::Host& host, const PciAddress& address, uint16_t window_offset,
                               uint32_t& value);
// Reads the chip register at `chip_address` through the configuration-space window, for
// when BAR0 cannot be mapped.
bool config_window_read(host::Host& host, const PciAddress& address, uint32_t chip_address, uint32_t& value);

// The mapped BAR0 of one function; unmapped when destroyed or by unmap().
class Bar0Window {
public:
    explicit Bar0Window(std::unique_ptr<host::RegisterWindow> window) : window_(std::move(window)) {}

    bool mapped() const { return window_ != nullptr; }
    void unmap() { window_.reset(); }
    // The host's window, for the interruption path that must release the mailbox
    // without allocating.
    host::RegisterWindow* raw() const { return window_.get(); }

    // A dword at a BAR0 byte offset; all ones when unmapped or out of the window.
    uint32_t read(uint32_t offset) const;
    void write(uint32_t offset, uint32_t value) const;
    // A chip register through the sliding window.
    uint32_t read_chip(uint32_t address) const;
    void write_chip(uint32_t address, uint32_t value) const;

private:
    std::unique_ptr<host::RegisterWindow> window_;
};

// Maps the function's BAR0. Failure: the mailbox status ZELT_PCI_IOCTL_MMAP_PERMISSION_DENIED
// (10) when the host refuses permission, ZELT_PCI_IOCTL_BAR0_MMAP_FAILED (7) otherwise.
ResultOr<Bar0Window> map_bar0(host::Host& host, const PciAddress& address);

}  // namespace zelt::transport
