// Firmware messages of the query and control family: versions, capabilities,
// function and port configuration, error recovery, status, reset, health,
// synchronisation, time, temperature, PCIe counters, manufacturing queries and
// direct register access. Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"
#include "wire/hwrm_nvm.h"

namespace zelt {

// ---- hwrm_ver_get (0x0000) ---------------------------------------------------------
struct hwrm_ver_get_input {
    hwrm_input_header hdr;
    uint8_t hwrm_intf_maj;
    uint8_t hwrm_intf_min;
    uint8_t hwrm_intf_upd;
    uint8_t unused_0[5];
};
ZELT_HWRM_INPUT(hwrm_ver_get_input, 24);
ZELT_WIRE_FIELD(hwrm_ver_get_input, hwrm_intf_maj, 16);
ZELT_WIRE_FIELD(hwrm_ver_get_input, hwrm_intf_min, 17);
ZELT_WIRE_FIELD(hwrm_ver_get_input, hwrm_intf_upd, 18);

inline constexpr uint32_t HWRM_VER_GET_DEV_CAPS_CFG_SECURE_FW = 0x0001;
inline constexpr uint32_t HWRM_VER_GET_DEV_CAPS_CFG_SECURE_BOOT = 0x8000;

struct hwrm_ver_get_output {
    hwrm_output_header hdr;
    uint8_t hwrm_intf_maj_8b;
    uint8_t hwrm_intf_min_8b;
    uint8_t hwrm_intf_upd_8b;
    uint8_t hwrm_intf_rsvd_8b;
    uint8_t hwrm_fw_maj_8b;
    uint8_t hwrm_fw_min_8b;
    uint8_t hwrm_fw_bld_8b;
    uint8_t hwrm_fw_rsvd_8b;
    uint8_t mgmt_fw_maj_8b;
    uint8_t mgmt_fw_min_8b;
    uint8_t mgmt_fw_bld_8b;
    uint8_t mgmt_fw_rsvd_8b;
    uint8_t netctrl_fw_maj_8b;
    uint8_t netctrl_fw_min_8b;
    uint8_t netctrl_fw_bld_8b;
    uint8_t netctrl_fw_rsvd_8b;
    uint32_t dev_caps_cfg;
    uint8_t roce_fw_maj_8b;
    uint8_t roce_fw_min_8b;
    uint8_t roce_fw_bld_8b;
    uint8_t roce_fw_rsvd_8b;
    char hwrm_fw_name[16];
    char mgmt_fw_name[16];
    char netctrl_fw_name[16];
    char active_pkg_name[32];  // installed package version text, NUL-padded
    char roce_fw_name[16];
    uint16_t chip_num;
    uint8_t chip_rev;
    uint8_t chip_metal;
    uint8_t chip_bond_id;
    uint8_t chip_platform_type;
    uint16_t max_req_win_len;
    uint16_t max_resp_len;
    uint16_t def_req_timeout;
    uint8_t flags;
    uint8_t unused_0[34];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_ver_get_output, 176);
ZELT_WIRE_FIELD(hwrm_ver_get_output, hwrm_fw_maj_8b, 12);
ZELT_WIRE_FIELD(hwrm_ver_get_output, hwrm_fw_min_8b, 13);
ZELT_WIRE_FIELD(hwrm_ver_get_output, hwrm_fw_bld_8b, 14);
ZELT_WIRE_FIELD(hwrm_ver_get_output, hwrm_fw_rsvd_8b, 15);
ZELT_WIRE_FIELD(hwrm_ver_get_output, dev_caps_cfg, 24);
ZELT_WIRE_FIELD(hwrm_ver_get_output, hwrm_fw_name, 32);
ZELT_WIRE_FIELD(hwrm_ver_get_output, active_pkg_name, 80);
ZELT_WIRE_FIELD(hwrm_ver_get_output, chip_num, 128);
ZELT_WIRE_FIELD(hwrm_ver_get_output, chip_rev, 130);
ZELT_WIRE_FIELD(hwrm_ver_get_output, chip_metal, 131);

// ---- hwrm_error_recovery_qcfg (0x000C) ---------------------------------------------
struct hwrm_error_recovery_qcfg_input {
    hwrm_input_header hdr;
    uint8_t unused_0[8];
};
ZELT_HWRM_INPUT(hwrm_error_recovery_qcfg_input, 24);

struct hwrm_error_recovery_qcfg_output {
    hwrm_output_header hdr;
    uint32_t flags;
    uint32_t driver_polling_freq;
    uint32_t master_func_wait_period;
    uint32_t normal_func_wait_period;       // units of 100 ms
    uint32_t master_func_wait_period_after_reset;
    uint32_t max_bailout_time_after_reset;  // units of 100 ms
    uint32_t fw_health_status_reg;
    uint32_t fw_heartbeat_reg;
    uint32_t fw_reset_cnt_reg;              // address of the firmware reset counter
    uint32_t reset_inprogress_reg;
    uint32_t reset_inprogress_reg_mask;
    uint32_t err_recovery_cnt_reg;          // address of the error recovery counter; 0 = none
    uint8_t reg_array_cnt;
    uint8_t unused_0[3];
    uint32_t reset_reg[16];
    uint32_t reset_reg_val[16];
    uint8_t delay_after_reset[16];
    uint8_t unused_1[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_error_recovery_qcfg_output, 208);
ZELT_WIRE_FIELD(hwrm_error_recovery_qcfg_output, normal_func_wait_period, 20);
ZELT_WIRE_FIELD(hwrm_error_recovery_qcfg_output, max_bailout_time_after_reset, 28);
ZELT_WIRE_FIELD(hwrm_error_recovery_qcfg_output, fw_health_status_reg, 32);
ZELT_WIRE_FIELD(hwrm_error_recovery_qcfg_output, fw_reset_cnt_reg, 40);
ZELT_WIRE_FIELD(hwrm_error_recovery_qcfg_output, err_recovery_cnt_reg, 52);

// ---- hwrm_func_qcaps (0x0015) --------------------------------------------------------
struct hwrm_func_qcaps_input {
    hwrm_input_header hdr;
    uint16_t fid;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_func_qcaps_input, 24);
ZELT_WIRE_FIELD(hwrm_func_qcaps_input, fid, 16);

inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_ADMIN_PF = 0x00040000;
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_HOT_RESET_CAPABLE = 0x00400000;
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_ERR_RECOVER_RELOAD = 0x00800000;
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_CRASHDUMP_HOST_SUPPORTED = 0x20000000;
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_EXT_HOT_RESET_IF_SUPPORT = 0x00000008;
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_EXT_REBOOT_CAP_ENABLED = 0x00002000;
// The function's PTP hardware clock, and synchronous Ethernet.
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_PTP_SUPPORTED = 0x04000000;
inline constexpr uint32_t HWRM_FUNC_QCAPS_FLAGS_EXT_SYNCE_SUPPORTED = 0x00040000;

struct hwrm_func_qcaps_output {
    hwrm_output_header hdr;
    uint16_t fid;
    uint16_t port_id;
    uint32_t flags;
    uint8_t mac_address[6];
    uint16_t max_rsscos_ctx;
    uint16_t max_cmpl_rings;
    uint16_t max_tx_rings;
    uint16_t max_rx_rings;
    uint16_t max_l2_ctxs;
    uint16_t max_vnics;
    uint16_t first_vf_id;
    uint16_t max_vfs;
    uint16_t max_stat_ctx;
    uint32_t max_encap_records;
    uint32_t max_decap_records;
    uint32_t max_tx_em_flows;
    uint32_t max_tx_wm_flows;
    uint32_t max_rx_em_flows;
    uint32_t max_rx_wm_flows;
    uint32_t max_mcast_filters;
    uint32_t max_flow_id;
    uint32_t max_hw_ring_grps;
    uint16_t max_sp_tx_rings;
    uint8_t unused_0[2];
    uint32_t flags_ext;
    uint8_t unused_1[27];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_qcaps_output, 112);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, fid, 8);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, port_id, 10);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, flags, 12);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, mac_address, 16);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, first_vf_id, 34);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, max_vfs, 36);
