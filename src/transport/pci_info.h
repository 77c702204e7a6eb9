// A function's PCI address from its device name, the driver's name and version, and
// its PCI configuration space.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/pci_address.h"

// Size of the driver name and version buffers zeltDrvInfo fills (NUL included).
inline constexpr size_t ZELT_DRV_TEXT_LEN = 32;
// Bytes of configuration space zeltnvm_get_pci_cfg_data reads.
inline constexpr size_t ZELT_PCI_CFG_LEN = 256;

// Resolves the PCI address of an interface name (from sysfs, else from the Ethernet
// driver) or of a PCI window name. When both `version` and `name` are given (each
// ZELT_DRV_TEXT_LEN bytes), also copies the driver's version text and name.
// 0; -41 when the name resolves to no address; -120 when no socket can be had.
// `address` is written only on success.
int32_t zeltDrvInfo(const char* dev, zelt::PciAddress& address, char* version, char* name);

// Reads the 256 bytes of a function's configuration space into `cfg`. 0 or 4.
int32_t zeltnvm_get_pci_cfg_data(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, uint8_t* cfg);
