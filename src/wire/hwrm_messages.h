// Message numbers (`req_type`) of the firmware messages the utility sends, their
// names, and the time-out the firmware channel grants each.
#pragma once

#include <cstdint>
#include <string_view>

namespace zelt {

enum hwrm_req_type : uint16_t {
    HWRM_VER_GET = 0x0000,
    HWRM_ERROR_RECOVERY_QCFG = 0x000C,
    HWRM_FUNC_VF_CFG = 0x000F,
    HWRM_FUNC_QCAPS = 0x0015,
    HWRM_FUNC_QCFG = 0x0016,
    HWRM_FUNC_CFG = 0x001A,
    HWRM_PORT_PHY_CFG = 0x0024,
    HWRM_PORT_MAC_CFG = 0x0025,
    HWRM_PORT_PHY_QCFG = 0x0027,
    HWRM_PORT_MAC_QCFG = 0x0028,
    HWRM_PORT_PHY_QCAPS = 0x002A,
    HWRM_VNIC_RSS_CFG = 0x0046,
    HWRM_VNIC_RSS_QCFG = 0x0047,
    HWRM_CFA_L2_FILTER_ALLOC = 0x0090,
    HWRM_CFA_NTUPLE_FILTER_ALLOC = 0x0099,
    HWRM_CFA_NTUPLE_FILTER_FREE = 0x009A,
    HWRM_TUNNEL_DST_PORT_QUERY = 0x00A0,
    HWRM_TUNNEL_DST_PORT_ALLOC = 0x00A1,
    HWRM_TUNNEL_DST_PORT_FREE = 0x00A2,
    HWRM_PORT_TX_FIR_QCFG = 0x00BC,
    HWRM_FW_LIVEPATCH_QUERY = 0x00BE,
    HWRM_FW_LIVEPATCH = 0x00BF,
    HWRM_FW_RESET = 0x00C0,
    HWRM_FW_QSTATUS = 0x00C1,
    HWRM_FW_HEALTH_CHECK = 0x00C2,
    HWRM_FW_SYNC = 0x00C3,
    HWRM_FW_SET_TIME = 0x00C8,
    HWRM_FW_SET_STRUCTURED_DATA = 0x00CA,
    HWRM_FW_GET_STRUCTURED_DATA = 0x00CB,
    HWRM_PORT_PRBS_TEST = 0x00D5,
    HWRM_PORT_DSC_DUMP = 0x00D9,
    HWRM_TEMP_MONITOR_QUERY = 0x00E0,
    HWRM_CFA_ADV_FLOW_MGNT_QCAPS = 0x0124,
    HWRM_FUNC_PTP_PIN_QCFG = 0x019C,
    HWRM_FUNC_PTP_PIN_CFG = 0x019D,
    HWRM_FUNC_PTP_CFG = 0x019E,
    HWRM_FUNC_PTP_EXT_CFG = 0x01A0,
    HWRM_FUNC_PTP_EXT_QCFG = 0x01A1,
    HWRM_FUNC_SYNCE_CFG = 0x01AB,
    HWRM_FUNC_SYNCE_QCFG = 0x01AC,
    HWRM_SELFTEST_QLIST = 0x0200,
    HWRM_SELFTEST_RETRIEVE_SERDES_DATA = 0x0203,
    HWRM_PCIE_QSTATS = 0x0204,
    HWRM_MFG_OTP_QCFG = 0x0208,
    HWRM_MFG_PRVSN_GET_STATE = 0x0213,
    HWRM_MFG_GET_NVM_MEASUREMENT = 0x0214,
    HWRM_DBG_READ_DIRECT = 0xFF10,
    HWRM_DBG_WRITE_DIRECT = 0xFF12,
    HWRM_DBG_COREDUMP_LIST = 0xFF17,
    HWRM_DBG_COREDUMP_INITIATE = 0xFF18,
    HWRM_DBG_COREDUMP_RETRIEVE = 0xFF19,
    HWRM_DBG_CRASHDUMP_HEADER = 0xFF1D,
    HWRM_DBG_QCAPS = 0xFF20,
    HWRM_NVM_DEFRAG = 0xFFEC,
    HWRM_NVM_FACTORY_DEFAULTS = 0xFFEE,
    HWRM_NVM_FLUSH = 0xFFF0,
    HWRM_NVM_GET_VARIABLE = 0xFFF1,
    HWRM_NVM_SET_VARIABLE = 0xFFF2,
    HWRM_NVM_INSTALL_UPDATE = 0xFFF3,
    HWRM_NVM_MODIFY = 0xFFF4,
    HWRM_NVM_GET_DEV_INFO = 0xFFF6,
    HWRM_NVM_FIND_DIR_ENTRY = 0xFFF9,
    HWRM_NVM_GET_DIR_ENTRIES = 0xFFFA,
    HWRM_NVM_GET_DIR_INFO = 0xFFFB,
    HWRM_NVM_READ = 0xFFFD,
    HWRM_NVM_WRITE = 0xFFFE,
    HWRM_NVM_RAW_WRITE_BLK = 0xFFFF,
};

// The message's name ("hwrm_ver_get"), or an empty view for a number not listed above.
std::string_view hwrmMessageName(uint16_t req_type);

// Milliseconds the firmware channel waits for the answer to a message: long-running
// dumps, defragmentation, eye data and installation get more than the default.
constexpr uint32_t HWRM_DEFAULT_TIMEOUT_MS = 12000;
constexpr uint32_t hwrmMessageTimeoutMs(uint16_t req_type) {
    switch (req_type) {
        case HWRM_PORT_DSC_DUMP: return 180000;
        case HWRM_NVM_DEFRAG: return 150000;
        case HWRM_SELFTEST_RETRIEVE_SERDES_DATA: return 45000;
        case HWRM_NVM_INSTALL_UPDATE: return 100000;
        default: return HWRM_DEFAULT_TIMEOUT_MS;
    }
}

}  // namespace zelt