ZELT_WIRE_FIELD(hwrm_func_qcaps_output, flags_ext, 80);

// ---- hwrm_func_qcfg (0x0016) ---------------------------------------------------------
struct hwrm_func_qcfg_input {
    hwrm_input_header hdr;
    uint16_t fid;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_func_qcfg_input, 24);
ZELT_WIRE_FIELD(hwrm_func_qcfg_input, fid, 16);

inline constexpr uint16_t HWRM_FUNC_QCFG_FLAGS_MULTI_HOST = 0x0020;
inline constexpr uint16_t HWRM_FUNC_QCFG_FLAGS_SECURE_MODE_ENABLED = 0x0080;
inline constexpr uint16_t HWRM_FUNC_QCFG_FLAGS_HOT_RESET_ALLOWED = 0x0200;
inline constexpr uint16_t HWRM_FUNC_QCFG_FLAGS_MULTI_ROOT = 0x2000;

struct hwrm_func_qcfg_output {
    hwrm_output_header hdr;
    uint16_t fid;
    uint16_t port_id;
    uint16_t vlan;
    uint16_t flags;
    uint8_t mac_address[6];
    uint16_t pci_id;
    uint16_t alloc_rsscos_ctx;
    uint16_t alloc_cmpl_rings;
    uint16_t alloc_tx_rings;
    uint16_t alloc_rx_rings;
    uint16_t alloc_l2_ctx;
    uint16_t alloc_vnics;
    uint16_t mtu;
    uint16_t mru;
    uint16_t stat_ctx_id;
    uint8_t port_partition_type;
    uint8_t port_pf_cnt;  // physical functions on this port
    uint16_t dflt_vnic_id;
    uint16_t max_mtu_configured;
    uint32_t min_bw;
    uint32_t max_bw;
    uint8_t evb_mode;
    uint8_t options;
    uint16_t alloc_vfs;
    uint32_t alloc_mcast_filters;
    uint32_t alloc_hw_ring_grps;
    uint16_t alloc_sp_tx_rings;
    uint16_t alloc_stat_ctx;
    uint16_t alloc_msix;
    uint16_t registered_vfs;  // VFs whose driver has registered with the firmware
    uint8_t unused_0[51];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_qcfg_output, 128);
