// Adapter discovery on the platform whose adapter driver answers through its management
// interface: the driver lists its interfaces and reports each one's PCI function,
// driver texts and link; there is no sysfs and no PCI scan. Every function found is
// reached through the management-callback channel.
#pragma once

#include <memory>

#include "common/result.h"
#include "device/inventory.h"
#include "host/host.h"
#include "host/mgmt_library.h"
#include "transport/channel.h"

namespace zelt::device {

// Fills `inventory` (emptied first) with the supported physical functions the driver
// reports, each holding `channel`. The queries share one management handle; when it
// does not open: HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE. Finding no function is
// success.
Result zelt_nvm_discover_by_callbacks(host::MgmtLibrary& library, std::shared_ptr<const transport::Channel> channel,
                                      Inventory& inventory);

}  // namespace zelt::device
