#include "device/discovery_lookup.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include <optional>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "transport/function.h"

namespace zelt::device {

namespace {

// Parses 1 to 4 hexadecimal digits; advances `p`.
bool parse_hex16(const char*& p, uint16_t& value) {
    unsigned v = 0;
    int digits = 0;
    while (digits < 5) {
        char c = *p;
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        v = v * 16 + static_cast<unsigned>(d);
        ++digits;
        ++p;
    }
    if (digits == 0 || digits > 4) return false;
    value = static_cast<uint16_t>(v);
    return true;
}

bool at_address(const zelt_nvm_device_info_t& rec, const std::optional<zelt::PciAddress>& address) {
    return address && rec.pci_info.domain_no == address->domain && rec.pci_info.bus_no == address->bus &&
           rec.pci_info.device_no == address->device && rec.pci_info.function_no == address->function;
}

// The address a name stands for under `type`: the address text itself, or the
// address a PCI window name holds. nullopt when the name is looked up as text.
std::optional<zelt::PciAddress> address_of(const char* name, device_selection_type type) {
    if (type == DEV_BY_TITLE) {
        zelt::PciAddress address;
        if (zeltnvm_parse_pci_address(name, &address)) return address;
        return zelt::transport::parse_pci_window_name(name);
    }
    if (type == DEV_BY_SERVICE && zelt::transport::is_pci_window_name(name)) {
        // An unparsable window name matches nothing.
        auto address = zelt::transport::parse_pci_window_name(name);
        return address ? address : std::optional<zelt::PciAddress>(zelt::PciAddress{~0u, ~0u, ~0u, ~0u});
    }
    return std::nullopt;
}

bool matches(const zelt_nvm_device_info_t& rec, const char* name, device_selection_type type,
             const std::optional<zelt::PciAddress>& address) {
    switch (type) {
        case DEV_BY_MAC: return strcasecmp(rec.nic_info.current_mac_addr, name) == 0;
        case DEV_BY_SERVICE:
            return address ? at_address(rec, address) : std::strcmp(rec.nic_info.dev_name, name) == 0;
        case DEV_BY_TITLE: return at_address(rec, address);
        case DEV_BY_PCI_ID: return false;
    }
    return false;
}

}  // namespace

bool zeltnvm_parse_pci_address(const char* text, zelt::PciAddress* out) {
    if (!text) return false;
    int colons = 0;
    for (const char* p = text; *p; ++p) colons += *p == ':';
    if (colons < 1 || colons > 3) return false;
    uint16_t field[4] = {};
    const char* p = text;
    if (!parse_hex16(p, field[0]) || *p++ != ':') return false;
    if (!parse_hex16(p, field[1]) || *p++ != ':') return false;
    if (!parse_hex16(p, field[2]) || *p++ != '.') return false;
    if (!parse_hex16(p, field[3]) || *p != '\0') return false;
    if (out) *out = zelt::PciAddress{field[0], field[1], field[2], field[3]};
    return true;
}

const InventoryFunction* find_function(const Inventory& inventory, const char* selector, device_selection_type type) {
    if (!selector) return nullptr;
    const std::optional<zelt::PciAddress> address = address_of(selector, type);
    for (const InventoryFunction& f : inventory.functions) {
        if (matches(f.facts, selector, type, address)) return &f;
    }
    return nullptr;
}

int device_type_of(const InventoryFunction& function) {
    return zeltnvm_table_device_type(function.facts.pci_info.device_id);
}

void zeltnvm_get_chip_number(char* text, const zelt_nvm_device_info_t* record) {
    std::snprintf(text, 32, "%s", zeltnvm_table_chip_number(record->pci_info.device_id));
}

void zeltnvm_get_part_number(char* text, const zelt_nvm_device_info_t* record) {
    std::snprintf(text, 32, "%s",
                  zeltnvm_table_part_number(record->pci_info.device_id, record->pci_info.sub_system_device_id));
}

const InventoryFunction* zeltnvm_adapter_representative(const Inventory& inventory,
                                                                      int adapter_index) {
    if (adapter_index < 0 || adapter_index >= static_cast<int>(inventory.adapters.size())) return nullptr;
    const ZELT_NVM_CHIP_INFO& adapter = inventory.adapters[static_cast<size_t>(adapter_index)];
    const InventoryFunction* best = nullptr;
    for (const auto& f : inventory.functions) {
        const zelt_nvm_device_info_t& rec = f.facts;
        if (!on_adapter(adapter, rec)) continue;
        if (rec.pci_info.function_no == 0) return &f;
        if (!best || rec.pci_info.function_no < best->facts.pci_info.function_no) best = &f;
    }
    return best;
}

int zeltnvm_adapter_of(const Inventory& inventory, const zelt_nvm_device_info_t* record) {
    for (size_t a = 0; a < inventory.adapters.size(); ++a) {
        if (on_adapter(inventory.adapters[a], *record)) {
            return static_cast<int>(a);
        }
    }
    return -1;
}

}  // namespace zelt::device
