// The adapter's certificate chain (two ordinals) and certificate alias, kept across an
// installation that erases the NVM. Only the newest chips carry them.
#include <cstdio>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "log/print.h"

namespace id = zelt::device::identity;

namespace {

constexpr int kCertDeviceType = 8;

void log_debug(const char* text) { zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s", text); }

// Saves one certificate item. `what` names it in the messages ("CERT_CHAIN nvm
// directory for ordinal 0", "Cert alias nvm directory").
bool save_one(const char* dev, uint16_t type, uint16_t ordinal, const char* what, zelt_saved_item& out) {
    zelnvm_directory_entry_t entry{};
    if (zeltnvmGetDirEntry(dev, type, ordinal, 0, &entry) < 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s not found.\n", what);
        return false;
    }
    if (entry.item_length == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s is empty %d.\n", what, 0);
        return false;
    }
    zelt_saved_item item{};
    const int32_t rc = id::read_item(dev, entry, item);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to read %s, status = %d.\n", what, rc);
        return false;
    }
    out = std::move(item);
    return true;
}

void log_chain(int ordinal, const zelt_saved_item& item) {
    const int data_len = static_cast<int>(item.data.size());
    const int item_len = static_cast<int>(item.item_length);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "CertChain Ordinal %d data_len = %d(0x%x)\n", ordinal, data_len,
                  data_len);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "CertChain Ordinal %d item_len = %d(0x%x)\n", ordinal, item_len,
                  item_len);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "CertChain Ordinal %d ordinal = %d ext = %d attr = 0x%x\n", ordinal,
                  item.ordinal, item.ext, item.attr);
}

// Creates the item, finds it and writes the saved data into it. 0 or 1.
int write_one(const char* dev, uint16_t type, const zelt_saved_item& item, const char* name, const char* modify_msg,
              const zelt_saved_location& loc) {
    if (zeltnvmCreateItem(dev, type, item.ordinal, 0, 0, item.item_length) != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to create nvm directory type %d with ordinal %d\n", type,
                      item.ordinal);
        return 1;
    }
    const int32_t index = zeltnvmGetDirEntry(dev, type, item.ordinal, 0, nullptr);
    if (index < 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Invalid \"%s\" ordinal %d nvm dir index on device %04x:%02x:%02x\n",
                      name, item.ordinal, loc.domain, loc.bus, loc.device);
        return 1;
    }
    const int32_t rc = zeltnvm_modify_nvm(dev, static_cast<uint32_t>(index), 0, item.data.data(),
                                          static_cast<uint32_t>(item.data.size()));
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, modify_msg, rc);
        return 1;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                  "nvm directory index %d for ordinal %d and data len = %d written successfully\n", index,
                  item.ordinal, static_cast<int>(item.data.size()));
    return 0;
}

}  // namespace

void zelt_nvm_save_cert_chain(const char* dev) {
    zelt_saved_identity_t& s = zeltnvm_saved_identity;
    s.is_cert_chain_saved = s.is_cert_chain1_saved = s.is_cert_alias_saved = false;
    s.cert_chain[0] = s.cert_chain[1] = s.cert_alias = zelt_saved_item{};
    if (id::device_type_of(dev) != kCertDeviceType) return;
    if (!id::location_of(dev, s.cert_location)) return;

    if (save_one(dev, ZEL_DIR_TYPE_CERT_CHAIN, 0, "CERT_CHAIN nvm directory for ordinal 0", s.cert_chain[0])) {
        s.is_cert_chain_saved = true;
        log_chain(0, s.cert_chain[0]);
        if (save_one(dev, ZEL_DIR_TYPE_CERT_CHAIN, 1, "CERT_CHAIN nvm directory for ordinal 1", s.cert_chain[1])) {
            s.is_cert_chain1_saved = true;
            log_chain(1, s.cert_chain[1]);
        }
    }
    if (save_one(dev, ZEL_DIR_TYPE_CERT_ALIAS, 0, "Cert alias nvm directory", s.cert_alias)) {
        s.is_cert_alias_saved = true;
        const int len = static_cast<int>(s.cert_alias.data.size());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "cert_alias_len = %d(0x%x)\n", len, len);
    }
}

int zelt_nvm_apply_cert_nvm_dirs(const char* dev, bool chain, bool alias) {
    zelt_saved_identity_t& s = zeltnvm_saved_identity;
    const bool have_chain = chain && s.is_cert_chain_saved;
    const bool have_alias = alias && s.is_cert_alias_saved;
    if (!have_chain && !have_alias) return 0;
    if (id::device_type_of(dev) != kCertDeviceType || !id::at_location(dev, s.cert_location)) {
        log_debug("Saved certificates belong to another adapter; not written.\n");
        return 1;
    }
    int rc = 0;
    if (have_chain) {
        rc = write_one(dev, ZEL_DIR_TYPE_CERT_CHAIN, s.cert_chain[0], "CertChain",
                       "modify_nvm cert_chain_0 failed with status = %d\n", s.cert_location);
        if (rc == 0 && s.is_cert_chain1_saved)
            rc = write_one(dev, ZEL_DIR_TYPE_CERT_CHAIN, s.cert_chain[1], "CertChain",
                           "modify_nvm cert_chain_1 failed with status %d\n", s.cert_location);
        s.cert_chain[0] = s.cert_chain[1] = zelt_saved_item{};
        s.is_cert_chain_saved = s.is_cert_chain1_saved = false;
    }
    if (have_alias) {
        if (write_one(dev, ZEL_DIR_TYPE_CERT_ALIAS, s.cert_alias, "CertAlias",
                      "modify_nvm cert_alias failed with status = %d\n", s.cert_location) != 0)
            rc = 1;
        s.cert_alias = zelt_saved_item{};
        s.is_cert_alias_saved = false;
    }
    return rc;
}
