// The FRU record and the onboard configuration, kept across an installation that
// erases the NVM.
#include <optional>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/crypto/crc32.h"
#include "log/print.h"

namespace id = zelt::device::identity;

namespace {

// The directory scan of the onboard configuration covers this many entries.
constexpr size_t kDirScan = 100;

}  // namespace

namespace zelt::device {

void zelt_nvm_save_fru_dir(const InventoryFunction& target, SavedIdentity& saved) {
    const transport::Function& dev = target.function;
    saved.fru.reset();
    Saved<SavedItem> fru{};
    if (!id::location_of(target, fru.from)) return;
    zelnvm_directory_entry_t entry{};
    if (!zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_FRU, 0, 0, &entry).ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FRU NVM Directory for ordinal 0 not found.\n");
        return;
    }
    if (entry.item_length == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FRU NVM Directory for ordinal 0 is empty %d.\n", 0);
        return;
    }
    if (int32_t rc = id::read_item(target.function, entry, fru.value).code(); rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to read FRU NVM Directory, status = %d.\n", rc);
        return;
    }
    const int len = static_cast<int>(fru.value.data.size());
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "fru_ordinal_0_len = %d(0x%x)\n", len, len);
    saved.fru = std::move(fru);
}

Result zelt_nvm_apply_fru(const InventoryFunction& target, SavedIdentity& saved) {
    const transport::Function& dev = target.function;
    // Written back once at most: the saved record is forgotten either way.
    const std::optional<Saved<SavedItem>> fru = std::move(saved.fru);
    saved.fru.reset();
    if (!fru || fru->value.data.empty()) return Result::tool(kNotRestored);
    PciAddress here{};
    if (!id::location_of(target, here) || !id::same_adapter(here, fru->from)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saved FRU belongs to another adapter; not written.\n");
        return Result::tool(kNotRestored);
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: Restoring FRU on Device %04x:%02x:%02x.%x\n", "zelt_nvm_apply_fru",
                  here.domain, here.bus, here.device, here.function);
    const std::vector<uint8_t>& data = fru->value.data;
    const auto len = static_cast<uint32_t>(data.size());
    const Result rc = zeltnvm_write_nvm_dir(dev, ZEL_DIR_TYPE_FRU, 0, 0, 0, 0, data.data(), len, len, 0);
    if (!rc.ok())
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to restore FRU on Device %04x:%02x:%02x.%x\n",
                      "zelt_nvm_apply_fru", here.domain, here.bus, here.device, here.function);
    return rc;
}

void zelt_nvm_save_onboardcfg_dir(const InventoryFunction& target, SavedIdentity& saved) {
    const transport::Function& dev = target.function;
    saved.onboard_cfg.reset();
    saved.onboard_cfg_count = 0;
    auto listed_dir = zeltnvmListDirectory(dev);
    if (!listed_dir.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to save OnboardCfg directory. zeltnvmGetDir(%s) returned %d\n",
                      dev.c_name(), listed_dir.result().code());
        return;
    }
    std::vector<zelnvm_directory_entry_t> dir = std::move(listed_dir).value();
    if (dir.size() > kDirScan) dir.resize(kDirScan);
    PciAddress from{};
    if (!id::location_of(target, from)) return;
    for (const zelnvm_directory_entry_t& e : dir) saved.onboard_cfg_count += e.type == ZEL_DIR_TYPE_ONBOARD_CFG ? 1 : 0;

    for (const zelnvm_directory_entry_t& listed : dir) {
        if (listed.type != ZEL_DIR_TYPE_ONBOARD_CFG) continue;
        zelnvm_directory_entry_t entry{};
        if (!zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_ONBOARD_CFG, listed.ordinal, listed.ext, &entry).ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "OnboardCfg ordinal %d nvm directory not found.\n",
                          listed.ordinal);
            continue;
        }
        if (entry.item_length == 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "OnboardCfg ordinal %d nvm director is empty %d.\n",
                          entry.ordinal, 0);
            continue;
        }
        SavedItem item{};
        if (!id::read_item(target.function, entry, item).ok()) continue;
        const uint32_t crc = crc32i(ZELT_CRC32_INIT, item.data.data(), item.data.size());
        if ((entry.attr & ZEL_DIR_ATTR_NO_CHKSUM) != 0 || crc != entry.data_chksum) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                          "OnboardCfg ordinal %d data checksum 0x%08x does not match 0x%08x; not saved.\n",
                          entry.ordinal, crc, entry.data_chksum);
            continue;
        }
        const int len = static_cast<int>(item.data.size());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "OnboardCfg nvm directory len  = %d(0x%x)\n", len, len);
        saved.onboard_cfg = Saved<SavedItem>{std::move(item), from};
        return;
    }
}

Result zelt_nvm_apply_onboard_cfg(const InventoryFunction& target, const SavedIdentity& saved, int ordinal) {
    const transport::Function& dev = target.function;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "onboard_cfg_dir_cnt = %d\n", saved.onboard_cfg_count);
    if (!saved.onboard_cfg) return Result::tool(kNotRestored);
    PciAddress here{};
    if (!id::location_of(target, here) || !id::same_adapter(here, saved.onboard_cfg->from)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Invalid \"OnboardCfg\" BDF when compare to adapter BDF.\n");
        return Result::tool(kNotRestored);
    }
    const std::vector<uint8_t>& data = saved.onboard_cfg->value.data;
    if (data.empty()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\"OnboardCfg\" nvm directory length %d\n", 0);
        return Result::tool(kNotRestored);
    }
    const uint32_t fn = here.function;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Restoring \"OnboardCfg\" ordinal %d on Device %04x:%02x:%02x.%x\n",
                  ordinal, here.domain, here.bus, here.device, fn);
    // The data is written in whole 32-bit words; the item is made large enough for them.
    std::vector<uint8_t> words(data);
    words.resize((words.size() + 3) / 4 * 4, 0);
    const auto words_len = static_cast<uint32_t>(words.size());
    const auto ord = static_cast<uint16_t>(ordinal);
    Result rc = zeltnvmCreateItem(dev, ZEL_DIR_TYPE_ONBOARD_CFG, ord, 0, 0, words_len);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to create \"OnboardCfg\" ordinal %d on Device %04x:%02x:%02x.%x\n",
                      ordinal, here.domain, here.bus, here.device, fn);
        return rc;
    }
    const ResultOr<uint32_t> found = zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_ONBOARD_CFG, ord, 0, nullptr);
    if (!found.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                      "Invalid \"OnboardCfg\" ordinal %d nvm dir index on Device %04x:%02x:%02x.%x\n", ordinal,
                      here.domain, here.bus, here.device, fn);
        return Result::tool(kNotRestored);
    }
    const auto index = static_cast<int>(*found);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\"OnboardCfg\" ordinal %d nvm dir index = %d\n", ordinal, index);
    rc = zeltnvm_modify_nvm(dev, *found, 0, words.data(), words_len);
    if (rc.ok())
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "Restored \"OnboardCfg\" ordinal %d on Device %04x:%02x:%02x.%x successfully.\n", ordinal,
                      here.domain, here.bus, here.device, fn);
    else
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to restore \"OnboardCfg\" ordinal %d on Device %04x:%02x:%02x.%x\n",
                      ordinal, here.domain, here.bus, here.device, fn);
    return rc;
}

}  // namespace zelt::device
