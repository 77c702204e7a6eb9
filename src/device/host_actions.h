// Actions on the host rather than on the adapter: releasing an adapter's functions
// from the Ethernet driver, and setting the SR-IOV virtual function count of its
// physical functions. Taking an adapter over through its PCI window starts with both.
//
// Each works on a function of the run's inventory and on the adapter it belongs to:
// the functions of that adapter in discovery order, at most kHostActionMaxFunctions,
// and of those only the first `active_pf_count` of the adapter. The kernel is asked
// through sysfs writes of the host layer; every write is logged at debug level as the
// shell command that does the same ("cmd = echo ... > /sys/...").
#pragma once

#include <cstdint>

#include "common/pci_address.h"
#include "common/result.h"
#include "device/inventory.h"
#include "host/host.h"

namespace zelt::device {

// Most functions of one adapter the host actions act on.
inline constexpr int kHostActionMaxFunctions = 16;
// Failure of unbinding, and of turning the virtual functions off.
inline constexpr int32_t kUnbindFailed = 1;
inline constexpr int32_t kVfControlFailed = 52;

// What the VF control tells the administrator while it works (device code does not
// print to the console itself).
class HostActionObserver {
public:
    virtual ~HostActionObserver() = default;
    // The virtual functions of the PF at `pf` are about to be turned off.
    virtual void turning_off_vfs(const PciAddress& pf) { (void)pf; }
};

// Unbinds the adapter's functions from the Ethernet driver. Success when done or when
// there is nothing to do (`function` has no driver, or a function of its adapter no
// driver holds any more is passed over); kUnbindFailed when a write fails, at once:
// the functions before it stay unbound.
Result zeltnvm_unbind_driver(host::Host& host, const Inventory& inventory, const InventoryFunction& function);

// Sets the VF count of the adapter's PFs that have active VFs to `count` (0 turns them
// off; the observer hears of each). Success when done or when `function` has no driver;
// a failing write stops at once with kVfControlFailed: the PFs before it keep their
// new count.
Result zeltnvm_disable_enable_driver_num_vf(host::Host& host, const Inventory& inventory,
                                            const InventoryFunction& function, unsigned count,
                                            HostActionObserver& observer);

}  // namespace zelt::device
