// Everything a -recovery -force installation erases, saved in one call before the NVM
// is wiped.
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "log/print.h"

namespace zelt::device {

SavedIdentity zelt_nvm_save_identity_for_recovery(const InventoryFunction& target, bool onboard_cfg_required) {
    const transport::Function& dev = target.function;
    // A keyword that cannot be read leaves its field as it was.
    const auto read_field = [&dev](std::string& field, const char* keyword) {
        if (ResultOr<std::string> text = zeltnvm_get_vpd_each_field_data(dev, keyword); text.ok())
            field = std::move(text).value();
    };
    SavedIdentity s;
    Saved<VpdFields> vpd{};
    const bool located = identity::location_of(target, vpd.from);
    read_field(vpd.value.serial_number, "SN");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Serial Number = %s\n", vpd.value.serial_number.c_str());
    if (onboard_cfg_required) {
        if (!zeltnvm_get_vpd_info_from_image(dev, vpd.value).ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "get_vpd_info_from_image failed\n");
            vpd.value.product_name = "N/A";
        }
        read_field(vpd.value.part_number, "PN");
        read_field(vpd.value.manuf_number, "MN");
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Backup the below vpd contents\n");
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Part Number   = %s\n", vpd.value.part_number.c_str());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Manuf Number  = %s\n", vpd.value.manuf_number.c_str());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Product Name  = %s\n", vpd.value.product_name.c_str());
    }
    if (located) s.vpd = std::move(vpd);
    zelt_nvm_save_vpd_item(target, s);
    zelt_nvm_save_mac(target, s);
    zelt_nvm_save_cert_chain(target, s);
    zelt_nvm_save_fru_dir(target, s);
    zelt_nvm_save_onboardcfg_dir(target, s);
    zelt_nvm_save_mf_mode_config(target, s);
    if (const ResultOr<uint32_t> read = zelt_nvm_get_pci_bar2_size(target); read.ok()) {
        const uint32_t bar2 = *read;
        PciAddress from{};
        if (identity::location_of(target, from)) s.bar2_size = Saved<uint32_t>{bar2, from};
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saving zeltnvm_pci_bar2_size = %d\n", static_cast<int>(bar2));
    }
    return s;
}

}  // namespace zelt::device
