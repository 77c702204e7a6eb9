// Firmware registers read by encoded address: configuration-space offsets, chip
// registers through the BAR0 window (or the configuration-space window when BAR0
// cannot be mapped), and on the newest chips the configuration direct window. Also the
// device serial number from configuration space.
#include <cstdio>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/bar_window.h"
#include "transport/mailbox.h"
#include "transport/pci_bus_lock.h"
#include "wire/fw_register_address.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::transport {
namespace {

constexpr unsigned kConfigSpaceBytes = 4096;

// Device type of the function from the ids in its configuration space; -1 when the
// function cannot be read or is not a supported one.
int device_type_of(host::Host& host, const PciAddress& a) {
    uint32_t ids = 0;
    if (!config_read32(host, a, 0, ids)) return -1;
    if ((ids & 0xFFFFu) != ZELT_PCI_VENDOR_ID) return -1;
    return zeltnvm_table_device_type(static_cast<uint16_t>(ids >> 16));
}

// Reads a register behind the shared windows with the bus's lock held. 0, ZELT_RC_BUSY
// or HVXRETVAL_REG_READ_FAILED.
int32_t read_windowed(host::Host& host, const PciAddress& a, bool newest, uint32_t address, uint32_t& value) {
    auto lock = acquire_pci_bus_lock(host, a.domain, a.bus);
    if (!lock) return lock.result().code() == ZELT_PCI_IOCTL_BUSY ? ZELT_RC_BUSY : HVXRETVAL_REG_READ_FAILED;
    if (newest) {
        if (!config_direct_window_read(host, a, zeltFwRegWindowOffset(address), value)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to read FW register value\n");
            return HVXRETVAL_REG_READ_FAILED;
        }
        return 0;
    }
    const uint32_t chip_address = address & ~ZELT_FW_REG_SPACE_MASK;
    auto window = map_bar0(host, a);
    if (window) {
        value = window->read_chip(chip_address);
        return 0;
    }
    // Without permission the configuration window is refused as well.
    if (window.result().code() == ZELT_PCI_IOCTL_MMAP_PERMISSION_DENIED) return HVXRETVAL_REG_READ_FAILED;
    return config_window_read(host, a, chip_address, value) ? 0 : HVXRETVAL_REG_READ_FAILED;
}

int32_t read_fw_reg(host::Host& host, const PciAddress& a, uint32_t* value, uint32_t address) {
    if (!value) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    const int device_type = device_type_of(host, a);
    if (device_type < 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "No supported PCI function at %04x:%02x:%02x.%x\n", a.domain,
                      a.bus, a.device, a.function);
        return HVXRETVAL_REG_READ_FAILED;
    }
    const bool newest = is_newest_family(device_type);
    uint32_t word = 0;
    int32_t rc = 0;
    switch (zeltFwRegSpace(address)) {
        case ZELT_FW_REG_SPACE_CONFIG:
            if (address > kConfigSpaceBytes - 4 || !config_read32(host, a, address, word))
                return HVXRETVAL_REG_READ_FAILED;
            break;
        case ZELT_FW_REG_SPACE_BAR0: rc = read_windowed(host, a, false, address, word); break;
        case ZELT_FW_REG_SPACE_WINDOW: rc = read_windowed(host, a, newest, address, word); break;
        default:
            if (!newest) {
                // Older chips have no direct window: the register cannot be read at all.
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "FW register 0x%x has no access road on this chip\n",
                              address);
                return HVXRETVAL_REG_READ_FAILED;
            }
            rc = read_windowed(host, a, true, address, word);
            break;
    }
    if (rc == 0) *value = word;
    return rc;
}

}  // namespace

Result zeltnvm_read_fw_reg(host::Host& host, const PciAddress& address, uint32_t* value, uint32_t reg) {
    return Result::tool(read_fw_reg(host, address, value, reg));
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
    uint32_t first = 0;
    uint32_t second = 0;
    if (!config_read32(host, address, wire::bar::kConfigSerialLow, first) ||
        !config_read32(host, address, wire::bar::kConfigSerialHigh, second))
        return {};
    return serial_number_text(first, second);
}

}  // namespace zelt::transport
