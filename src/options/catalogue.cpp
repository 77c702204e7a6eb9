// The option catalogue: every NVM configuration option the utility knows, in the
// order searches walk it. The first matching row wins, so the order matters where
// names repeat (the low-priority TCAM rows 1106 and 1107 are reached by number only).
#include "options/catalogue.h"

#include "common/directory_types.h"

namespace zelt {

// clang-format off
const nvm_mapping_table_row_t arr[ZELTNVM_OPTION_ROWS + 1] = {
    {ZEL_DIR_TYPE_PORT_CFG, 8, 312, 0, 9, option_values::an_protocol,
        "Auto-negotiation mode\n"
         "Selects which auto-negotiation protocols the port offers to its link partner.\n"
         "IEEE 802.3by may be combined with BAM or the consortium next pages.",
        "an_protocol", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 216, 0, 9, option_values::bflink_speed,
        "Autodetect speed exclude mask\n"
         "Speeds that link autodetection skips on this port.\n"
         "Set one bit per speed to exclude; 0 excludes no speed.",
        "autodetect_speed_exclude_mask", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 3, 1101, 0, 9, option_values::afm_resc_strategy,
        "AFM RM resource allocation stratgey\n"
         "Selects how the flow manager shares its hardware resources between functions:\n"
         "Disabled, Static (fixed reservations) or Dynamic.",
        "afm_rm_resc_strategy", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1102, 16, 18, nullptr,
        "AFM RM reservation of transmit L2 context TCAM partitions\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_l2_ctx_tcam_partitions", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1103, 16, 18, nullptr,
        "AFM RM reservation of receive L2 context TCAM partitions\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_l2_ctx_tcam_partitions", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1104, 16, 18, nullptr,
        "AFM RM reservation of transmit L2 context TCAM entries of the high-priority partition\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_l2_ctx_tcam_high", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1105, 16, 18, nullptr,
        "AFM RM reservation of receive L2 context TCAM entries of the high-priority partition\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_l2_ctx_tcam_high", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1106, 16, 18, nullptr,
        "AFM RM reservation of transmit L2 context TCAM entries of the low-priority partition\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_l2_ctx_tcam_high", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1107, 16, 18, nullptr,
        "AFM RM reservation of receive L2 context TCAM entries of the low-priority partition\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_l2_ctx_tcam_high", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1108, 16, 18, nullptr,
        "AFM RM reservation of profile functions\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_prof_func", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1109, 16, 18, nullptr,
        "AFM RM reservation of profile TCAM entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_prof_tcam", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1110, 16, 18, nullptr,
        "AFM RM reservation of transmit exact-match records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_em_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1111, 16, 18, nullptr,
        "AFM RM reservation of receive exact-match records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_em_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1112, 16, 18, nullptr,
        "AFM RM reservation of transmit wildcard TCAM entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_wc_tcam", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1113, 16, 18, nullptr,
        "AFM RM reservation of receive wildcard TCAM entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_wc_tcam", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1114, 16, 18, nullptr,
        "AFM RM reservation of exact-match profile ids\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_em_prof_id", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1115, 16, 18, nullptr,
        "AFM RM reservation of TCAM profile ids\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tcam_prof_id", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1116, 16, 18, nullptr,
        "AFM RM reservation of transmit mirror entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_mirror", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1117, 16, 18, nullptr,
        "AFM RM reservation of receive mirror entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_mirror", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1118, 16, 18, nullptr,
        "AFM RM reservation of transmit source property TCAM entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_sp_tacm", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1119, 16, 18, nullptr,
        "AFM RM reservation of receive source property TCAM entries\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_sp_tacm", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1120, 16, 18, nullptr,
        "AFM RM reservation of receive SRAM multicast group records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_sram_mcg", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1121, 16, 18, nullptr,
        "AFM RM reservation of receive SRAM action records of size 0\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_sram_ar_0", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1122, 16, 18, nullptr,
        "AFM RM reservation of receive SRAM action records of size 2\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_sram_ar_2", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1123, 16, 18, nullptr,
        "AFM RM reservation of transmit SRAM action records of size 3\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_sram_ar_3", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1124, 16, 18, nullptr,
        "AFM RM reservation of transmit SRAM action records of size 4\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_sram_ar_4", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1125, 16, 18, nullptr,
        "AFM RM reservation of receive SRAM action records of size 4\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_sram_ar_4", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1126, 16, 18, nullptr,
        "AFM RM reservation of transmit SRAM full action records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_sram_full_ar", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1127, 16, 18, nullptr,
        "AFM RM reservation of receive SRAM full action records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_sram_full_ar", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1128, 16, 18, nullptr,
        "AFM RM reservation of transmit 16-byte encapsulation records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_encap_16b_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1129, 16, 18, nullptr,
        "AFM RM reservation of receive 16-byte encapsulation records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_encap_16b_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1130, 16, 18, nullptr,
        "AFM RM reservation of transmit 64-byte encapsulation records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_encap_64b_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1131, 16, 18, nullptr,
        "AFM RM reservation of receive 64-byte encapsulation records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_encap_64b_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1132, 16, 18, nullptr,
        "AFM RM reservation of transmit 64-bit counter records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_counter_64b_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1133, 16, 18, nullptr,
        "AFM RM reservation of receive 64-bit counter records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_rx_counter_64b_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1134, 16, 18, nullptr,
        "AFM RM reservation of transmit source MAC records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_sp_smac_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 64, 1135, 16, 18, nullptr,
        "AFM RM reservation of transmit source MAC and IPv4 records\n"
         "Give the minimum and the maximum count as min:max, each 0 to 65535.\n"
         "Written by the resmgmt command.",
        "afm_rm_tx_sp_smac_ipv4_rec", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 32, 1199, 0, 18, nullptr,
        "HCAPI RM Profile Id\n"
         "Identifier of the resource profile held by the resource manager.\n"
         "Written by the resmgmt command.",
        "hcapi_rm_prof_id", 0u, 0u},
    {ZEL_DIR_TYPE_HCAPI_RM_CFG, 32, 1200, 8, 18, nullptr,
        "HCAPI RM Version\n"
         "Version of the resource profile held by the resource manager,\n"
         "one byte per version field. Written by the resmgmt command.",
        "hcapi_rm_prof_version", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 10, 501, 0, 9, nullptr,
        "Bandwidth Reservation\n"
         "Minimum transmit bandwidth guaranteed to the function,\n"
         "in units of 0.1 percent of the port speed (or Mbps, see bw_in_percent).\n"
         "Takes effect only when bw_reservation_valid is Enabled.",
        "bw_reservation", 0u, 1023u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 508, 0, 9, option_values::en_dis,
        "Bandwidth Reservation Valid\n"
         "When Enabled, the firmware applies the bw_reservation value of the function.",
        "bw_reservation_valid", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 10, 502, 0, 9, nullptr,
        "Bandwidth Limit\n"
         "Maximum transmit bandwidth allowed to the function,\n"
         "in units of 0.1 percent of the port speed (or Mbps, see bw_in_percent).\n"
         "Takes effect only when bw_limit_valid is Enabled.",
        "bw_limit", 0u, 1023u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 509, 0, 9, option_values::en_dis,
        "Bandwidth Limit Valid\n"
         "When Enabled, the firmware applies the bw_limit value of the function.",
        "bw_limit_valid", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 666, 0, 18, nullptr,
        "Bifurcation Method\n"
         "Selects how the PCIe link of the adapter is split between hosts.\n"
         "0 follows the board strapping, 1 follows the NVM configuration.",
        "bifurcation_method", 0u, 1u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 507, 0, 9, option_values::en_dis,
        "Bandwidth in percent\n"
         "When Enabled, bw_reservation and bw_limit are read as percentages\n"
         "of the port speed instead of absolute rates.",
        "bw_in_percent", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 938, 0, 9, option_values::string_format,
        "Each of the 4 element refers to the precedence of L2, L3, L4 and RoCE classification\n"
         "when the adapter picks the CoS queue of a received packet; 0 is the highest precedence.\n"
         "Give four different digits 0 to 3 separated by colons, or 0:0:0:0 for the default order.",
        "cos_precedence_order", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 4, 155, 0, 9, option_values::dcbx_mode,
        "DCBX Mode\n"
         "Selects the Data Center Bridging Exchange protocol version\n"
         "the port negotiates with its link partner.",
        "dcbx_mode", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 3, 204, 0, 9, option_values::flow_control,
        "Driver Flow Control\n"
         "Flow control the driver requests on the port:\n"
         "automatic, transmit only, receive only, both or none.",
        "drv_flow_control", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 201, 0, 9, option_values::firmware_speed_cap_mask,
        "Driver Speed capability mask\n"
         "Speeds the driver may advertise on the port, one bit per speed.\n"
         "Several speeds are given by adding their values.",
        "drv_speed_capability_mask", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 914, 0, 33, option_values::tru_fal,
        "Disable ntuple on PF\n"
         "When True, n-tuple receive filters are not offered on this physical function.",
        "disable_ntuple", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 4, 203, 0, 9, option_values::secondary_ext_phy_link_speed,
        "Driver Link speed\n"
         "Link speed the driver requests on the port; Autoneg lets the port negotiate.\n"
         "The speed must be one the firmware supports.",
        "drv_link_speed", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 28, 804, 0, 10, option_values::string_format,
        "Dynamic Minimum Value\n"
         "Minimum amount of a dynamically allocated resource given to the function.\n"
         "Used by the resource management commands.",
        "dyn_min_val", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 3, 805, 0, 10, option_values::string_format,
        "Dynamic Minimum Type\n"
         "Unit of dyn_min_val: how the minimum amount is counted.\n"
         "Used by the resource management commands.",
        "dyn_min_type", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 806, 0, 10, option_values::string_format,
        "Dynamic Minimum Valid\n"
         "When set, the firmware applies dyn_min_val to the function.\n"
         "Used by the resource management commands.",
        "dyn_min_valid", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 28, 807, 0, 10, option_values::string_format,
        "Dynamic Maximum Value\n"
         "Maximum amount of a dynamically allocated resource given to the function.\n"
         "Used by the resource management commands.",
        "dyn_max_val", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 3, 808, 0, 10, option_values::string_format,
        "Dynamic Maximum Type\n"
         "Unit of dyn_max_val: how the maximum amount is counted.\n"
         "Used by the resource management commands.",
        "dyn_max_type", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 809, 0, 10, option_values::string_format,
        "Dynamic Maximum Valid\n"
         "When set, the firmware applies dyn_max_val to the function.\n"
         "Used by the resource management commands.",
        "dyn_max_valid", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 171, 0, 9, option_values::tru_fal,
        "Disable GRE Version Check\n"
         "When True, the adapter accepts GRE packets regardless of the version field.",
        "disable_gre_ver_check", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 926, 0, 9, option_values::en_dis,
        "Disable RoCE V1\n"
         "When Enabled, RoCE version 1 traffic is not offered; RoCE version 2 remains.",
        "disable_roce_v1", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 934, 0, 9, option_values::tru_fal,
        "Disable NVGRE Rx\n"
         "When True, the adapter does not parse or offload received NVGRE packets.",
        "disable_nvgre_rx", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 935, 0, 9, option_values::tru_fal,
        "Disable NVGRE Tx\n"
         "When True, the adapter does not offload NVGRE encapsulation on transmit.",
        "disable_nvgre_tx", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 2, 168, 0, 33, option_values::evb_mode,
        "Default EVB Mode\n"
         "Edge virtual bridging mode of the port's embedded switch:\n"
         "VEB switches traffic between functions locally, VEPA sends it to the external switch.",
        "default_evb_mode", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 930, 0, 33, option_values::tru_fal,
        "Disable RX VLAN accel\n"
         "When True, the adapter leaves VLAN tags in received packets\n"
         "instead of stripping them for the driver.",
        "disable_rx_vlan_accel", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 931, 0, 33, option_values::tru_fal,
        "Disable TX VLAN accel\n"
         "When True, the adapter does not insert VLAN tags on transmit;\n"
         "the driver must place them in the packet.",
        "disable_tx_vlan_accel", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 172, 0, 33, option_values::tru_fal,
        "Disable VXLAN hdr rsvd check\n"
         "When True, VXLAN packets with non-zero reserved header fields are\n"
         "still recognised as VXLAN.",
        "disable_vxlan_hdr_rsvd_check", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 920, 0, 9, option_values::tru_fal,
        "Disable the full crashdump, if user set to True\n"
         "The firmware then collects only a reduced crash dump,\n"
         "which is smaller and faster to retrieve.",
        "disable_full_crashdump", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 700, 0, 9, option_values::tru_fal,
        "This per-PF option controls the RDMA SRIOV support\n"
         "When True, the virtual functions of this physical function are not offered RDMA.",
        "disable_rdma_sriov", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 208, 0, 9, option_values::en_dis,
        "Energy Efficient Ethernet mode\n"
         "When Enabled, the port may lower its power during idle periods\n"
         "if the link partner supports Energy Efficient Ethernet.",
        "eee_pwr_save_mode", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 401, 0, 9, option_values::en_dis,
        "Enable SRIOV\n"
         "When Enabled, the adapter exposes the SR-IOV capability so that\n"
         "virtual functions can be created. See num_vf_per_pf.",
        "enable_sriov", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 166, 0, 9, option_values::en_dis,
        "Enable PME (Power Management Events) capability\n"
         "When Enabled, the functions report the PCI power management event capability,\n"
         "which wake-on-LAN needs.",
        "enable_pme_capability", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 919, 0, 9, option_values::tru_fal,
        "Setting this field will allow trusted VFs to use parent function L2 exact-match filters\n"
         "for their MAC addresses instead of the shared filter space.",
        "enable_l2_em_filter", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 151, 0, 9, option_values::en_dis,
        "Enable WoL on ACPI pattern\n"
         "When Enabled, the port wakes the system on ACPI-defined wake-up patterns.",
        "enable_wol_on_acpi_pattern", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 918, 0, 9, option_values::tru_fal,
        "Enables the adapter error recovery, if user set to True\n"
         "The firmware and driver then recover the adapter from fatal errors\n"
         "without a system reboot.",
        "enable_adapter_error_recovery", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 173, 0, 9, option_values::tru_fal,
        "Enables the ECN, if user set to True\n"
         "Explicit Congestion Notification marking is then applied\n"
         "to RoCE traffic.",
        "enable_ecn", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 933, 0, 33, option_values::tru_fal,
        "Enable TruFlow\n"
         "When True, the flow processing offload of the adapter is enabled on this function.\n"
         "On some adapters it needs the resource manager configuration installed in NVM.",
        "enable_truflow", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 32, 122, 4, 10, option_values::string_format,
        "Transmit rate limit per PCIe endpoint when 4 endpoints are in use, one element per endpoint.\n"
         "Each element is a percentage from 0 to 100 of the port speed; 0 means no limit.\n"
         "Give four values separated by colons.",
        "ep4_tx_min_rate", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 123, 2, 10, option_values::string_format,
        "Transmit rate limit per PCIe endpoint when 2 endpoints are in use, one element per endpoint.\n"
         "Each element is a percentage from 0 to 100 of the port speed; 0 means no limit.\n"
         "Give two values separated by a colon.",
        "ep2_tx_min_rate", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 8, 124, 0, 10, option_values::string_format,
        "Transmit rate limit per PCIe endpoint when 1 endpoints is in use.\n"
         "A percentage from 0 to 100 of the port speed; 0 means no limit.",
        "ep1_tx_min_rate", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 32, 125, 4, 10, option_values::string_format,
        "Transmit rate limit per PCIe endpoint when 4 endpoints are in use, one element per endpoint.\n"
         "Each element is a percentage from 0 to 100 of the port speed; 0 means no limit.\n"
         "Give four values separated by colons.",
        "ep4_tx_max_rate", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 126, 2, 10, option_values::string_format,
        "Transmit rate limit per PCIe endpoint when 2 endpoints are in use, one element per endpoint.\n"
         "Each element is a percentage from 0 to 100 of the port speed; 0 means no limit.\n"
         "Give two values separated by a colon.",
        "ep2_tx_max_rate", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 8, 127, 0, 10, option_values::string_format,
        "Transmit rate limit per PCIe endpoint when 1 endpoints is in use.\n"
         "A percentage from 0 to 100 of the port speed; 0 means no limit.",
        "ep1_tx_max_rate", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 970, 0, 9, option_values::tru_fal,
        "This option enables the use of separate TX COS queues for RoCE requests and responses,\n"
         "which improves throughput of bidirectional RDMA traffic.",
        "enable_roce_bidi_optimization", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 929, 0, 9, option_values::tru_fal,
        "Setting it to 1/True will enable the crash dump to host memory\n"
         "instead of the adapter's own memory; see pf_for_host_mem_chdmp.",
        "enable_crash_dump_to_host_DDR", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 21, 0, 9, option_values::tru_fal,
        "This option enables power reduction by reducing the PCIe link width and speed when the adapter is lightly loaded.",
        "enable_power_reduction", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 4, 205, 0, 9, option_values::link_speed_d0_d3,
        "Firmware Link speed (for D0)\n"
         "Link speed the firmware sets on the port while the function is in D0 (powered).\n"
         "Auto_negotiate lets the port negotiate; the speed must be one the firmware supports.",
        "firmware_link_speed_d0", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 4, 210, 0, 9, option_values::link_speed_d0_d3,
        "Firmware Link speed (for D3)\n"
         "Link speed the firmware sets on the port while the function is in D3 (sleeping),\n"
         "for example for wake-on-LAN. The speed must be one the firmware supports.",
        "firmware_link_speed_d3", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 913, 0, 33, option_values::tru_fal,
        "Flow Control\n"
         "When True, pause frame flow control is disabled on this function.",
        "flow_control_disable", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 209, 0, 17, option_values::firmware_speed_cap_mask,
        "Firmware Speed Capability Mask for D3 state\n"
         "Speeds the port advertises while the function is in D3, one bit per speed.\n"
         "This option is read only.",
        "firmware_speed_cap_mask_d3", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 2, 328, 0, 9, option_values::fwd_err_correct,
        "Forward Error Correction\n"
         "Forward error correction mode of the port.",
        "fwd_err_correct", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 202, 0, 9, option_values::firmware_speed_cap_mask,
        "Firmware Speed capability mask (for D0)\n"
         "Speeds the firmware advertises on the port in D0, one bit per speed.\n"
         "Several speeds are given by adding their values.",
        "firm_speed_capability_mask", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 164, 0, 33, option_values::en_dis,
        "Ignore ARI (Alternate Routing ID) capability; ARI lets a device expose more than 8 functions.\n"
         "When Enabled, the adapter behaves as if the system does not support ARI.",
        "ignore_ari_capability", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 16, 851, 0, 18, nullptr,
        "Configures IPV4 VXLAN UDP Port\n"
         "Destination UDP port recognised as VXLAN over IPv4.\n"
         "Set by the cfgtunnel command.",
        "ipv4ovxlan_udp_port", 0u, 65535u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 853, 0, 18, nullptr,
        "Configures IPv4 VXLAN redirect for VF\n"
         "Virtual function that receives redirected IPv4 VXLAN traffic of the port.\n"
         "Set by the cfgtunnel command.",
        "ipv4ovxlan_redirect_vf", 0u, 65535u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 269, 0, 9, option_values::en_dis,
        "Enable Link Layer Data Protocol (LLDP) on nearest bridge\n"
         "When Enabled, the port exchanges LLDP frames with the nearest bridge.",
        "lldp_nearest_bridge", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 270, 0, 9, option_values::en_dis,
        "Enable Link Layer Data Protocol (LLDP) on non-TPMR (Two Port MAC Relay) bridge.\n"
         "When Enabled, the port exchanges LLDP frames with the nearest non-TPMR bridge.",
        "lldp_nearest_non_tpmr_bridge", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 16, 689, 0, 9, nullptr,
        "L2 Doorbell BAR Size in KB. The remaining doorbell bar size is used for RoCE doorbells.\n"
         "0 lets the firmware choose the size.",
        "l2_pf_db_bar_size", 0u, 65535u},
    {ZEL_DIR_TYPE_FUNC_CFG, 16, 692, 0, 9, nullptr,
        "L2 VF Doorbell BAR Size in KB. The remaining doorbell bar size of each virtual function is used for RoCE doorbells.\n"
         "0 lets the firmware choose the size.",
        "l2_vf_db_bar_size", 0u, 65535u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 214, 0, 9, option_values::en_dis,
        "Auto-Negotiation with Link Training support\n"
         "When Enabled, the port runs link training during auto-negotiation.\n"
         "A change needs a cold boot to take effect.",
        "link_training", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 2, 903, 0, 9, option_values::logical_link_mode,
        "Logical link mode of PF\n"
         "Auto follows the physical link, Enabled keeps the function's link up\n"
         "and Disabled keeps it down.",
        "logical_link_mode", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 10, 108, 0, 9, nullptr,
        "Max number of PF MSI-X (Message Signaled Interrupts) Vectors\n"
         "Number of MSI-X vectors available to each physical function.\n"
         "The largest value depends on the adapter.",
        "max_num_pf_msix_vect", 1u, 512u},
    {ZEL_DIR_TYPE_FUNC_CFG, 10, 406, 0, 9, nullptr,
        "MSI-X Vectors per VF\n"
         "Number of MSI-X vectors given to each virtual function.",
        "msix_vectors_per_vf", 1u, 64u},
    {ZEL_DIR_TYPE_PORT_CFG, 5, 157, 0, 9, option_values::mf_mode,
        "MultiFunction Mode\n"
         "Selects single function or NIC partitioning mode for the ports of the adapter.\n"
         "The value is written for every port.",
        "mf_mode", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 152, 0, 9, option_values::en_dis,
        "Magic Packet WoL\n"
         "When Enabled, the port wakes the system on a magic packet.",
        "magic_packet_wol", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 1, 213, 0, 9, option_values::en_dis,
        "Media Auto Detect\n"
         "When Enabled, the port detects the attached media and picks the link settings.",
        "media_auto_detect", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 351, 0, 9, option_values::en_dis,
        "Enable MBA\n"
         "When Enabled, the function offers the multi-boot agent (pre-boot network boot).",
        "mba", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 2, 352, 0, 9, option_values::mba_boot_type,
        "MBA Boot Type\n"
         "How the multi-boot agent hooks into the system boot sequence.",
        "mba_boot_type", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 4, 353, 0, 9, nullptr,
        "MBA Delay Time\n"
         "Seconds the multi-boot agent waits for a key press before booting.",
        "mba_delay_time", 0u, 15u},
    {ZEL_DIR_TYPE_FUNC_CFG, 3, 360, 0, 9, nullptr,
        "MBA Retry Count\n"
         "Number of times the multi-boot agent retries a failed network boot.",
        "mba_boot_retry_count", 0u, 7u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 358, 0, 9, option_values::en_dis,
        "MBA VLAN\n"
         "When Enabled, the multi-boot agent tags its traffic with mba_vlan_value.",
        "mba_vlan", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 16, 357, 0, 9, nullptr,
        "MBA VLAN Value\n"
         "VLAN id used by the multi-boot agent when mba_vlan is Enabled.",
        "mba_vlan_value", 0u, 4094u},
    {ZEL_DIR_TYPE_FUNC_CFG, 3, 361, 0, 9, option_values::mba_boot_protocol,
        "MBA Boot Protocol\n"
         "Network boot protocol of the multi-boot agent.",
        "mba_boot_protocol", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 4, 359, 0, 9, option_values::mba_link_speed,
        "MBA Link Speed\n"
         "Link speed the multi-boot agent uses.",
        "mba_link_speed", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 64, 1, 0, 9, option_values::string_format,
        "MAC Address\n"
         "Permanent MAC address of the function.\n"
         "Give six hexadecimal bytes separated by colons or hyphens, for example 00:11:22:33:44:55.\n"
         "The address must be unicast and not all zero or all FF.",
        "mac_address", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 7, 114, 0, 9, nullptr,
        "Minimum number of PF MSIX vectors\n"
         "Vectors each physical function keeps when vectors are shared.",
        "min_pf_msix_vectors", 0u, 127u},
    {ZEL_DIR_TYPE_FUNC_CFG, 28, 801, 0, 10, option_values::string_format,
        "MSI-X Maximum Value\n"
         "Maximum number of MSI-X vectors of the function.\n"
         "Used by the resource management commands.",
        "msix_max_val", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 3, 802, 0, 10, option_values::string_format,
        "MSI-X Maximum Type\n"
         "Unit of msix_max_val.\n"
         "Used by the resource management commands.",
        "msix_max_type", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 803, 0, 10, option_values::string_format,
        "MSI-X Maximum Valid\n"
         "When set, the firmware applies msix_max_val to the function.\n"
         "Used by the resource management commands.",
        "msix_max_valid", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 25, 163, 5, 10, nullptr,
        "MHB PF Allocation\n"
         "Physical functions given to each host of a multi-host board,\n"
         "one 5-bit element per host. Set by the multi-host PF allocation command.",
        "mhb_pf_allocation", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 16, 939, 0, 12, nullptr,
        "Buffer diagnostic mode\n"
         "Bias of the receive buffer threshold used for diagnostics.",
        "mbuf_threshold_bias", 0u, 65535u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 119, 0, 17, option_values::en_dis,
        "When enabled, the system is multi-root\n"
         "and the adapter may be reached from more than one PCIe root.\n"
         "This option is read only.",
        "multiroot_mode", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 518, 0, 9, option_values::en_dis,
        "When enabled, the FW will determine the number of hosts and ports from the port configuration.\n"
         "Only available on multi-host functions.",
        "mh_port_breakout_mode", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 8, 503, 0, 9, nullptr,
        "Number Partitions per Port\n"
         "Number of NIC partitions (functions) on each port in partitioning mode.\n"
         "The value is written for every port; the largest value depends on the port count.",
        "num_partitions_per_port", 1u, 16u},
    {ZEL_DIR_TYPE_FUNC_CFG, 16, 404, 0, 9, nullptr,
        "Number of VFs per PF\n"
         "Number of virtual functions of the physical function; a multiple of 8.\n"
         "The total over all functions is limited by the adapter.",
        "num_vf_per_pf", 0u, 256u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 20, 0, 18, option_values::tru_fal,
        "Determines whether MF MODE NPAR 1.2 shall be supported\n"
         "Reports whether NIC partitioning 1.2 is available on this adapter.\n"
         "This option is read only.",
        "npar_1_2_capable", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 253, 0, 17, option_values::en_dis,
        "A binary CFG that enables or disables manageability traffic (NC-SI) over SMBus.",
        "ncsi_over_smbus", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 254, 0, 17, option_values::en_dis,
        "A binary CFG that enables or disables manageability traffic (NC-SI) over PCIe vendor defined messages.",
        "ncsi_over_pcie_vdm", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 16, 752, 0, 33, nullptr,
        "OOBM Session port\n"
         "TCP port of the out-of-band management session service.",
        "oobm_session_port", 0u, 65535u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 753, 0, 33, nullptr,
        "OOBM Session timeout\n"
         "Seconds of inactivity after which an out-of-band management session ends.",
        "oobm_session_timeout", 20u, 86400u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 1, 754, 0, 33, option_values::en_dis,
        "OOBM AP UART enable\n"
         "When Enabled, the application processor's UART is available for management.",
        "oobm_ap_uart_enable", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 755, 0, 33, nullptr,
        "OOBM AP UART timeout\n"
         "Seconds of inactivity after which the application processor's UART session ends.",
        "oobm_ap_uart_timeout", 20u, 86400u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 756, 0, 33, nullptr,
        "OOBM Watchdog\n"
         "Watchdog period of the out-of-band management processor in milliseconds;\n"
         "0 disables the watchdog.",
        "oobm_watchdog", 0u, 4294967295u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 16, 757, 0, 33, nullptr,
        "OOBM Syslog port\n"
         "UDP port of the syslog server that receives management events.",
        "oobm_syslog_port", 0u, 65535u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 758, 0, 33, option_values::string_format,
        "OOBM Syslog Server IPv4 Address\n"
         "Given as a 32-bit number; 0 disables remote logging.",
        "oobm_syslog_server_addr", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 1, 761, 0, 33, option_values::en_dis,
        "OOBM Debug\n"
         "When Enabled, the management processor writes debug messages.",
        "oobm_debug", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 64, 762, 0, 33, option_values::string_format,
        "OOBM MAC Address Port 0\n"
         "MAC address used by out-of-band management on port 0, given as a number.",
        "oobm_mac_address_port_0", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 763, 0, 33, option_values::string_format,
        "OOBM IPv4 Address Port 0\n"
         "IPv4 address of out-of-band management on port 0, given as a 32-bit number.",
        "oobm_ipv4_addr_port_0", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 764, 0, 33, option_values::string_format,
        "OOBM IPv4 Subnet Mask Port 0\n"
         "Subnet mask of out-of-band management on port 0, given as a 32-bit number.",
        "oobm_ipv4_subnet_mask_port_0", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 765, 0, 33, option_values::string_format,
        "OOBM IPv4 Default Gateway Port 0\n"
         "Default gateway of out-of-band management on port 0, given as a 32-bit number.",
        "oobm_ipv4_default_gateway_port_0", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 12, 769, 0, 33, nullptr,
        "OOBM VLAN Tag Port 0\n"
         "VLAN id of out-of-band management traffic on port 0; 0 sends untagged traffic.",
        "oobm_vlan_tag_port_0", 0u, 4095u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 64, 771, 0, 33, option_values::string_format,
        "OOBM MAC Address Port 1\n"
         "MAC address used by out-of-band management on port 1, given as a number.",
        "oobm_mac_address_port_1", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 772, 0, 33, option_values::string_format,
        "OOBM IPv4 Address Port 1\n"
         "IPv4 address of out-of-band management on port 1, given as a 32-bit number.",
        "oobm_ipv4_addr_port_1", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 773, 0, 33, option_values::string_format,
        "OOBM IPv4 Subnet Mask Port 1\n"
         "Subnet mask of out-of-band management on port 1, given as a 32-bit number.",
        "oobm_ipv4_subnet_mask_port_1", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 774, 0, 33, option_values::string_format,
        "OOBM IPv4 Default Gateway Port 1\n"
         "Default gateway of out-of-band management on port 1, given as a 32-bit number.",
        "oobm_ipv4_default_gateway_port_1", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 12, 778, 0, 33, nullptr,
        "OOBM VLAN Tag Port 1\n"
         "VLAN id of out-of-band management traffic on port 1; 0 sends untagged traffic.",
        "oobm_vlan_tag_port_1", 0u, 4095u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 64, 780, 0, 33, option_values::string_format,
        "OOBM MAC Address Port 2\n"
         "MAC address used by out-of-band management on port 2, given as a number.",
        "oobm_mac_address_port_2", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 781, 0, 33, option_values::string_format,
        "OOBM IPv4 Address Port 2\n"
         "IPv4 address of out-of-band management on port 2, given as a 32-bit number.",
        "oobm_ipv4_addr_port_2", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 782, 0, 33, option_values::string_format,
        "OOBM IPv4 Subnet Mask Port 2\n"
         "Subnet mask of out-of-band management on port 2, given as a 32-bit number.",
        "oobm_ipv4_subnet_mask_port_2", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 783, 0, 33, option_values::string_format,
        "OOBM IPv4 Default Gateway Port 2\n"
         "Default gateway of out-of-band management on port 2, given as a 32-bit number.",
        "oobm_ipv4_default_gateway_port_2", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 12, 787, 0, 33, nullptr,
        "OOBM VLAN Tag Port 2\n"
         "VLAN id of out-of-band management traffic on port 2; 0 sends untagged traffic.",
        "oobm_vlan_tag_port_2", 0u, 4095u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 64, 789, 0, 33, option_values::string_format,
        "OOBM MAC Address Port 3\n"
         "MAC address used by out-of-band management on port 3, given as a number.",
        "oobm_mac_address_port_3", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 790, 0, 33, option_values::string_format,
        "OOBM IPv4 Address Port 3\n"
         "IPv4 address of out-of-band management on port 3, given as a 32-bit number.",
        "oobm_ipv4_addr_port_3", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 791, 0, 33, option_values::string_format,
        "OOBM IPv4 Subnet Mask Port 3\n"
         "Subnet mask of out-of-band management on port 3, given as a 32-bit number.",
        "oobm_ipv4_subnet_mask_port_3", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 32, 792, 0, 33, option_values::string_format,
        "OOBM IPv4 Default Gateway Port 3\n"
         "Default gateway of out-of-band management on port 3, given as a 32-bit number.",
        "oobm_ipv4_default_gateway_port_3", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 12, 796, 0, 33, nullptr,
        "OOBM VLAN Tag Port 3\n"
         "VLAN id of out-of-band management traffic on port 3; 0 sends untagged traffic.",
        "oobm_vlan_tag_port_3", 0u, 4095u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 1, 798, 0, 33, option_values::en_dis,
        "OOBM High Availability\n"
         "When Enabled, management fails over to another port when its port loses link.",
        "oobm_high_availability", 0u, 0u},
    {ZEL_DIR_TYPE_OOB_MGMT_CFG, 4, 799, 0, 33, option_values::port_mask,
        "OOBM Port Selection\n"
         "Ports on which out-of-band management is available.",
        "oobm_port_selection", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 329, 0, 9, nullptr,
        "PHY Selection\n"
         "Selects which PHY drives the ports: 0 the primary, 1 the secondary.",
        "phy_select", 0u, 1u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 908, 0, 33, option_values::tunnel_type,
        "Pairing tunnel type\n"
         "Tunnel type whose packets are steered to paired functions.",
        "pairing_tunnel_type", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 912, 0, 9, option_values::tru_fal,
        "Pause Monitor\n"
         "When True, the firmware does not watch for pause frame storms.",
        "pause_monitor_disable", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 4, 13, 0, 33, option_values::port_hide,
        "port hide\n"
         "Ports hidden from the host; a hidden port exposes no PCI function.\n"
         "Only available on adapters that report port hide support.",
        "port_hide", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 19, 0, 17, option_values::en_dis,
        "Query for port hide support\n"
         "Reports whether the adapter can hide ports. This option is read only.",
        "port_hide_capable", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 4, 657, 0, 33, nullptr,
        "PCIe Preset\n"
         "PCIe transmitter preset the adapter requests during link equalisation.",
        "pci_preset", 0u, 15u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 901, 0, 9, nullptr,
        "Check PFC frames before deciding to disable PFC\n"
         "Seconds of priority flow control frames the firmware observes\n"
         "before it disables PFC on a flooded port; 0 disables the check.",
        "pfc_flood_check_time", 0u, 10u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 902, 0, 9, nullptr,
        "Check Rx MBuf usage before reenabling PFC\n"
         "Seconds the firmware watches receive buffer usage\n"
         "before it enables PFC again; 0 never enables it again.",
        "pfc_flood_reenable_time", 0u, 60u},
    {ZEL_DIR_TYPE_SHARED_CFG, 2, 116, 0, 9, option_values::pcie_relaxed_ordering_cfg,
        "PCIe Relaxed Ordering configuration\n"
         "Auto follows the setting of the PCIe device control register.",
        "pcie_relaxed_ordering", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 516, 4, 9, option_values::string_format,
        "Configuration for upto 4 TSIO pins connected to the PHC, one function per pin.\n"
         "Give four pin functions separated by colons, for pins 3, 2, 1 and 0;\n"
         "each non-zero function may be used once, and the SyncE clock outputs only on pins 3 and 2.",
        "ptp_tsio_pin_cfg", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 517, 0, 9, option_values::ptp_sync_in_freq_sel,
        "This option selects the frequency for the sync_in signal\n"
         "Applies to the pins configured as sync_in in ptp_tsio_pin_cfg.",
        "ptp_sync_in_freq", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 16, 519, 0, 10, nullptr,
        "This option configures a minimum guaranteed transmit rate for a partition, in Mbps; 0 means no reservation.",
        "partition_bw_reservation", 0u, 65536u},
    {ZEL_DIR_TYPE_FUNC_CFG, 16, 520, 0, 10, nullptr,
        "This option configured a maximum transmit rate for a rate for a partition, in Mbps; 0 means no limit.",
        "partition_bw_limit", 0u, 65536u},
    {ZEL_DIR_TYPE_PORT_CFG, 12, 104, 0, 9, option_values::pci_bars_size,
        "PF PCI BAR Size\n"
         "Size of BAR2 of the physical functions of the port.",
        "pf_pci_bar2_size", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 16, 1024, 0, 9, option_values::perf_profiles,
        "This option specifies which set of performance firmware settings is applied:\n"
         "Default for general traffic, RoCE for RDMA workloads.",
        "performance_profile", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 5, 944, 0, 9, nullptr,
        "This option specifies the PF number that is used for the crash dump to host memory; see enable_crash_dump_to_host_DDR.",
        "pf_for_host_mem_chdmp", 0u, 15u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 161, 0, 17, option_values::en_dis,
        "RDMA Capabile\n"
         "Reports whether the adapter supports RDMA. This option is read only.",
        "rdma_capable", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 28, 810, 0, 10, option_values::string_format,
        "RoCE Maximum Value\n"
         "Maximum amount of RoCE resources of the function.\n"
         "Used by the resource management commands.",
        "roce_max_val", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 3, 811, 0, 10, option_values::string_format,
        "RoCE Maximum Type\n"
         "Unit of roce_max_val.\n"
         "Used by the resource management commands.",
        "roce_max_type", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 812, 0, 10, option_values::string_format,
        "RoCE Maximum Valid\n"
         "When set, the firmware applies roce_max_val to the function.\n"
         "Used by the resource management commands.",
        "roce_max_valid", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 2, 820, 0, 10, option_values::rx_buffer_pool_modes,
        "This option indicates whether the RX buffer pools are shared between ports, kept per port, or reserved for ECN marking.",
        "rx_buffer_pool_mode", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 971, 0, 10, option_values::en_dis,
        "When this option is set and Kestra runs in multi-host mode the receive queues are assigned by port instead of by host.",
        "rx_queue_by_port", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 506, 0, 33, option_values::en_dis,
        "Support RDMA\n"
         "When Enabled, the function offers RDMA.\n"
         "Needs rdma_capable; some adapters allow RDMA on at most 4 functions.",
        "support_rdma", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 6, 0, 18, nullptr,
        "Subsystem Vendor ID. Configure the PCI Subsystem Vendor ID of the functions. This option is read only.",
        "subsystem_vendor_id", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 7, 0, 18, nullptr,
        "Subsystem Device ID. Configure the PCI Subsystem Device ID of the functions. This option is read only.",
        "subsystem_device_id", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 4, 457, 0, 33, option_values::secondary_ext_phy_link_speed,
        "Secondary External PHY link speed for D0\n"
         "Link speed of the secondary external PHY while the function is in D0.",
        "secondary_ext_phy_link_speed_d0", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 4, 459, 0, 33, option_values::secondary_ext_phy_link_speed,
        "Secondary External Firmware Link Speed\n"
         "Link speed of the secondary external PHY while the function is in D3.",
        "secondary_ext_fw_link_speed_d3", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 8, 813, 0, 10, option_values::string_format,
        "VF Reservation Strategy\n"
         "Strategy the firmware uses to reserve resources for virtual functions.\n"
         "Used by the resource management commands.",
        "strategy_val", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 1, 815, 0, 10, option_values::string_format,
        "VF Reservation Valid\n"
         "When set, the firmware applies strategy_val to the function.\n"
         "Used by the resource management commands.",
        "strategy_valid", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 272, 0, 17, option_values::en_dis,
        "This Boolean indicates whether SPDM over MCTP/SMBus is supported by the adapter's management interface.",
        "spdm_mctp_smbus", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 1, 273, 0, 17, option_values::en_dis,
        "This Boolean indicates whether SPDM over MCTP/PCIe VDM supported by the adapter's management interface.",
        "spdm_mctp_pcievdm", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 816, 0, 33, option_values::tx_ring_mode,
        "Tx Scheduler Allocation Mode\n"
         "Selects how transmit rings are assigned to scheduler nodes:\n"
         "standard (fixed) or flexible.",
        "tx_sched_alloc_mode", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 4, 0, 18, nullptr,
        "Vendor ID. Configure the PCI Vendor ID for the device functions. This option is read only.",
        "vendor_id", 0u, 0u},
    {ZEL_DIR_TYPE_PORT_CFG, 16, 5, 0, 18, nullptr,
        "Vendor Device ID. Configure the PCI Vendor Device ID for the device functions. This option is read only.",
        "vendor_device_id", 0u, 0u},
    {ZEL_DIR_TYPE_FUNC_CFG, 12, 403, 0, 17, option_values::vf_pci_bars_size,
        "VF PCI BAR Size\n"
         "Size of BAR2 of the virtual functions. This option is read only.",
        "vf_pci_bar2_size", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 32, 128, 4, 10, option_values::string_format,
        "Receive rate limits for receive CoS queue groups 0~3 when 4 queue groups are in use.\n"
         "Each element is a percentage from 0 to 100 of the port speed; 0 means no limit.\n"
         "Give four values separated by colons.",
        "qg4_rx_max_rate", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 16, 129, 2, 10, option_values::string_format,
        "Receive rate limits for receive CoS queue groups 0 and 1 when 2 queue groups are in use.\n"
         "Each element is a percentage from 0 to 100 of the port speed; 0 means no limit.\n"
         "Give two values separated by a colon.",
        "qg2_rx_max_rate", 0u, 0u},
    {ZEL_DIR_TYPE_SHARED_CFG, 8, 130, 0, 10, nullptr,
        "Receive rate limit for receive CoS queue group 0 when 1 queue group is in use.\n"
         "A percentage from 0 to 100 of the port speed; 0 means no limit.",
        "qg1_rx_max_rate", 0u, 100u},
    {0, 0, 0, 0, 0, nullptr, "", "", 0u, 0u},
};
// clang-format on

}  // namespace zelt
