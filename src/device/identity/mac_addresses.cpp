// Keeping the function MAC addresses across an update: they are read from the MAC
// option of each function before the installation and written back afterwards where
// the new firmware changed them.
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/directory_types.h"
#include "device/discovery_lookup.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/nvm_directory.h"
#include "log/print.h"
#include "wire/nvm_option_values.h"

namespace {

constexpr int kMaxMacs = 16;
constexpr size_t kDirScan = 100;

struct SavedMac {
    char dev[256];
    uint32_t domain;
    uint32_t bus;
    uint32_t device;
    int index;
    char mac[20];
};

std::vector<SavedMac> g_macs;
bool g_macs_saved = false;

namespace id = zelt::device::identity;

id::OptionRef mac_option(int index) {
    return {ZELT_OPT_MAC_ADDRESS, ZELT_OPT_MAC_ADDRESS_BYTES * 8, 1, static_cast<uint16_t>(index), 0};
}

int read_mac(const char* dev, int index, uint8_t mac[6]) {
    uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES] = {};
    int rc = id::option_get(dev, mac_option(index), value, sizeof value);
    if (rc != 0) return rc;
    zeltOptMacDecode(value, mac);
    return 0;
}

void mac_text(const uint8_t mac[6], char out[20]) {
    std::snprintf(out, 20, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

int function_count(const char* dev, int device_type) {
    if (device_type >= 8) return kMaxMacs;
    std::vector<zelnvm_directory_entry_t> dir;
    if (zeltnvmListDirectory(dev, dir) != 0) return 0;
    int n = 0;
    for (size_t i = 0; i < dir.size() && i < kDirScan; ++i) n += dir[i].type == ZEL_DIR_TYPE_FUNC_CFG ? 1 : 0;
    if (n > kMaxMacs) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%d func_cfg nvm directories found.\n", n);
        n = kMaxMacs;
    }
    return n;
}

}  // namespace

void zelt_nvm_save_mac(const char* dev) {
    g_macs.clear();
    g_macs_saved = false;
    uint16_t type = 0;
    zeltnvm_get_device_type(dev, &type);
    const int count = function_count(dev, type);
    if (count == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Function CFG directory not found.\n", "zelt_nvm_save_mac");
        return;
    }
    for (int i = 0; i < count; ++i) {
        zelt_nvm_device_info_t rec;
        if (zelt_nvm_device_info(dev, DEV_BY_SERVICE, &rec) != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: specified device not found\n", "zelt_nvm_save_mac");
            g_macs.clear();
            return;
        }
        const uint32_t domain = rec.pci_info.domain_no;
        const uint32_t bus = rec.pci_info.bus_no;
        const uint32_t device = rec.pci_info.device_no;
        uint8_t mac[6];
        if (read_mac(dev, i, mac) != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to Get MAC Address for Device %04x:%02x:%02x.%x\n",
                          "zelt_nvm_save_mac", domain, bus, device, i);
            g_macs.clear();
            return;
        }
        if (std::memcmp(mac, "\0\0\0\0\0\0", 6) == 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO,
                          "Not saving device %04x:%02x:%02x.%x MAC Address because it's zero's.\n", domain, bus, device,
                          i);
            continue;
        }
        SavedMac s{};
        std::strncpy(s.dev, dev, sizeof s.dev - 1);
        s.domain = domain;
        s.bus = bus;
        s.device = device;
        s.index = i;
        mac_text(mac, s.mac);
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saving Device %04x:%02x:%02x.%x MAC Address %s\n", domain, bus,
                      device, i, s.mac);
        g_macs.push_back(s);
    }
    g_macs_saved = true;
}

int zelt_nvm_apply_mac() {
    static constexpr const char* kFn = "zelt_nvm_apply_mac";
    if (g_macs.empty()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: mac_count is zero\n", kFn);
        g_macs_saved = false;
        return 1;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: mac_count = %d\n", kFn, static_cast<int>(g_macs.size()));
    int rc = 0;
    bool any_kept = false;
    for (const SavedMac& s : g_macs) {
        uint8_t mac[6];
        char now[20] = {};
        if (read_mac(s.dev, s.index, mac) == 0) {
            mac_text(mac, now);
            if (std::strcmp(now, s.mac) == 0) {
                any_kept = true;
                continue;
            }
        } else {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Failed to Get MAC Address for Device %04x:%02x:%02x.%x\n",
                          kFn, s.domain, s.bus, s.device, s.index);
        }
        unsigned b[6];
        std::sscanf(s.mac, "%x-%x-%x-%x-%x-%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
        uint8_t saved[6];
        for (int i = 0; i < 6; ++i) saved[i] = static_cast<uint8_t>(b[i]);
        uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES];
        zeltOptMacEncode(saved, value);
        rc = id::option_set(s.dev, mac_option(s.index), value, sizeof value);
        if (rc == 3) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                          "%s: This operation does not have administrative privileges for given interface\n", kFn);
            continue;
        }
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Setting MAC Address %s failed for interface %s\n", kFn,
                          s.mac, s.dev);
            continue;
        }
        rc = id::option_flush(s.dev);
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: NVM Flush failed while setting MAC Address %s for interface %s\n",
                          kFn, s.mac, s.dev);
            continue;
        }
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Restored Device %04x:%02x:%02x.%x MAC Address %s\n", s.domain,
                      s.bus, s.device, s.index, s.mac);
    }
    if (any_kept)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Restored Device %04x:%02x:%02x MAC Addresses successfully.\n",
                      g_macs[0].domain, g_macs[0].bus, g_macs[0].device);
    g_macs.clear();
    g_macs_saved = false;
    return rc;
}

void zelt_nvm_release_saved_macs() {
    g_macs.clear();
    g_macs_saved = false;
}
