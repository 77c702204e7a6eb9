#include "transport/fw_health.h"

#include "common/hvxretval.h"
#include "transport/mailbox.h"
#include "transport/pci_bus_lock.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::transport {

namespace bar = wire::bar;

FwHealth check_fw_health(host::Host& host, const PciAddress& address, const Bar0Window& window, int device_type) {
    uint32_t word = 0xFFFFFFFFu;
    if (is_newest_family(device_type)) {
        // The newest family's register is always there; a failed read counts as a
        // firmware that does not answer.
        if (!config_direct_window_read(host, address, bar::kHealthDirectWindow, word)) word = 0xFFFFFFFFu;
    } else {
        if (!bar::health_signature_valid(window.read_chip(bar::kHealthSignature))) return FwHealth{true, 0};
        word = window.read_chip(bar::kHealthStatus);
    }
    return FwHealth{bar::health_running(word), word & 0xFFFFu};
}

ResultOr<FwHealth> zeltnvm_get_fw_health_status(host::Host& host, const PciAddress& address, int device_type) {
    auto lock = acquire_pci_bus_lock(host, address.domain, address.bus);
    if (!lock)
        return Result::tool(lock.result().code() == ZELT_PCI_IOCTL_BUSY ? ZELT_RC_BUSY : HVXRETVAL_PCI_IOCTL_BAR0_MMAP_FAILED);
    auto window = map_bar0(host, address);
    if (!window)
        return Result::tool(window.result().code() == ZELT_PCI_IOCTL_MMAP_PERMISSION_DENIED
                                ? HVXRETVAL_PCI_IOCTL_MMAP_PERMISSION_DENIED
                                : HVXRETVAL_PCI_IOCTL_BAR0_MMAP_FAILED);
    const FwHealth health = check_fw_health(host, address, *window, device_type);
    window->unmap();
    return health;
}

}  // namespace zelt::transport
