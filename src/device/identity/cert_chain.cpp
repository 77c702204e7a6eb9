// The adapter's certificate chain (two ordinals) and certificate alias, kept across an
// installation that erases the NVM. The newest chips carry all three; an older one may
// hold a chain, which an erase must not lose either.
#include <cstdio>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "log/print.h"

namespace zelt::device {

namespace id = identity;

namespace {

void log_debug(const char* text) { zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s", text); }

// Saves one certificate item. `what` names it in the messages ("CERT_CHAIN nvm
// directory for ordinal 0", "Cert alias nvm directory").
bool save_one(const transport::Function& fn, uint16_t type, uint16_t ordinal, const char* what, SavedItem& out) {
    zelnvm_directory_entry_t entry{};
    if (!zeltnvmGetDirEntry(fn, type, ordinal, 0, &entry).ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s not found.\n", what);
        return false;
    }
    if (entry.item_length == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s is empty %d.\n", what, 0);
        return false;
    }
    SavedItem item{};
    const int32_t rc = id::read_item(fn, entry, item).code();
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to read %s, status = %d.\n", what, rc);
        return false;
    }
    out = std::move(item);
    return true;
}

void log_chain(int ordinal, const SavedItem& item) {
    const int data_len = static_cast<int>(item.data.size());
    const int item_len = static_cast<int>(item.item_length);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "CertChain Ordinal %d data_len = %d(0x%x)\n", ordinal, data_len,
                  data_len);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "CertChain Ordinal %d item_len = %d(0x%x)\n", ordinal, item_len,
                  item_len);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "CertChain Ordinal %d ordinal = %d ext = %d attr = 0x%x\n", ordinal,
                  item.ordinal, item.ext, item.attr);
}

// Creates the item, finds it and writes the saved data into it. True when written.
bool write_one(const transport::Function& fn, uint16_t type, const SavedItem& item, const char* name, const char* modify_msg,
              const PciAddress& loc) {
    if (!zeltnvmCreateItem(fn, type, item.ordinal, 0, 0, item.item_length).ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to create nvm directory type %d with ordinal %d\n", type,
                      item.ordinal);
        return false;
    }
    const ResultOr<uint32_t> found = zeltnvmGetDirEntry(fn, type, item.ordinal, 0, nullptr);
    if (!found.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Invalid \"%s\" ordinal %d nvm dir index on device %04x:%02x:%02x\n",
                      name, item.ordinal, loc.domain, loc.bus, loc.device);
        return false;
    }
    const int32_t index = static_cast<int32_t>(*found);
    const int32_t rc = zeltnvm_modify_nvm(fn, *found, 0, item.data.data(), static_cast<uint32_t>(item.data.size())).code();
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, modify_msg, rc);
        return false;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                  "nvm directory index %d for ordinal %d and data len = %d written successfully\n", index,
                  item.ordinal, static_cast<int>(item.data.size()));
    return true;
}

}  // namespace

void zelt_nvm_save_cert_chain(const InventoryFunction& target, SavedIdentity& saved) {
    saved.cert_chain[0].reset();
    saved.cert_chain[1].reset();
    saved.cert_alias.reset();
    PciAddress from{};
    if (!id::location_of(target, from)) return;

    SavedItem item{};
    if (save_one(target.function, ZEL_DIR_TYPE_CERT_CHAIN, 0, "CERT_CHAIN nvm directory for ordinal 0", item)) {
        log_chain(0, item);
        saved.cert_chain[0] = Saved<SavedItem>{std::move(item), from};
        if (save_one(target.function, ZEL_DIR_TYPE_CERT_CHAIN, 1, "CERT_CHAIN nvm directory for ordinal 1", item)) {
            log_chain(1, item);
            saved.cert_chain[1] = Saved<SavedItem>{std::move(item), from};
        }
    }
    if (save_one(target.function, ZEL_DIR_TYPE_CERT_ALIAS, 0, "Cert alias nvm directory", item)) {
        const int len = static_cast<int>(item.data.size());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "cert_alias_len = %d(0x%x)\n", len, len);
        saved.cert_alias = Saved<SavedItem>{std::move(item), from};
    }
}

Result zelt_nvm_apply_cert_nvm_dirs(const InventoryFunction& target, SavedIdentity& saved, bool chain, bool alias) {
    const transport::Function& dev = target.function;
    const bool have_chain = chain && saved.cert_chain[0];
    const bool have_alias = alias && saved.cert_alias;
    if (!have_chain && !have_alias) return Result();
    const PciAddress& from = have_chain ? saved.cert_chain[0]->from : saved.cert_alias->from;
    if (!id::at_location(target, from)) {
        log_debug("Saved certificates belong to another adapter; not written.\n");
        return Result::tool(kNotRestored);
    }
    bool written = true;
    if (have_chain) {
        written = write_one(dev, ZEL_DIR_TYPE_CERT_CHAIN, saved.cert_chain[0]->value, "CertChain",
                       "modify_nvm cert_chain_0 failed with status = %d\n", from);
        if (written && saved.cert_chain[1])
            written = write_one(dev, ZEL_DIR_TYPE_CERT_CHAIN, saved.cert_chain[1]->value, "CertChain",
                           "modify_nvm cert_chain_1 failed with status %d\n", from);
        saved.cert_chain[0].reset();
        saved.cert_chain[1].reset();
    }
    if (have_alias) {
        if (!write_one(dev, ZEL_DIR_TYPE_CERT_ALIAS, saved.cert_alias->value, "CertAlias",
                      "modify_nvm cert_alias failed with status = %d\n", from))
            written = false;
        saved.cert_alias.reset();
    }
    return written ? Result() : Result::tool(kNotRestored);
}

}  // namespace zelt::device
