// A function's PCI address from its device name, the driver's name and version, and
// its PCI configuration space.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/pci_address.h"
#include "common/result.h"
#include "transport/channel.h"
#include "transport/function.h"

namespace zelt::host {
class Host;
}

namespace zelt::transport {

// Room of the driver name and version texts zeltDrvInfo keeps (NUL included: 31
// characters).
inline constexpr size_t ZELT_DRV_TEXT_LEN = 32;
// Bytes of configuration space zeltnvm_get_pci_cfg_data reads.
inline constexpr size_t ZELT_PCI_CFG_LEN = 256;

// Resolves the PCI address of the interface `fn` names (from sysfs, else from the
// Ethernet driver) through the host of its channel; with `want_driver`, also the
// driver's version text and name. -41 when the name resolves to no address.
ResultOr<DriverInfo> zeltDrvInfo(const Function& fn, bool want_driver);

// Reads the ZELT_PCI_CFG_LEN bytes of the configuration space of the function at
// `address` on `host` into `cfg`. 4 when it cannot be opened or is shorter.
Result zeltnvm_get_pci_cfg_data(host::Host& host, const PciAddress& address, uint8_t* cfg);

}  // namespace zelt::transport