ZELT_WIRE_FIELD(hwrm_func_qcfg_output, fid, 8);
ZELT_WIRE_FIELD(hwrm_func_qcfg_output, port_id, 10);
ZELT_WIRE_FIELD(hwrm_func_qcfg_output, flags, 14);
ZELT_WIRE_FIELD(hwrm_func_qcfg_output, mac_address, 16);
ZELT_WIRE_FIELD(hwrm_func_qcfg_output, port_pf_cnt, 43);
ZELT_WIRE_FIELD(hwrm_func_qcfg_output, registered_vfs, 74);

// ---- hwrm_port_phy_qcfg (0x0027) -----------------------------------------------------
// The firmware answers for the port of the function the message is addressed to;
// `port_id` is filled from hwrm_func_qcaps where the caller has it and is not used to
// pick another port.
struct hwrm_port_phy_qcfg_input {
    hwrm_input_header hdr;
    uint16_t port_id;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_port_phy_qcfg_input, 24);
ZELT_WIRE_FIELD(hwrm_port_phy_qcfg_input, port_id, 16);

struct hwrm_port_phy_qcfg_output {
    hwrm_output_header hdr;
    uint8_t link;
    uint8_t active_fec_signal_mode;
    uint16_t link_speed;  // units of 100 Mb/s
    uint8_t duplex_cfg;
    uint8_t pause;
    uint16_t support_speeds;
    uint16_t force_link_speed;
    uint8_t auto_mode;
    uint8_t auto_pause;
    uint16_t auto_link_speed;
    uint16_t auto_link_speed_mask;
    uint8_t wirespeed;
    uint8_t lpbk;
    uint8_t force_pause;
    uint8_t module_status;
    uint32_t preemphasis;
    uint8_t phy_maj;
    uint8_t phy_min;
    uint8_t phy_bld;
    uint8_t phy_type;
    uint8_t media_type;
    uint8_t xcvr_pkg_type;
    uint8_t eee_config_phy_addr;
    uint8_t parallel_detect;
    uint16_t link_partner_adv_speeds;
    uint8_t link_partner_adv_auto_mode;
    uint8_t link_partner_adv_pause;
    uint16_t adv_eee_link_speed_mask;
    uint16_t link_partner_adv_eee_link_speed_mask;
    uint32_t xcvr_identifier_type_tx_lpi_timer;
    uint16_t fec_cfg;
    uint8_t duplex_state;
    uint8_t option_flags;
    char phy_vendor_name[16];
    char phy_vendor_partnumber[16];
    uint16_t support_pam4_speeds;
    uint16_t force_pam4_link_speed;
    uint16_t auto_pam4_link_speed_mask;
    uint8_t link_partner_pam4_adv_speeds;
    uint8_t unused_0[8];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_phy_qcfg_output, 104);
