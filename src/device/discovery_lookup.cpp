#include "device/discovery_lookup.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "common/hvxretval.h"
#include "common/supported_devices.h"

device_selection_type g_device_selection_type = DEV_BY_SERVICE;
zelt_nvm_pci_id_t pci_id_info;

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

bool matches(const zelt_nvm_device_info_t& rec, const char* name, device_selection_type type) {
    switch (type) {
        case DEV_BY_MAC: return strcasecmp(rec.nic_info.current_mac_addr, name) == 0;
        case DEV_BY_SERVICE: return std::strcmp(rec.nic_info.dev_name, name) == 0;
        case DEV_BY_TITLE:
            return rec.pci_info.domain_no == pci_id_info.domain && rec.pci_info.bus_no == pci_id_info.bus &&
                   rec.pci_info.device_no == pci_id_info.device && rec.pci_info.function_no == pci_id_info.function;
        case DEV_BY_PCI_ID: return false;
    }
    return false;
}

}  // namespace

bool zeltnvm_parse_pci_address(const char* text, zelt_nvm_pci_id_t* out) {
    if (!text) return false;
    int colons = 0;
    for (const char* p = text; *p; ++p) colons += *p == ':';
    if (colons < 1 || colons > 3) return false;
    zelt_nvm_pci_id_t id{};
    const char* p = text;
    if (!parse_hex16(p, id.domain) || *p++ != ':') return false;
    if (!parse_hex16(p, id.bus) || *p++ != ':') return false;
    if (!parse_hex16(p, id.device) || *p++ != '.') return false;
    if (!parse_hex16(p, id.function) || *p != '\0') return false;
    if (out) *out = id;
    return true;
}

bool zeltnvm_check_pci_id(const char* text) { return zeltnvm_parse_pci_address(text, &pci_id_info); }

bool zeltnvm_is_pci_dev_name(const char* name) { return name && std::strstr(name, "zelt_pci_dev") != nullptr; }

void zeltnvm_set_selection_for_name(const char* name) {
    if (zeltnvm_is_pci_dev_name(name)) {
        const char* start = std::strstr(name, "zelt_pci_dev");
        if (std::strlen(start) >= static_cast<size_t>(ZELT_PCI_DEV_PREFIX_LEN)) {
            zeltnvm_check_pci_id(start + ZELT_PCI_DEV_PREFIX_LEN);
        }
        g_device_selection_type = DEV_BY_TITLE;
    } else {
        g_device_selection_type = DEV_BY_SERVICE;
    }
}

int zelt_nvm_device_info(const char* name, device_selection_type type, zelt_nvm_device_info_t* out) {
    if (!name) return ZELT_RC_DEVICE_NOT_FOUND;
    for (int i = 0; i < adapters.total_dev_count; ++i) {
        if (matches(devicelist[i], name, type)) {
            if (out) *out = devicelist[i];
            return 0;
        }
    }
    return ZELT_RC_DEVICE_NOT_FOUND;
}

int zelt_nvm_validate_dev(const char* name) { return zelt_nvm_device_info(name, g_device_selection_type, nullptr); }

int zeltnvm_get_device_type(const char* dev, uint16_t* type) {
    zeltnvm_set_selection_for_name(dev);
    zelt_nvm_device_info_t rec;
    int rc = zelt_nvm_device_info(dev, g_device_selection_type, &rec);
    if (rc != 0) return rc;
    int t = zeltnvm_table_device_type(rec.pci_info.device_id);
    if (t < 0) return -1;
    if (type) *type = static_cast<uint16_t>(t);
    return t;
}

void zeltnvm_get_chip_number(char* text, const zelt_nvm_device_info_t* record) {
    std::snprintf(text, 32, "%s", zeltnvm_table_chip_number(record->pci_info.device_id));
}

void zeltnvm_get_part_number(char* text, const zelt_nvm_device_info_t* record) {
    std::snprintf(text, 32, "%s",
                  zeltnvm_table_part_number(record->pci_info.device_id, record->pci_info.sub_system_device_id));
}

int zeltnvm_adapter_representative(int adapter_index) {
    if (adapter_index < 0 || adapter_index >= adapters.total_no_of_adapters) return -1;
    const char* serial = adapters.chip_info[adapter_index].serial_number;
    int best = -1;
    for (int i = 0; i < adapters.total_dev_count; ++i) {
        const zelt_nvm_device_info_t& rec = devicelist[i];
        if (std::strncmp(rec.nic_info.serial_number, serial, ZELT_SERIAL_LEN) != 0) continue;
        if (rec.pci_info.function_no == 0) return i;
        if (best < 0 || rec.pci_info.function_no < devicelist[best].pci_info.function_no) best = i;
    }
    return best;
}

int zeltnvm_adapter_of(const zelt_nvm_device_info_t* record) {
    for (int a = 0; a < adapters.total_no_of_adapters; ++a) {
        if (std::strncmp(adapters.chip_info[a].serial_number, record->nic_info.serial_number, ZELT_SERIAL_LEN) == 0) {
            return a;
        }
    }
    return -1;
}
