#include "wire/hwrm_messages.h"

#include <array>
#include <utility>

#include "wire/hwrm_txfir.h"

namespace zelt {

namespace {

constexpr std::array<std::pair<uint16_t, std::string_view>, 68> kNames{{
    {HWRM_VER_GET, "hwrm_ver_get"},
    {HWRM_ERROR_RECOVERY_QCFG, "hwrm_error_recovery_qcfg"},
    {HWRM_FUNC_VF_CFG, "hwrm_func_vf_cfg"},
    {HWRM_FUNC_QCAPS, "hwrm_func_qcaps"},
    {HWRM_FUNC_QCFG, "hwrm_func_qcfg"},
    {HWRM_FUNC_CFG, "hwrm_func_cfg"},
    {HWRM_PORT_PHY_CFG, "hwrm_port_phy_cfg"},
    {HWRM_PORT_MAC_CFG, "hwrm_port_mac_cfg"},
    {HWRM_PORT_PHY_QCFG, "hwrm_port_phy_qcfg"},
    {HWRM_PORT_MAC_QCFG, "hwrm_port_mac_qcfg"},
    {HWRM_PORT_PHY_QCAPS, "hwrm_port_phy_qcaps"},
    {HWRM_VNIC_RSS_CFG, "hwrm_vnic_rss_cfg"},
    {HWRM_VNIC_RSS_QCFG, "hwrm_vnic_rss_qcfg"},
    {HWRM_CFA_L2_FILTER_ALLOC, "hwrm_cfa_l2_filter_alloc"},
    {HWRM_CFA_NTUPLE_FILTER_ALLOC, "hwrm_cfa_ntuple_filter_alloc"},
    {HWRM_CFA_NTUPLE_FILTER_FREE, "hwrm_cfa_ntuple_filter_free"},
    {HWRM_TUNNEL_DST_PORT_QUERY, "hwrm_tunnel_dst_port_query"},
    {HWRM_TUNNEL_DST_PORT_ALLOC, "hwrm_tunnel_dst_port_alloc"},
    {HWRM_TUNNEL_DST_PORT_FREE, "hwrm_tunnel_dst_port_free"},
    {HWRM_PORT_TX_FIR_CFG, "hwrm_port_tx_fir_cfg"},
    {HWRM_PORT_TX_FIR_QCFG, "hwrm_port_tx_fir_qcfg"},
    {HWRM_FW_LIVEPATCH_QUERY, "hwrm_fw_livepatch_query"},
    {HWRM_FW_LIVEPATCH, "hwrm_fw_livepatch"},
    {HWRM_FW_RESET, "hwrm_fw_reset"},
    {HWRM_FW_QSTATUS, "hwrm_fw_qstatus"},
    {HWRM_FW_HEALTH_CHECK, "hwrm_fw_health_check"},
    {HWRM_FW_SYNC, "hwrm_fw_sync"},
    {HWRM_FW_SET_TIME, "hwrm_fw_set_time"},
    {HWRM_FW_SET_STRUCTURED_DATA, "hwrm_fw_set_structured_data"},
    {HWRM_FW_GET_STRUCTURED_DATA, "hwrm_fw_get_structured_data"},
    {HWRM_PORT_PRBS_TEST, "hwrm_port_prbs_test"},
    {HWRM_PORT_DSC_DUMP, "hwrm_port_dsc_dump"},
    {HWRM_TEMP_MONITOR_QUERY, "hwrm_temp_monitor_query"},
    {HWRM_CFA_ADV_FLOW_MGNT_QCAPS, "hwrm_cfa_adv_flow_mgnt_qcaps"},
    {HWRM_FUNC_PTP_PIN_QCFG, "hwrm_func_ptp_pin_qcfg"},
    {HWRM_FUNC_PTP_PIN_CFG, "hwrm_func_ptp_pin_cfg"},
    {HWRM_FUNC_PTP_CFG, "hwrm_func_ptp_cfg"},
    {HWRM_FUNC_PTP_EXT_CFG, "hwrm_func_ptp_ext_cfg"},
    {HWRM_FUNC_PTP_EXT_QCFG, "hwrm_func_ptp_ext_qcfg"},
    {HWRM_FUNC_SYNCE_CFG, "hwrm_func_synce_cfg"},
    {HWRM_FUNC_SYNCE_QCFG, "hwrm_func_synce_qcfg"},
    {HWRM_SELFTEST_QLIST, "hwrm_selftest_qlist"},
    {HWRM_SELFTEST_RETRIEVE_SERDES_DATA, "hwrm_selftest_retrieve_serdes_data"},
    {HWRM_PCIE_QSTATS, "hwrm_pcie_qstats"},
    {HWRM_MFG_OTP_QCFG, "hwrm_mfg_otp_qcfg"},
    {HWRM_MFG_PRVSN_GET_STATE, "hwrm_mfg_prvsn_get_state"},
    {HWRM_MFG_GET_NVM_MEASUREMENT, "hwrm_mfg_get_nvm_measurement"},
    {HWRM_DBG_READ_DIRECT, "hwrm_dbg_read_direct"},
    {HWRM_DBG_WRITE_DIRECT, "hwrm_dbg_write_direct"},
    {HWRM_DBG_COREDUMP_LIST, "hwrm_dbg_coredump_list"},
    {HWRM_DBG_COREDUMP_INITIATE, "hwrm_dbg_coredump_initiate"},
    {HWRM_DBG_COREDUMP_RETRIEVE, "hwrm_dbg_coredump_retrieve"},
    {HWRM_DBG_CRASHDUMP_HEADER, "hwrm_dbg_crashdump_header"},
    {HWRM_DBG_QCAPS, "hwrm_dbg_qcaps"},
    {HWRM_NVM_DEFRAG, "hwrm_nvm_defrag"},
    {HWRM_NVM_FACTORY_DEFAULTS, "hwrm_nvm_factory_defaults"},
    {HWRM_NVM_FLUSH, "hwrm_nvm_flush"},
    {HWRM_NVM_GET_VARIABLE, "hwrm_nvm_get_variable"},
    {HWRM_NVM_SET_VARIABLE, "hwrm_nvm_set_variable"},
    {HWRM_NVM_INSTALL_UPDATE, "hwrm_nvm_install_update"},
    {HWRM_NVM_MODIFY, "hwrm_nvm_modify"},
    {HWRM_NVM_GET_DEV_INFO, "hwrm_nvm_get_dev_info"},
    {HWRM_NVM_FIND_DIR_ENTRY, "hwrm_nvm_find_dir_entry"},
    {HWRM_NVM_GET_DIR_ENTRIES, "hwrm_nvm_get_dir_entries"},
    {HWRM_NVM_GET_DIR_INFO, "hwrm_nvm_get_dir_info"},
    {HWRM_NVM_READ, "hwrm_nvm_read"},
    {HWRM_NVM_WRITE, "hwrm_nvm_write"},
    {HWRM_NVM_RAW_WRITE_BLK, "hwrm_nvm_raw_write_blk"},
}};

}  // namespace

std::string_view hwrmMessageName(uint16_t req_type) {
    for (const auto& [number, name] : kNames) {
        if (number == req_type) return name;
    }
    return {};
}

}  // namespace zelt
