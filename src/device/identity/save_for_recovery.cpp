// Everything a -recovery -force installation erases, saved in one call before the NVM
// is wiped.
#include <cstring>

#include "device/identity/identity.h"
#include "log/print.h"

void zelt_nvm_save_identity_for_recovery(const char* dev, bool onboard_cfg_required) {
    zelt_saved_identity_t& s = zeltnvm_saved_identity;
    zeltnvm_vpd_fields& vpd = s.zeltnvm_vpd_table;
    vpd = zeltnvm_vpd_fields{};
    zeltnvm_get_vpd_each_field_data(dev, vpd.serial_number, sizeof vpd.serial_number, "SN");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Serial Number = %s\n", vpd.serial_number);
    if (onboard_cfg_required) {
        if (zeltnvm_get_vpd_info_from_image(dev, &vpd) != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "get_vpd_info_from_image failed\n");
            std::strcpy(vpd.product_name, "N/A");
            vpd.product_name_len = 0;
        }
        zeltnvm_get_vpd_each_field_data(dev, vpd.part_number, sizeof vpd.part_number, "PN");
        zeltnvm_get_vpd_each_field_data(dev, vpd.manuf_number, sizeof vpd.manuf_number, "MN");
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Backup the below vpd contents\n");
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Part Number   = %s\n", vpd.part_number);
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Manuf Number  = %s\n", vpd.manuf_number);
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD Product Name  = %s\n", vpd.product_name);
    }
    zelt_nvm_save_mac(dev);
    zelt_nvm_save_cert_chain(dev);
    zelt_nvm_save_fru_dir(dev);
    zelt_nvm_save_onboardcfg_dir(dev);
    zelt_nvm_save_mf_mode_config(dev);
    s.is_bar2_saved = false;
    if (zelt_nvm_get_pci_bar2_size(dev, &s.zeltnvm_pci_bar2_size) == 0) {
        s.is_bar2_saved = true;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saving zeltnvm_pci_bar2_size = %d\n",
                      static_cast<int>(s.zeltnvm_pci_bar2_size));
    }
}
