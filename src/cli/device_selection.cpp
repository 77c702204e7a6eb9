#include "cli/device_selection.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace zelt::cli {

namespace {

bool is_hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

bool is_nice_mac_addr(const char* text) {
    if (!text) return false;
    // The groups are read back at fixed offsets, so each must have exactly two digits.
    if (std::strlen(text) != 17) return false;
    const char sep = text[2];
    if (sep != ':' && sep != '-') return false;
    for (int g = 0; g < 6; ++g) {
        const char* p = text + g * 3;
        if (!is_hex(p[0]) || !is_hex(p[1])) return false;
        if (g < 5 && p[2] != ':' && p[2] != '-') return false;
    }
    return true;
}

bool zeltnvm_is_plain_mac_addr(const char* text) {
    if (!text || std::strlen(text) != 12) return false;
    for (int i = 0; i < 12; ++i) {
        if (!is_hex(text[i])) return false;
    }
    return true;
}

const zelt::device::InventoryFunction* select_device(const zelt::device::Inventory& inventory, const char* selector,
                                                     std::string& shown_name) {
    using zelt::device::find_function;
    if (!selector) return nullptr;
    std::string mac;
    if (zeltnvm_is_plain_mac_addr(selector)) {
        // Stored MAC texts carry colons: insert them, as for the separated form.
        for (int i = 0; i < 12; i += 2) {
            if (i) mac += ':';
            mac.append(selector + i, 2);
        }
    } else if (is_nice_mac_addr(selector)) {
        for (int off = 0; off <= 15; off += 3) {
            if (off) mac += ':';
            mac.append(selector + off, 2);
        }
    }
    // After a MAC or PCI-address match the function goes by its own name; a name without
    // interface is looked up by the address it holds, whichever selector form found it.
    const zelt::device::InventoryFunction* found = nullptr;
    if (!mac.empty()) {
        found = find_function(inventory, mac.c_str(), zelt::device::DEV_BY_MAC);
        if (found) shown_name = found->name();
        return found;
    }
    if (zelt::device::zeltnvm_parse_pci_address(selector, nullptr)) {
        found = find_function(inventory, selector, zelt::device::DEV_BY_TITLE);
        if (found) shown_name = found->name();
        return found;
    }
    found = find_function(inventory, selector, zelt::device::DEV_BY_SERVICE);
    if (found) shown_name = selector;
    return found;
}

}  // namespace zelt::cli
