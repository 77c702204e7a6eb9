// Firmware registers read by encoded address: configuration-space offsets, and on the
// newest chips the configuration direct window. The BAR0 window is not reachable in
// this build; reads through it fail as not available.
#include <cstdio>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/mailbox.h"
#include "wire/fw_register_address.h"

namespace zelt::transport {
namespace {

constexpr unsigned kConfigSpaceBytes = 4096;

host::PciFunction pci_function(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function) {
    host::PciFunction fn;
    fn.domain = static_cast<uint16_t>(domain);
    fn.bus = static_cast<uint8_t>(bus);
    fn.dev = static_cast<uint8_t>(device);
    fn.func = static_cast<uint8_t>(function);
    return fn;
}

bool read_config_dword(host::Host& host, const host::PciFunction& fn, unsigned offset, uint32_t& value) {
    uint8_t bytes[4];
    if (!host.read_pci_config(fn, offset, bytes, sizeof bytes)) return false;
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

// Device type of the function from the ids in its configuration space; -1 when the
// function cannot be read or is not a supported one.
int device_type_of(host::Host& host, const host::PciFunction& fn) {
    uint32_t ids = 0;
    if (!read_config_dword(host, fn, 0, ids)) return -1;
    if ((ids & 0xFFFFu) != ZELT_PCI_VENDOR_ID) return -1;
    return zeltnvm_table_device_type(static_cast<uint16_t>(ids >> 16));
}

// Selects the register at `window_offset` and reads it through the data dword. The
// select word is shared by every process: the bus's PCI lock keeps another process from
// selecting a different register between the two steps. 0, ZELT_RC_BUSY or
// HVXRETVAL_REG_READ_FAILED.
int32_t read_direct_window(host::Host& host, const host::PciFunction& fn, uint16_t window_offset, uint32_t& value) {
    char lock_name[64];
    std::snprintf(lock_name, sizeof lock_name, ZELT_PCI_LOCK_NAME_FORMAT, fn.domain, fn.bus);
    const auto lock = host.acquire_named_lock(lock_name, ZELT_PCI_LOCK_TIMEOUT_MS);
    if (!lock) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to acquire lock on %s\n", lock_name);
        return ZELT_RC_BUSY;
    }
    const uint8_t select[2] = {static_cast<uint8_t>(window_offset), static_cast<uint8_t>(window_offset >> 8)};
    if (!host.write_pci_config(fn, ZELT_PCI_CFG_WINDOW_SELECT, select, sizeof select) ||
        !read_config_dword(host, fn, ZELT_PCI_CFG_WINDOW_DATA, value))
        return HVXRETVAL_REG_READ_FAILED;
    return 0;
}

// The register read with the tool's integer result.
int32_t read_fw_reg(host::Host& host, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                    uint32_t* value, uint32_t address) {
    if (!value) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    const host::PciFunction fn = pci_function(domain, bus, device, function);
    const int device_type = device_type_of(host, fn);
    if (device_type < 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "No supported PCI function at %04x:%02x:%02x.%x\n", domain, bus,
                      device, function);
        return HVXRETVAL_REG_READ_FAILED;
    }
    const bool newest = device_type > 7;
    uint32_t word = 0;
    switch (zeltFwRegSpace(address)) {
        case ZELT_FW_REG_SPACE_CONFIG:
            if (address > kConfigSpaceBytes - 4 || !read_config_dword(host, fn, address, word))
                return HVXRETVAL_REG_READ_FAILED;
            *value = word;
            return 0;
        case ZELT_FW_REG_SPACE_WINDOW:
        case ZELT_FW_REG_SPACE_WINDOW_ONLY:
            if (newest) {
                const int32_t rc = read_direct_window(host, fn, zeltFwRegWindowOffset(address), word);
                if (rc != 0) {
                    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to read FW register value\n");
                    return rc;
                }
                *value = word;
                return 0;
            }
            if (zeltFwRegSpace(address) == ZELT_FW_REG_SPACE_WINDOW_ONLY) {
                // Older chips have no direct window: the register cannot be read at all.
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "FW register 0x%x has no access road on this chip\n",
                              address);
                return HVXRETVAL_REG_READ_FAILED;
            }
            break;
        default: break;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                  "PCI register window is not available in this build (%x:%x:%x.%x reg 0x%x)\n", domain, bus, device,
                  function, address);
    return HVXRETVAL_UNSUPPORTED_OPERATION;
}

}  // namespace

Result zeltnvm_read_fw_reg(host::Host& host, const PciAddress& address, uint32_t* value, uint32_t reg) {
    return Result::tool(read_fw_reg(host, address.domain, address.bus, address.device, address.function, value, reg));
}

}  // namespace zelt::transport
