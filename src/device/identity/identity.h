// Keeping an adapter's own data across a firmware installation: the function MAC
// addresses, the certificate chain and its alias, the FRU record, the onboard
// configuration, the multi-function mode, the PCI BAR2 size and the VPD identity
// fields.
//
// What is saved lives in one process-wide record (zeltnvm_saved_identity) from the
// save before the installation to the restore after it. Each piece remembers the PCI
// domain, bus and device of the adapter it came from and is never written to another
// adapter. A save that fails leaves its piece unsaved; restoring an unsaved piece
// does nothing. zelt_nvm_release_saved_identity() forgets everything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- Saved state -------------------------------------------------------------------

// PCI location of the adapter a piece was saved from.
struct zelt_saved_location {
    uint32_t domain;
    uint32_t bus;
    uint32_t device;
};

// One saved NVM item.
struct zelt_saved_item {
    std::vector<uint8_t> data;  // data_length bytes
    uint32_t item_length;
    uint16_t ordinal;
    uint16_t ext;
    uint16_t attr;
};

// Longest VPD texts kept: product name, and each keyword value.
inline constexpr size_t ZELTNVM_VPD_NAME_MAX = 81;
inline constexpr size_t ZELTNVM_VPD_FIELD_MAX = 63;

struct zeltnvm_vpd_fields {
    char product_name[ZELTNVM_VPD_NAME_MAX + 1];
    int product_name_len;
    char serial_number[ZELTNVM_VPD_FIELD_MAX + 1];
    char part_number[ZELTNVM_VPD_FIELD_MAX + 1];
    char manuf_number[ZELTNVM_VPD_FIELD_MAX + 1];
};

struct zelt_saved_identity_t {
    // FRU (type 81, ordinal 0).
    bool is_fru_saved;
    zelt_saved_item fru;
    zelt_saved_location fru_location;
    // Onboard configuration (one good type-82 item) and how many type-82 items the
    // NVM held.
    bool is_onboard_cfg_saved;
    zelt_saved_item onboard_cfg;
    int onboard_cfg_dir_cnt;
    zelt_saved_location onboard_cfg_location;
    // Certificate chain (type 80, ordinals 0 and 1) and alias (type 84, ordinal 0).
    bool is_cert_chain_saved;  // chain ordinal 0 saved
    bool is_cert_chain1_saved;
    bool is_cert_alias_saved;
    zelt_saved_item cert_chain[2];
    zelt_saved_item cert_alias;
    zelt_saved_location cert_location;
    bool cert_chain_dir_not_applied;  // writing the chain back failed
    // Multi-function mode: the mode in bits 0-7, the port count in bits 8-15.
    uint32_t mf_mode_config;
    zelt_saved_location mf_mode_location;
    // PCI BAR2 size option value.
    bool is_bar2_saved;
    uint32_t zeltnvm_pci_bar2_size;
    // VPD identity fields.
    zeltnvm_vpd_fields zeltnvm_vpd_table;
};

extern zelt_saved_identity_t zeltnvm_saved_identity;

// Forgets every saved piece, the MAC addresses included.
void zelt_nvm_release_saved_identity();

// ---- MAC addresses -----------------------------------------------------------------

// Saves the MAC option of each function of the adapter of `dev` (at most 16; zero
// addresses are not kept). A failed read keeps nothing.
void zelt_nvm_save_mac(const char* dev);
// Writes back every saved address the adapter no longer holds, then forgets them.
// 0, 1 when nothing was saved, or the last failing write or flush.
int zelt_nvm_apply_mac();
// Forgets the saved addresses.
void zelt_nvm_release_saved_macs();

// ---- Certificates, FRU, onboard configuration ---------------------------------------

// Device type 8 and above: saves chain ordinal 0, ordinal 1 (only after ordinal 0) and
// the alias.
void zelt_nvm_save_cert_chain(const char* dev);
// Writes back the saved chain ordinals (`chain`) and/or the alias (`alias`) to the
// adapter they came from; each written piece is then forgotten. 0, or 1 on a failure
// (also for another adapter or device type).
int zelt_nvm_apply_cert_nvm_dirs(const char* dev, bool chain, bool alias);

// Saves FRU ordinal 0.
void zelt_nvm_save_fru_dir(const char* dev);
// Writes the saved FRU back to the adapter it came from, then forgets it. 0 when
// written, 1 when there was nothing to write here, else the write's failure.
int zelt_nvm_apply_fru(const char* dev);

// Saves the first type-82 item whose data matches the CRC-32 of its directory entry
// (and whose No-Chksum attribute is clear), and counts the type-82 items.
void zelt_nvm_save_onboardcfg_dir(const char* dev);
// Creates onboard-configuration item `ordinal` and writes the saved data into it. 0,
// 1 when nothing is saved for this adapter, or the failure.
int zelt_nvm_apply_onboard_cfg(const char* dev, int ordinal);

// ---- Options -----------------------------------------------------------------------

// Saves the multi-function mode and port count of an adapter with 16 PFs or more.
void zelt_nvm_save_mf_mode_config(const char* dev);
// Sets the saved mode (NPAR modes only, 2 and above) on each port and flushes. 0, 1
// when nothing is to be set, or the first failure.
int zelt_nvm_apply_mf_mode_config(const char* dev);
// Reads the PCI BAR2 size option. 0 with *out set, or the read's failure.
int zelt_nvm_get_pci_bar2_size(const char* dev, uint32_t* out);

// ---- VPD -----------------------------------------------------------------------------

// Copies the text of VPD-R keyword `keyword` (two characters) of the adapter's VPD
// item into `out` ("N/A" when the keyword is missing). 0, 1 when there is no VPD item
// (or it is empty or unreadable), 6 when memory runs out.
int zeltnvm_get_vpd_each_field_data(const char* dev, char* out, size_t out_size, const char* keyword);
// Fills the table's product name and the keywords it keeps from the VPD item. 0, 1
// (no usable VPD item or wrong layout), or 6.
int zeltnvm_get_vpd_info_from_image(const char* dev, zeltnvm_vpd_fields* table);
// Rewrites one field of the adapter's VPD: "PRODUCT_NAME", or a keyword ("SN", "PN",
// "MN", ...) which is appended when missing. 0 or 1.
int zelt_nvm_restore_device_vpd_info(const char* dev, const char* field, const char* value);

// Writes the saved VPD fields back: the serial number, and with `all_fields` also the
// product name, part number and manufacturer number. An empty or "N/A" value is not
// written; the console then advises asking the manufacturer to program it. A failed
// write prints which field could not be restored.
void zelt_nvm_restore_saved_vpd(const char* dev, bool all_fields);

// ---- Recovery ----------------------------------------------------------------------

// Saves everything a -recovery -force installation erases, in this order: the VPD
// serial number (with `onboard_cfg_required` also product name, part number and
// manufacturer number), MAC addresses, certificates, FRU, onboard configuration,
// multi-function mode and the PCI BAR2 size.
void zelt_nvm_save_identity_for_recovery(const char* dev, bool onboard_cfg_required);
