// Keeping the function MAC addresses across an update: they are read from the MAC
// option of each function before the installation and written back afterwards where
// the new firmware changed them.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/directory_types.h"
#include "device/discovery_lookup.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/nvm_directory.h"
#include "log/print.h"
#include "wire/nvm_option_values.h"

using namespace zelt;

namespace {

constexpr int kMaxMacs = 16;
constexpr size_t kDirScan = 100;

namespace id = zelt::device::identity;

id::OptionRef mac_option(int index) {
    return {ZELT_OPT_MAC_ADDRESS, ZELT_OPT_MAC_ADDRESS_BYTES * 8, 1, static_cast<uint16_t>(index), 0};
}

int read_mac(const zelt::transport::Function& fn, int index, uint8_t mac[6]) {
    uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES] = {};
    const int rc = id::option_get(fn, mac_option(index), value, sizeof value).code();
    if (rc != 0) return rc;
    zeltOptMacDecode(value, mac);
    return 0;
}

std::string mac_text(const uint8_t mac[6]) {
    char out[20];
    std::snprintf(out, sizeof out, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return out;
}

int function_count(const zelt::transport::Function& dev, int device_type) {
    if (device_type >= 8) return kMaxMacs;
    const auto listed = zelt::device::zeltnvmListDirectory(dev);
    if (!listed.ok()) return 0;
    const std::vector<zelnvm_directory_entry_t>& dir = *listed;
    int n = 0;
    for (size_t i = 0; i < dir.size() && i < kDirScan; ++i) n += dir[i].type == ZEL_DIR_TYPE_FUNC_CFG ? 1 : 0;
    if (n > kMaxMacs) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%d func_cfg nvm directories found.\n", n);
        n = kMaxMacs;
    }
    return n;
}

}  // namespace

namespace zelt::device {

void zelt_nvm_save_mac(const InventoryFunction& target, SavedIdentity& saved) {
    saved.macs.reset();
    const int known_type = id::device_type_of(target);
    const uint16_t type = known_type < 0 ? 0 : static_cast<uint16_t>(known_type);
    const int count = function_count(target.function, type);
    if (count == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Function CFG directory not found.\n", "zelt_nvm_save_mac");
        return;
    }
    Saved<SavedMacs> macs{{target.function, {}}, {}};
    for (int i = 0; i < count; ++i) {
        if (!id::location_of(target, macs.from)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: specified device not found\n", "zelt_nvm_save_mac");
            return;
        }
        const PciAddress& at = macs.from;
        FunctionMac f{i, {}};
        if (read_mac(target.function, i, f.mac.data()) != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to Get MAC Address for Device %04x:%02x:%02x.%x\n",
                          "zelt_nvm_save_mac", at.domain, at.bus, at.device, i);
            return;
        }
        if (f.mac == std::array<uint8_t, 6>{}) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO,
                          "Not saving device %04x:%02x:%02x.%x MAC Address because it's zero's.\n", at.domain, at.bus,
                          at.device, i);
            continue;
        }
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saving Device %04x:%02x:%02x.%x MAC Address %s\n", at.domain,
                      at.bus, at.device, i, mac_text(f.mac.data()).c_str());
        macs.value.functions.push_back(f);
    }
    saved.macs = std::move(macs);
}

Result zelt_nvm_apply_mac(SavedIdentity& saved) {
    static constexpr const char* kFn = "zelt_nvm_apply_mac";
    // Whatever happens below, the addresses are written back once only.
    const std::optional<Saved<SavedMacs>> macs = std::move(saved.macs);
    saved.macs.reset();
    if (!macs || macs->value.functions.empty()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: mac_count is zero\n", kFn);
        return Result::tool(kNotRestored);
    }
    const transport::Function& fn = macs->value.function;
    const char* dev = fn.c_name();
    const PciAddress& at = macs->from;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: mac_count = %d\n", kFn,
                  static_cast<int>(macs->value.functions.size()));
    Result rc;
    bool any_kept = false;
    for (const FunctionMac& f : macs->value.functions) {
        const std::string text = mac_text(f.mac.data());
        uint8_t now[6];
        if (read_mac(fn, f.index, now) == 0) {
            if (std::memcmp(now, f.mac.data(), sizeof now) == 0) {
                any_kept = true;
                continue;
            }
        } else {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Failed to Get MAC Address for Device %04x:%02x:%02x.%x\n",
                          kFn, at.domain, at.bus, at.device, f.index);
        }
        uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES];
        zeltOptMacEncode(f.mac.data(), value);
        rc = id::option_set(fn, mac_option(f.index), value, sizeof value);
        if (rc.code() == ZELT_RC_NOT_PERMITTED) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                          "%s: This operation does not have administrative privileges for given interface\n", kFn);
            continue;
        }
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Setting MAC Address %s failed for interface %s\n", kFn,
                          text.c_str(), dev);
            continue;
        }
        rc = id::option_flush(fn);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: NVM Flush failed while setting MAC Address %s for interface %s\n",
                          kFn, text.c_str(), dev);
            continue;
        }
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Restored Device %04x:%02x:%02x.%x MAC Address %s\n", at.domain,
                      at.bus, at.device, f.index, text.c_str());
    }
    if (any_kept)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Restored Device %04x:%02x:%02x MAC Addresses successfully.\n",
                      at.domain, at.bus, at.device);
    return rc;
}

}  // namespace zelt::device