ZELT_WIRE_FIELD(hwrm_port_phy_qcfg_output, link, 8);
ZELT_WIRE_FIELD(hwrm_port_phy_qcfg_output, active_fec_signal_mode, 9);
// active_fec_signal_mode: the signal mode in the low four bits (0 NRZ, 1 PAM4), the FEC above.
inline constexpr uint8_t HWRM_PORT_PHY_QCFG_SIGNAL_MODE_MASK = 0x0F;
inline constexpr uint8_t HWRM_PORT_PHY_QCFG_SIGNAL_MODE_PAM4 = 0x01;
ZELT_WIRE_FIELD(hwrm_port_phy_qcfg_output, link_speed, 10);
ZELT_WIRE_FIELD(hwrm_port_phy_qcfg_output, support_speeds, 14);
ZELT_WIRE_FIELD(hwrm_port_phy_qcfg_output, support_pam4_speeds, 88);

// ---- hwrm_fw_reset (0x00C0) ----------------------------------------------------------
inline constexpr uint8_t HWRM_FW_RESET_EMBEDDED_PROC_TYPE_BOOT = 0;
inline constexpr uint8_t HWRM_FW_RESET_EMBEDDED_PROC_TYPE_CHIP = 6;
inline constexpr uint8_t HWRM_FW_RESET_SELFRST_STATUS_SELFRSTASAP = 1;
inline constexpr uint8_t HWRM_FW_RESET_SELFRST_STATUS_SELFRSTPCIERST = 2;

struct hwrm_fw_reset_input {
    hwrm_input_header hdr;
    uint8_t embedded_proc_type;
    uint8_t selfrst_status;
    uint8_t host_idx;
    uint8_t flags;
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_fw_reset_input, 24);
ZELT_WIRE_FIELD(hwrm_fw_reset_input, embedded_proc_type, 16);
ZELT_WIRE_FIELD(hwrm_fw_reset_input, selfrst_status, 17);
ZELT_WIRE_FIELD(hwrm_fw_reset_input, host_idx, 18);
ZELT_WIRE_FIELD(hwrm_fw_reset_input, flags, 19);

struct hwrm_fw_reset_output {
    hwrm_output_header hdr;
    uint8_t selfrst_status;
    uint8_t unused_0[6];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_reset_output, 16);
ZELT_WIRE_FIELD(hwrm_fw_reset_output, selfrst_status, 8);

// ---- hwrm_fw_qstatus (0x00C1) --------------------------------------------------------
struct hwrm_fw_qstatus_input {
    hwrm_input_header hdr;
    uint8_t embedded_proc_type;
    uint8_t unused_0[7];
};
ZELT_HWRM_INPUT(hwrm_fw_qstatus_input, 24);
ZELT_WIRE_FIELD(hwrm_fw_qstatus_input, embedded_proc_type, 16);

