// The multi-function (NPAR) mode and the PCI BAR2 size: NVM options read before an
// installation that erases the NVM, and the mode written back afterwards.
#include <cstring>

#include "device/discovery_lookup.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "log/print.h"
#include "options/port_count.h"
#include "wire/nvm_option_values.h"

namespace zelt::device {

namespace id = identity;

namespace {

constexpr uint16_t kOptMfMode = ZELT_OPT_MF_MODE;
constexpr uint16_t kOptPortMode = 301;
constexpr uint16_t kOptBar2Size = ZELT_OPT_PF_BAR2_SIZE;
// Only adapters presenting this many PFs can be in an NPAR mode.
constexpr int kNparPfCount = 16;
// Modes from this value on are NPAR modes.
constexpr uint32_t kFirstNparMode = 2;

id::OptionRef mf_mode_option(int port) {
    return {kOptMfMode, ZELT_OPT_MF_MODE_BYTES * 8, 1, static_cast<uint16_t>(port), 0};
}

}  // namespace

void zelt_nvm_save_mf_mode_config(const InventoryFunction& target, SavedIdentity& saved) {
    saved.mf_mode.reset();
    const int pfs = target.adapter_pf_count;
    if (pfs < kNparPfCount) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "might mf_mode not configured because of active_pf_count(%d).\n",
                      pfs);
        return;
    }
    int ports = 1;
    uint8_t value[2] = {};
    int rc = id::option_get(target.function, {kOptPortMode, 8, 0, 0, 0}, value, sizeof value).code();
    const int from_mode = rc == 0 ? zeltnvm_port_count_from_mode(value[0]) : -1;
    if (from_mode > 0)
        ports = from_mode;
    else
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to get the device port count (%d)\n", rc != 0 ? rc : -1);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "port_count = %d\n", ports);
    rc = id::option_get(target.function, mf_mode_option(0), value, sizeof value).code();
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to get the option(%d) to save the MF mode.\n", kOptMfMode);
        return;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "MF Mode %d is configured on the device.\n", value[0]);
    Saved<MfMode> mode{{value[0], static_cast<uint8_t>(ports & 0xFF)}, {}};
    if (!id::location_of(target, mode.from)) return;
    saved.mf_mode = mode;
}

Result zelt_nvm_apply_mf_mode_config(const InventoryFunction& target, const SavedIdentity& saved) {
    const uint32_t mode = saved.mf_mode ? saved.mf_mode->value.mode : 0;
    const int ports = saved.mf_mode ? saved.mf_mode->value.ports : 0;
    if (mode < kFirstNparMode) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "mf_mode not configured to NPAR. skip..\n");
        return Result::tool(kNotRestored);
    }
    PciAddress here{};
    if (!id::location_of(target, here) || !id::same_adapter(here, saved.mf_mode->from)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saved mf_mode belongs to another adapter; not written.\n");
        return Result::tool(kNotRestored);
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "mf_mode value = %d port_count = %d\n", mode, ports);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "PCI BDF = %04x:%02x:%02x:%x\n", here.domain, here.bus, here.device,
                  here.function);
    for (int p = 0; p < ports; ++p) {
        const uint8_t value[1] = {static_cast<uint8_t>(mode)};
        Result rc = id::option_set(target.function, mf_mode_option(p), value, sizeof value);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to set the option mf_mode on port %d\n", p);
            return rc;
        }
        rc = id::option_flush(target.function);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to flush the mf_mode on port %d\n", p);
            return rc;
        }
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "mf_mode successfully configured on port %d\n", p);
    }
    return Result();
}

ResultOr<uint32_t> zelt_nvm_get_pci_bar2_size(const InventoryFunction& target) {
    uint8_t value[2] = {};
    const Result rc =
        id::option_get(target.function, {kOptBar2Size, ZELT_OPT_PF_BAR2_SIZE_BYTES * 8, 2, 0, 2}, value, sizeof value);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to get the option(%d) to save the pci bar2 size.\n",
                      kOptBar2Size);
        return rc;
    }
    const uint32_t size = value[0] | (static_cast<uint32_t>(value[1]) << 8);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "PCI Bar2 size of %d is configured on the device.\n",
                  static_cast<int>(size));
    return size;
}

}  // namespace zelt::device
