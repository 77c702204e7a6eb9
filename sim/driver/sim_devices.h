// The simulated host's drivers at the operating-system boundary: the firmware-channel
// driver behind /dev/zelt_lfc and the Ethernet driver's socket ioctls. Each call opens
// a locked session on the host directory, decodes the same records a kernel driver
// would receive, lets the firmware answer, logs what arrived and saves the state.
#pragma once

#include <cstdint>
#include <string>

struct ifreq;

namespace zelt::sim {

// ioctl on an open firmware-channel device whose selection write chose `domain`.
// Returns 0, or -1 with `err` set to the errno the driver fails with.
int lfc_device_ioctl(const std::string& root, uint32_t domain, unsigned long request, void* arg, int& err);

// SIOCETHTOOL, SIOCGIFHWADDR and SIOCGIFMTU on a network interface.
int interface_device_ioctl(const std::string& root, unsigned long request, struct ifreq* ifr, int& err);

}  // namespace zelt::sim