struct hwrm_fw_qstatus_output {
    hwrm_output_header hdr;
    uint8_t selfrst_status;
    uint8_t nvm_option_action_status;  // 2 = reboot pending, 3 = cold boot pending
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_qstatus_output, 16);
ZELT_WIRE_FIELD(hwrm_fw_qstatus_output, selfrst_status, 8);
ZELT_WIRE_FIELD(hwrm_fw_qstatus_output, nvm_option_action_status, 9);

// ---- hwrm_fw_health_check (0x00C2) ---------------------------------------------------
struct hwrm_fw_health_check_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_fw_health_check_input, 16);

struct hwrm_fw_health_check_output {
    hwrm_output_header hdr;
    uint32_t fw_status;  // redundancy and synchronisation status bits
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_health_check_output, 16);
ZELT_WIRE_FIELD(hwrm_fw_health_check_output, fw_status, 8);

// ---- hwrm_fw_sync (0x00C3) -----------------------------------------------------------
inline constexpr uint32_t HWRM_FW_SYNC_ACTION_ALL = 0x8000007F;

struct hwrm_fw_sync_input {
    hwrm_input_header hdr;
    uint32_t sync_action;
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_fw_sync_input, 24);
ZELT_WIRE_FIELD(hwrm_fw_sync_input, sync_action, 16);

struct hwrm_fw_sync_output {
    hwrm_output_header hdr;
    uint32_t sync_status;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_sync_output, 16);
ZELT_WIRE_FIELD(hwrm_fw_sync_output, sync_status, 8);

// ---- hwrm_fw_set_time (0x00C8) -------------------------------------------------------
struct hwrm_fw_set_time_input {
    hwrm_input_header hdr;
    uint16_t year;   // e.g. 2024
    uint8_t month;   // 1..12
    uint8_t day;     // 1..31
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
    uint8_t unused_0;
    uint16_t millisecond;
    uint16_t zone;
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_fw_set_time_input, 32);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, year, 16);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, month, 18);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, day, 19);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, hour, 20);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, minute, 21);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, second, 22);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, millisecond, 24);
ZELT_WIRE_FIELD(hwrm_fw_set_time_input, zone, 26);

using hwrm_fw_set_time_output = hwrm_status_output;

// ---- hwrm_temp_monitor_query (0x00E0) ------------------------------------------------
struct hwrm_temp_monitor_query_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_temp_monitor_query_input, 16);

struct hwrm_temp_monitor_query_output {
    hwrm_output_header hdr;
    uint8_t temp;       // degrees Celsius
    uint8_t phy_temp;
    uint8_t om_temp;    // optical module
    uint8_t flags;
    uint8_t temp2;
    uint8_t phy_temp2;
    uint8_t om_temp2;
    uint8_t warn_threshold;
    uint8_t critical_threshold;
    uint8_t fatal_threshold;
    uint8_t shutdown_threshold;
    uint8_t unused_0[4];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_temp_monitor_query_output, 24);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, temp, 8);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, phy_temp, 9);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, om_temp, 10);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, flags, 11);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, temp2, 12);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, phy_temp2, 13);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, om_temp2, 14);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, warn_threshold, 15);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, critical_threshold, 16);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, fatal_threshold, 17);
ZELT_WIRE_FIELD(hwrm_temp_monitor_query_output, shutdown_threshold, 18);

// ---- hwrm_pcie_qstats (0x0204) -------------------------------------------------------
// The counters travel in a DMA buffer whose address the driver writes at offset 24.
inline constexpr uint16_t HWRM_PCIE_QSTATS_DMA_ADDR_OFFSET = 24;
inline constexpr uint16_t HWRM_PCIE_QSTATS_STAT_SIZE = 96;  // twelve 64-bit counters

struct hwrm_pcie_qstats_input {
    hwrm_input_header hdr;
    uint16_t pcie_stat_size;
    uint8_t unused_0[6];
    uint64_t pcie_stat_host_addr;
};
ZELT_HWRM_INPUT(hwrm_pcie_qstats_input, 32);
ZELT_WIRE_FIELD(hwrm_pcie_qstats_input, pcie_stat_size, 16);
ZELT_WIRE_FIELD(hwrm_pcie_qstats_input, pcie_stat_host_addr, 24);

