// Adapter discovery: finds the supported physical functions of the host, their network
// interfaces and what the firmware reports about them, groups them into adapters, and
// chooses the channel each function is reached through.
#pragma once

#include <memory>

#include "common/result.h"
#include "device/discovery_records.h"
#include "device/inventory.h"
#include "host/host.h"
#include "transport/channel.h"

namespace zelt::device {

// The channels discovery hands out: one for the functions a network driver holds, one
// for the functions reached through their PCI window.
struct Roads {
    std::shared_ptr<const transport::Channel> driver;
    std::shared_ptr<const transport::Channel> pci_window;
};

// The live channels over `host`: the driver channel (firmware-channel device, ethtool)
// and the PCI window channel (mailbox, items by message).
Roads live_roads(host::Host& host);

// Runs discovery over `host` with the live channels, filling `inventory` (emptied
// first). Success (finding no function is success), or ZELT_RC_DEVICE_NOT_FOUND (17)
// when "/proc/net/dev" cannot be opened.
Result zelt_nvm_init(host::Host& host, Inventory& inventory);
// Discovery over the given host and channels: every function of the inventory holds
// the channel of its road.
Result zelt_nvm_discover(host::Host& host, const Roads& roads, Inventory& inventory);

// Number of adapters, and the device name of the first function (nullptr when there is
// none).
int zeltnvm_adapter_count(const Inventory& inventory);
const char* zeltnvm_first_device_name(const Inventory& inventory);

}  // namespace zelt::device
