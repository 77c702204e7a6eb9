#include "device/inventory.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "log/print.h"

namespace zelt::device {

InventoryFunction& Inventory::add(const zelt_nvm_device_info_t& facts, transport::Function function) {
    InventoryFunction& f = functions.emplace_back();
    f.facts = facts;
    f.function = std::move(function);
    return f;
}

namespace {

bool same_serial(const char* a, const char* b) { return std::strncmp(a, b, ZELT_SERIAL_LEN) == 0; }

}  // namespace

bool same_adapter(const zelt_nvm_device_info_t& a, const zelt_nvm_device_info_t& b) {
    return same_serial(a.nic_info.serial_number, b.nic_info.serial_number) &&
           a.pci_info.domain_no == b.pci_info.domain_no && a.pci_info.bus_no == b.pci_info.bus_no;
}

bool on_adapter(const ZELT_NVM_CHIP_INFO& adapter, const zelt_nvm_device_info_t& function) {
    return same_serial(adapter.serial_number, function.nic_info.serial_number) &&
           adapter.domain_no == function.pci_info.domain_no && adapter.bus_no == function.pci_info.bus_no;
}

void Inventory::group_adapters() {
    adapters.clear();
    for (const InventoryFunction& f : functions) {
        const zelt_nvm_device_info_t& rec = f.facts;
        const char* serial = rec.nic_info.serial_number;
        bool seen = false;
        for (const auto& a : adapters) seen = seen || on_adapter(a, rec);
        if (seen) continue;
        if (adapters.size() >= static_cast<size_t>(ZELT_MAX_ADAPTERS)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "More than %d adapters; %s(serial %s) is not grouped\n",
                          ZELT_MAX_ADAPTERS, rec.nic_info.dev_name, serial);
            continue;
        }
        if (serial[0] == '\0') {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                          "%s reports no serial number; its adapter is told apart by PCI domain %04x and bus %02x\n",
                          rec.nic_info.dev_name, rec.pci_info.domain_no, rec.pci_info.bus_no);
        } else {
            for (const auto& a : adapters) {
                if (!same_serial(a.serial_number, serial)) continue;
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                              "Serial number %s is reported on PCI domain %04x bus %02x and on domain %04x bus %02x; "
                              "they are taken as two adapters\n",
                              serial, a.domain_no, a.bus_no, rec.pci_info.domain_no, rec.pci_info.bus_no);
                break;
            }
        }
        ZELT_NVM_CHIP_INFO& a = adapters.emplace_back();
        a = ZELT_NVM_CHIP_INFO{};
        std::snprintf(a.serial_number, ZELT_SERIAL_LEN, "%.15s", serial);
        a.domain_no = rec.pci_info.domain_no;
        a.bus_no = rec.pci_info.bus_no;
    }
    for (auto& a : adapters) {
        uint16_t pfs = 0;
        for (const InventoryFunction& f : functions) pfs += on_adapter(a, f.facts);
        a.active_pf_count = pfs;
    }
    for (InventoryFunction& f : functions) {
        f.adapter_pf_count = 0;
        for (const auto& a : adapters) {
            if (on_adapter(a, f.facts)) {
                f.adapter_pf_count = a.active_pf_count;
                break;
            }
        }
    }
}

}  // namespace zelt::device