struct hwrm_pcie_qstats_output {
    hwrm_output_header hdr;
    uint16_t pcie_stat_size;  // bytes of counters written
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_pcie_qstats_output, 16);
ZELT_WIRE_FIELD(hwrm_pcie_qstats_output, pcie_stat_size, 8);

// ---- hwrm_mfg_otp_qcfg (0x0208) ------------------------------------------------------
inline constexpr uint16_t HWRM_MFG_OTP_QCFG_ENABLES_ALL = 0x000F;

struct hwrm_mfg_otp_qcfg_input {
    hwrm_input_header hdr;
    uint16_t enables;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_mfg_otp_qcfg_input, 24);
ZELT_WIRE_FIELD(hwrm_mfg_otp_qcfg_input, enables, 16);

struct hwrm_mfg_otp_qcfg_output {
    hwrm_output_header hdr;
    uint16_t enc_device_type;
    uint16_t crid;
    uint16_t srt_rev_id;
    uint16_t crt_rev_id;
    uint16_t sbi_rev_id;
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_mfg_otp_qcfg_output, 24);
ZELT_WIRE_FIELD(hwrm_mfg_otp_qcfg_output, enc_device_type, 8);
ZELT_WIRE_FIELD(hwrm_mfg_otp_qcfg_output, crid, 10);
ZELT_WIRE_FIELD(hwrm_mfg_otp_qcfg_output, srt_rev_id, 12);
ZELT_WIRE_FIELD(hwrm_mfg_otp_qcfg_output, crt_rev_id, 14);
ZELT_WIRE_FIELD(hwrm_mfg_otp_qcfg_output, sbi_rev_id, 16);

// ---- hwrm_mfg_prvsn_get_state (0x0213) -----------------------------------------------
struct hwrm_mfg_prvsn_get_state_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_mfg_prvsn_get_state_input, 16);

struct hwrm_mfg_prvsn_get_state_output {
    hwrm_output_header hdr;
    uint8_t get_state_valid;
    uint8_t unused_0;
    uint16_t slot_status;
    uint8_t unused_1[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_mfg_prvsn_get_state_output, 16);
ZELT_WIRE_FIELD(hwrm_mfg_prvsn_get_state_output, get_state_valid, 8);
ZELT_WIRE_FIELD(hwrm_mfg_prvsn_get_state_output, slot_status, 10);

// ---- hwrm_mfg_get_nvm_measurement (0x0214) -------------------------------------------
struct hwrm_mfg_get_nvm_measurement_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_mfg_get_nvm_measurement_input, 16);

