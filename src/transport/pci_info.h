// A function's PCI address from its device name, the driver's name and version, and
// its PCI configuration space.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/pci_address.h"
#include "common/result.h"
#include "transport/channel.h"
#include "transport/function.h"

// Longest driver name and version text zeltDrvInfo keeps (NUL excluded: 31).
inline constexpr size_t ZELT_DRV_TEXT_LEN = 32;
// Bytes of configuration space zeltnvm_get_pci_cfg_data reads.
inline constexpr size_t ZELT_PCI_CFG_LEN = 256;

namespace zelt::transport {

// Resolves the PCI address of the interface `fn` names (from sysfs, else from the
// Ethernet driver) through the host of its channel; with `want_driver`, also the
// driver's version text and name. -41 when the name resolves to no address.
ResultOr<DriverInfo> zeltDrvInfo(const Function& fn, bool want_driver);

}  // namespace zelt::transport

// Reads the 256 bytes of a function's configuration space into `cfg`. 0 or 4.
int32_t zeltnvm_get_pci_cfg_data(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, uint8_t* cfg);
