// The simulated host's drivers at the operating-system boundary: the firmware-channel
// driver behind /dev/zelt_lfc and the Ethernet driver's socket ioctls. Each call opens
// a locked session on the host directory, decodes the same records a kernel driver
// would receive, lets the firmware answer, logs what arrived and saves the state.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sim/chip/bar_chip.h"
#include "sim/state/sim_store.h"

struct ifreq;

namespace zelt::sim {

// ioctl on an open firmware-channel device whose selection write chose `domain`.
// Returns 0, or -1 with `err` set to the errno the driver fails with.
int lfc_device_ioctl(const std::string& root, uint32_t domain, unsigned long request, void* arg, int& err);

// One message that came through the PCI mailbox of a function, answered by the same
// firmware from the same state as the firmware-channel driver's messages: the data
// buffer of the message is the host's payload (host to device) or goes back as
// payload blocks (device to host). Logs the request; the caller saves the session.
MailboxAnswer mailbox_firmware_answer(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                      std::span<const uint8_t> request, std::span<uint8_t> payload);

// The driver's version text, and its text of the running firmware and installed package
// ("<firmware>/pkg <package>"), as both drivers report them.
inline constexpr const char* kSimDriverVersion = "1.10.3-sim";
std::string driver_firmware_version_text(const AdapterState& state);

// One callback of the driver's management interface, called through the management
// library's stand-in: `header` is the request header (its status written here), `payload`
// the callback's record. Returns the library's status: 0 when the call reached the
// driver, non-zero when the invocation itself failed.
int mgmt_callback(const std::string& root, uint32_t number, void* header, size_t header_size, void* payload,
                  size_t payload_size);

// SIOCETHTOOL, SIOCGIFHWADDR and SIOCGIFMTU on a network interface.
int interface_device_ioctl(const std::string& root, unsigned long request, struct ifreq* ifr, int& err);

}  // namespace zelt::sim