struct hwrm_mfg_get_nvm_measurement_output {
    hwrm_output_header hdr;
    uint8_t hash_state;
    uint8_t unused_0[3];
    uint32_t calc_time;
    uint8_t hash[32];
    uint8_t unused_1[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_mfg_get_nvm_measurement_output, 56);
ZELT_WIRE_FIELD(hwrm_mfg_get_nvm_measurement_output, hash_state, 8);
ZELT_WIRE_FIELD(hwrm_mfg_get_nvm_measurement_output, calc_time, 12);
ZELT_WIRE_FIELD(hwrm_mfg_get_nvm_measurement_output, hash, 16);

// ---- hwrm_dbg_read_direct (0xFF10) ---------------------------------------------------
struct hwrm_dbg_read_direct_input {
    hwrm_input_header hdr;
    uint64_t host_dest_addr;  // buffer of read_len32 words (device to host)
    uint32_t read_addr;       // firmware address of the register
    uint32_t read_len32;      // number of 32-bit words
};
ZELT_HWRM_INPUT(hwrm_dbg_read_direct_input, 32);
ZELT_WIRE_FIELD(hwrm_dbg_read_direct_input, host_dest_addr, 16);
ZELT_WIRE_FIELD(hwrm_dbg_read_direct_input, read_addr, 24);
ZELT_WIRE_FIELD(hwrm_dbg_read_direct_input, read_len32, 28);

struct hwrm_dbg_read_direct_output {
    hwrm_output_header hdr;
    uint32_t crc32;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_dbg_read_direct_output, 16);

// ---- hwrm_dbg_write_direct (0xFF12) --------------------------------------------------
struct hwrm_dbg_write_direct_input {
    hwrm_input_header hdr;
    uint32_t write_addr;
    uint32_t write_len32;
    uint32_t write_data[8];
};
ZELT_HWRM_INPUT(hwrm_dbg_write_direct_input, 56);
ZELT_WIRE_FIELD(hwrm_dbg_write_direct_input, write_addr, 16);
ZELT_WIRE_FIELD(hwrm_dbg_write_direct_input, write_len32, 20);
ZELT_WIRE_FIELD(hwrm_dbg_write_direct_input, write_data, 24);

using hwrm_dbg_write_direct_output = hwrm_status_output;

// Register addresses as the host names them, and their translation to the address the
// firmware's direct access uses: older chips see their register space at 0x4F000000,
// device types 8 and above at 0x80000000 (both modulo 2^32).
constexpr uint32_t hwrmDirectRegAddress(uint32_t addr, int device_type) {
    return device_type < 8 ? addr - 0x4F000000u : addr - 0x80000000u;
}

// ---- hwrm_dbg_qcaps (0xFF20) ---------------------------------------------------------
inline constexpr uint32_t HWRM_DBG_QCAPS_FLAGS_CRASHDUMP_HOST_DDR = 0x2;

struct hwrm_dbg_qcaps_input {
    hwrm_input_header hdr;
    uint16_t fid;
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_dbg_qcaps_input, 24);
ZELT_WIRE_FIELD(hwrm_dbg_qcaps_input, fid, 16);

struct hwrm_dbg_qcaps_output {
    hwrm_output_header hdr;
    uint16_t fid;
    uint8_t unused_0[2];
    uint32_t coredump_component_disable_caps;
    uint32_t flags;
    uint8_t unused_1[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_dbg_qcaps_output, 24);
ZELT_WIRE_FIELD(hwrm_dbg_qcaps_output, coredump_component_disable_caps, 12);
ZELT_WIRE_FIELD(hwrm_dbg_qcaps_output, flags, 16);

// ---- hwrm_dbg_crashdump_header (0xFF1D) ----------------------------------------------
// Asked only when hwrm_func_qcaps reports HWRM_FUNC_QCAPS_FLAGS_CRASHDUMP_HOST_SUPPORTED.
struct hwrm_dbg_crashdump_header_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_dbg_crashdump_header_input, 16);

struct hwrm_dbg_crashdump_header_output {
    hwrm_output_header hdr;
    uint32_t crash_time;  // seconds since the epoch of the last crash; 0 when none
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_dbg_crashdump_header_output, 16);
ZELT_WIRE_FIELD(hwrm_dbg_crashdump_header_output, crash_time, 8);

// ---- hwrm_nvm_get_dev_info (0xFFF6) --------------------------------------------------
struct hwrm_nvm_get_dev_info_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_nvm_get_dev_info_input, 16);

struct hwrm_nvm_get_dev_info_output {
    hwrm_output_header hdr;
    uint16_t manufacturer_id;
    uint16_t device_id;
    uint32_t sector_size;
    uint32_t nvram_size;
    uint32_t reserved_size;
    uint32_t available_size;
    uint8_t nvm_cfg_ver_maj;
    uint8_t nvm_cfg_ver_min;
    uint8_t nvm_cfg_ver_upd;
    uint8_t flags;
    uint8_t unused_0[47];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_get_dev_info_output, 80);
ZELT_WIRE_FIELD(hwrm_nvm_get_dev_info_output, nvram_size, 16);
ZELT_WIRE_FIELD(hwrm_nvm_get_dev_info_output, nvm_cfg_ver_maj, 28);
ZELT_WIRE_FIELD(hwrm_nvm_get_dev_info_output, nvm_cfg_ver_min, 29);
ZELT_WIRE_FIELD(hwrm_nvm_get_dev_info_output, nvm_cfg_ver_upd, 30);

}  // namespace zelt
