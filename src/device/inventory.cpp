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

void Inventory::group_adapters() {
    adapters.clear();
    for (const InventoryFunction& f : functions) {
        const char* serial = f.facts.nic_info.serial_number;
        bool seen = false;
        for (const auto& a : adapters) seen = seen || std::strcmp(a.serial_number, serial) == 0;
        if (seen) continue;
        if (adapters.size() >= static_cast<size_t>(ZELT_MAX_ADAPTERS)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "More than %d adapters; %s(serial %s) is not grouped\n",
                          ZELT_MAX_ADAPTERS, f.facts.nic_info.dev_name, serial);
            continue;
        }
        ZELT_NVM_CHIP_INFO& a = adapters.emplace_back();
        a = ZELT_NVM_CHIP_INFO{};
        std::snprintf(a.serial_number, ZELT_SERIAL_LEN, "%.15s", serial);
    }
    for (auto& a : adapters) {
        uint16_t pfs = 0;
        for (const InventoryFunction& f : functions)
            pfs += std::strcmp(f.facts.nic_info.serial_number, a.serial_number) == 0;
        a.active_pf_count = pfs;
    }
    for (InventoryFunction& f : functions) {
        f.adapter_pf_count = 0;
        for (const auto& a : adapters) {
            if (std::strncmp(a.serial_number, f.facts.nic_info.serial_number, ZELT_SERIAL_LEN) == 0) {
                f.adapter_pf_count = a.active_pf_count;
                break;
            }
        }
    }
}

}  // namespace zelt::device
