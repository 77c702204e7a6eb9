#include "device/host_actions.h"

#include <cstdio>
#include <string>
#include <vector>

#include "log/print.h"

namespace zelt::device {

namespace {

constexpr const char* kEthernetDriver = "zelt_en";

std::string address_text(const PciAddress& a) {
    char text[32];
    std::snprintf(text, sizeof text, "%04x:%02x:%02x.%u", a.domain, a.bus, a.device, a.function);
    return text;
}

// The functions the host actions act on: the adapter's functions in discovery order,
// at most kHostActionMaxFunctions, cut to the adapter's active PF count.
std::vector<const InventoryFunction*> adapter_functions(const Inventory& inventory,
                                                        const InventoryFunction& function) {
    const zelt_nvm_device_info_t& rec = function.facts;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "adapters.total_dev_count = %d\n",
                  static_cast<int>(inventory.functions.size()));
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "adapter->nic_info.serial_number = %.*s\n", ZELT_SERIAL_LEN,
                  rec.nic_info.serial_number);
    int active_pf_count = 0;
    for (const ZELT_NVM_CHIP_INFO& a : inventory.adapters) {
        if (on_adapter(a, rec)) {
            active_pf_count = a.active_pf_count;
            break;
        }
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "active_pf_count = %d\n", active_pf_count);

    std::vector<const InventoryFunction*> list;
    for (const InventoryFunction& f : inventory.functions) {
        if (static_cast<int>(list.size()) == kHostActionMaxFunctions) break;
        if (same_adapter(f.facts, rec)) list.push_back(&f);
    }
    if (static_cast<int>(list.size()) > active_pf_count) list.resize(static_cast<size_t>(active_pf_count));
    return list;
}

bool has_no_driver(const InventoryFunction& function) {
    return function.facts.nic_info.driver_type == ZELT_DRIVER_NONE;
}

}  // namespace

Result zeltnvm_unbind_driver(host::Host& host, const Inventory& inventory, const InventoryFunction& function) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "adapter->nic_info.driver_type = 0x%x\n",
                  function.facts.nic_info.driver_type);
    if (has_no_driver(function)) return Result();
    for (const InventoryFunction* f : adapter_functions(inventory, function)) {
        // A function no driver held when the run began has nothing to release; asking
        // the driver to let it go would fail and keep the rest of the adapter bound.
        if (has_no_driver(*f)) continue;
        const std::string address = address_text(f->address());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "cmd = %s\n",
                      ("echo " + address + " > /sys/bus/pci/drivers/" + kEthernetDriver + "/unbind").c_str());
        if (host.unbind_driver(address, kEthernetDriver) != 0) return Result::tool(kUnbindFailed);
    }
    return Result();
}

Result zeltnvm_disable_enable_driver_num_vf(host::Host& host, const Inventory& inventory,
                                            const InventoryFunction& function, unsigned count,
                                            HostActionObserver& observer) {
    if (has_no_driver(function)) return Result();
    for (const InventoryFunction* f : adapter_functions(inventory, function)) {
        if (f->facts.sriov.Active_VFs == 0) continue;
        if (count == 0) observer.turning_off_vfs(f->address());
        const std::string address = address_text(f->address());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "cmd = %s\n",
                      ("echo " + std::to_string(count) + " > /sys/bus/pci/devices/" + address + "/sriov_numvfs")
                          .c_str());
        // A count the kernel refuses leaves the VFs as they were: a failure either way.
        if (host.set_vf_count(address, count) != 0) return Result::tool(kVfControlFailed);
    }
    return Result();
}

}  // namespace zelt::device
