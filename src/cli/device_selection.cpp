#include "cli/device_selection.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/discovery_records.h"

namespace {

// The device name handed out by select_device; lives for the whole run.
char g_selected_name[ZELT_NAME_LEN];

bool is_hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The record's device name after a MAC or PCI-address match. A name without interface
// is looked up by the address it holds, whichever selector form found it.
const char* adopt_name(const zelt_nvm_device_info_t& rec) {
    std::memcpy(g_selected_name, rec.nic_info.dev_name, sizeof g_selected_name);
    g_selected_name[sizeof g_selected_name - 1] = '\0';
    return g_selected_name;
}

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

char* get_native_device(const char* selector, device_selection_type type, options*) {
    zelt_nvm_device_info_t rec;
    if (zelt_nvm_device_info(selector, type, &rec) != 0) return nullptr;
    rec.nic_info.dev_name[sizeof rec.nic_info.dev_name - 1] = '\0';
    return strdup(rec.nic_info.dev_name);
}

const char* select_device(const char* selector, options*) {
    if (!selector) return nullptr;
    zelt_nvm_device_info_t rec;
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
    if (!mac.empty()) {
        if (zelt_nvm_device_info(mac.c_str(), DEV_BY_MAC, &rec) != 0) return nullptr;
        return adopt_name(rec);
    }
    if (zeltnvm_parse_pci_address(selector, nullptr)) {
        if (zelt_nvm_device_info(selector, DEV_BY_TITLE, &rec) != 0) return nullptr;
        return adopt_name(rec);
    }
    if (zelt_nvm_device_info(selector, DEV_BY_SERVICE, nullptr) != 0) return nullptr;
    std::snprintf(g_selected_name, sizeof g_selected_name, "%s", selector);
    return g_selected_name;
}
