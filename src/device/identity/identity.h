// Keeping an adapter's own data across a firmware installation: the function MAC
// addresses, the certificate chain and its alias, the FRU record, the onboard
// configuration, the multi-function mode, the PCI BAR2 size and the VPD identity
// fields.
//
// What is saved is a SavedIdentity value, owned by the one installation or recovery
// that saved it and dropped with it. Each piece is optional (a save that fails leaves
// it empty; writing back an empty piece does nothing) and remembers the PCI function
// it was read from; it is only ever written back to that adapter (same domain, bus and
// device). Writing a piece back forgets it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/pci_address.h"
#include "common/result.h"
#include "device/inventory.h"

namespace zelt::device {

// A saved piece and the PCI function it was read from.
template <class T>
struct Saved {
    T value;
    PciAddress from;
};

// One saved NVM item.
struct SavedItem {
    std::vector<uint8_t> data;  // data_length bytes
    uint32_t item_length = 0;
    uint16_t ordinal = 0;
    uint16_t ext = 0;
    uint16_t attr = 0;
};

// The MAC option of one function, by option index.
struct FunctionMac {
    int index = 0;
    std::array<uint8_t, 6> mac{};
};

// The function MAC addresses of one adapter and the function they are read and written
// through. Functions whose address read zero are not kept.
struct SavedMacs {
    transport::Function function;
    std::vector<FunctionMac> functions;
};

// Longest VPD texts kept: product name, and each keyword value.
inline constexpr size_t kVpdNameMax = 81;
inline constexpr size_t kVpdFieldMax = 63;

struct VpdFields {
    std::string product_name;
    std::string serial_number;
    std::string part_number;
    std::string manuf_number;
};

// Multi-function mode of port 0 and the adapter's port count.
struct MfMode {
    uint8_t mode = 0;
    uint8_t ports = 1;
};

struct SavedIdentity {
    std::optional<Saved<SavedMacs>> macs;
    std::optional<Saved<SavedItem>> fru;            // type 81, ordinal 0
    std::optional<Saved<SavedItem>> onboard_cfg;    // the first type-82 item with a good checksum
    int onboard_cfg_count = 0;                       // type-82 items the NVM held
    std::optional<Saved<SavedItem>> cert_chain[2];  // type 80, ordinals 0 and 1
    std::optional<Saved<SavedItem>> cert_alias;     // type 84, ordinal 0
    std::optional<Saved<MfMode>> mf_mode;
    std::optional<Saved<uint32_t>> bar2_size;       // PCI BAR2 size option value
    std::optional<Saved<VpdFields>> vpd;
    // The whole VPD item (type 5, ordinal 0): put back as it was when the NVM has no
    // VPD item after an installation that erased it.
    std::optional<Saved<SavedItem>> vpd_item;
};

// The status of a piece that is not written back: nothing is saved for this adapter,
// or its write failed in a way reported only as a failure.
inline constexpr int32_t kNotRestored = 1;

// ---- MAC addresses -----------------------------------------------------------------

// Saves the MAC option of each function of the adapter of `dev` (at most 16; zero
// addresses are not kept). A failed read keeps nothing.
void zelt_nvm_save_mac(const InventoryFunction& target, SavedIdentity& saved);
// Writes back every saved address the adapter no longer holds, then forgets them.
// Success, kNotRestored when nothing was saved, or the last failing write or flush.
Result zelt_nvm_apply_mac(SavedIdentity& saved);

// ---- Certificates, FRU, onboard configuration ---------------------------------------

// Saves chain ordinal 0, ordinal 1 (only after ordinal 0) and the alias, on every
// family that holds them: an erased NVM must not lose a certificate an older adapter
// carries.
void zelt_nvm_save_cert_chain(const InventoryFunction& target, SavedIdentity& saved);
// Writes back the saved chain ordinals (`chain`) and/or the alias (`alias`) to the
// adapter they came from; each written piece is then forgotten. Success, or
// kNotRestored on a failure (also for another adapter).
Result zelt_nvm_apply_cert_nvm_dirs(const InventoryFunction& target, SavedIdentity& saved, bool chain, bool alias);

// Saves FRU ordinal 0.
void zelt_nvm_save_fru_dir(const InventoryFunction& target, SavedIdentity& saved);
// Writes the saved FRU back to the adapter it came from, then forgets it. Success when
// written, kNotRestored when there was nothing to write here, else the write's failure.
Result zelt_nvm_apply_fru(const InventoryFunction& target, SavedIdentity& saved);

// Saves the first type-82 item whose data matches the CRC-32 of its directory entry
// (and whose No-Chksum attribute is clear), and counts the type-82 items.
void zelt_nvm_save_onboardcfg_dir(const InventoryFunction& target, SavedIdentity& saved);
// Creates onboard-configuration item `ordinal` and writes the saved data into it.
// Success, kNotRestored when nothing is saved for this adapter (or the item is not
// found after its creation), or the failure.
Result zelt_nvm_apply_onboard_cfg(const InventoryFunction& target, const SavedIdentity& saved, int ordinal);

// ---- Options -----------------------------------------------------------------------

// Saves the multi-function mode and port count of an adapter with 16 PFs or more.
void zelt_nvm_save_mf_mode_config(const InventoryFunction& target, SavedIdentity& saved);
// Sets the saved mode (NPAR modes only, 2 and above) on each port and flushes.
// Success, kNotRestored when nothing is to be set, or the first failure.
Result zelt_nvm_apply_mf_mode_config(const InventoryFunction& target, const SavedIdentity& saved);
// Reads the PCI BAR2 size option.
ResultOr<uint32_t> zelt_nvm_get_pci_bar2_size(const InventoryFunction& target);

// ---- VPD -----------------------------------------------------------------------------

// The text of VPD-R keyword `keyword` (two characters) of the adapter's VPD item,
// at most kVpdFieldMax characters ("N/A" when the keyword is missing). Fails with 1
// when there is no VPD item (or it is empty or unreadable), 6 when memory runs out.
ResultOr<std::string> zeltnvm_get_vpd_each_field_data(const transport::Function& dev, const char* keyword);
// Fills the product name and the keywords kept from the VPD item. Success, or 1 (no
// usable VPD item or wrong layout), or 6.
Result zeltnvm_get_vpd_info_from_image(const transport::Function& dev, VpdFields& fields);
// Rewrites one field of the adapter's VPD: "PRODUCT_NAME", or a keyword ("SN", "PN",
// "MN", ...) which is appended when missing. Success, or 1.
Result zelt_nvm_restore_device_vpd_info(const transport::Function& dev, const char* field, const char* value);

// Saves the whole VPD item (nothing when the adapter has none).
void zelt_nvm_save_vpd_item(const InventoryFunction& target, SavedIdentity& saved);
// Creates the VPD item again from the saved bytes when the adapter has no VPD item
// (an NVM erase removed it and the package brought none); a VPD item already there is
// left alone. Success (written, or not needed), kNotRestored when nothing is saved for
// this adapter, or the write's failure. The saved item is kept for the comparison of
// zelt_nvm_vpd_fields_lost.
Result zelt_nvm_apply_vpd_item(const InventoryFunction& target, const SavedIdentity& saved);

// Writes the saved VPD fields back: the serial number, and with `all_fields` also the
// product name, part number and manufacturer number. An empty or "N/A" value (or none
// saved) is not written, nor is a field that already reads the saved value. Returns
// the console advice, one text per field, in field order: to ask the manufacturer to
// program a field that was not written, or which field could not be restored. Fields
// saved from another adapter are not written.
std::vector<std::string> zelt_nvm_restore_saved_vpd(const InventoryFunction& target, const SavedIdentity& saved,
                                                     bool all_fields);
// The fields of the saved VPD item (product name and read-only keywords but the
// checksum) that the adapter's VPD no longer holds, one text each: VPD <what> "<old
// value>", then (now "<new value>") or (now missing) when the VPD is readable, in the
// saved item's order. Empty when nothing is saved for this adapter or nothing was lost.
std::vector<std::string> zelt_nvm_vpd_fields_lost(const InventoryFunction& target, const SavedIdentity& saved);

// ---- Recovery ----------------------------------------------------------------------

// Saves everything a -recovery -force installation erases, in this order: the VPD
// serial number (with `onboard_cfg_required` also product name, part number and
// manufacturer number) and the whole VPD item, MAC addresses, certificates, FRU,
// onboard configuration, multi-function mode and the PCI BAR2 size.
SavedIdentity zelt_nvm_save_identity_for_recovery(const InventoryFunction& target, bool onboard_cfg_required);

}  // namespace zelt::device
