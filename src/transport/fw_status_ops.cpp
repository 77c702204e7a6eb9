// Status, time, health, synchronisation, temperature, PCIe counters and the NVM
// device, manufacturing and debug queries.
#include <sys/time.h>

#include <cstring>
#include <ctime>

#include "common/hvxretval.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"

using namespace zelt;

using zelt::transport::exchange;
using zelt::transport::Function;
using zelt::transport::HwrmData;

namespace {

// A message without body fields whose whole answer goes to the caller.
template <class In, class Out>
zelt::Result wholeAnswer(const Function& fn, uint16_t req_type, Out* buf) {
    In req{};
    Out resp{};
    zelt::Result rc = exchange(fn, req_type, req, resp);
    if (rc.ok() && buf) *buf = resp;
    return rc;
}

zelt::Result healthCheck(const Function& fn, uint32_t* fw_status) {
    hwrm_fw_health_check_input req{};
    hwrm_fw_health_check_output resp{};
    zelt::Result rc = exchange(fn, HWRM_FW_HEALTH_CHECK, req, resp);
    if (rc.ok() && fw_status) *fw_status = le32_to_cpu(resp.fw_status);
    return rc;
}

}  // namespace

namespace zelt::transport {

zelt::Result zeltnvmFwQueryStatus(const Function& fn, uint8_t type, int option_query, uint8_t* status) {
    hwrm_fw_qstatus_input req{};
    req.embedded_proc_type = type;
    hwrm_fw_qstatus_output resp{};
    zelt::Result rc = exchange(fn, HWRM_FW_QSTATUS, req, resp);
    if (rc.ok() && status) *status = option_query ? resp.nvm_option_action_status : resp.selfrst_status;
    return rc;
}

zelt::Result zeltnvm_set_fw_time(const Function& fn) {
    if (!fn.channel) return zelt::Result::tool(HVXRETVAL_INVALID_PARAMETER);
    auto& host = fn.channel->host();
    struct timeval now = host.now();
    struct tm local = host.local_time(now.tv_sec);
    hwrm_fw_set_time_input req{};
    req.year = cpu_to_le16(static_cast<uint16_t>(local.tm_year + 1900));
    req.month = static_cast<uint8_t>(local.tm_mon + 1);
    req.day = static_cast<uint8_t>(local.tm_mday);
    req.hour = static_cast<uint8_t>(local.tm_hour);
    req.minute = static_cast<uint8_t>(local.tm_min);
    req.second = static_cast<uint8_t>(local.tm_sec);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s:utc_bias = %d\n", "zeltnvm_set_fw_time",
                  static_cast<int>(local.tm_gmtoff / 60));
    hwrm_fw_set_time_output resp{};
    return exchange(fn, HWRM_FW_SET_TIME, req, resp);
}

zelt::Result zeltnvm_nvm_redundancy_health_check(const Function& fn, uint32_t* fw_status) { return healthCheck(fn, fw_status); }

zelt::Result zelt_check_sync_status(const Function& fn, uint32_t* fw_status) { return healthCheck(fn, fw_status); }

zelt::Result zelt_sync_fw(const Function& fn, uint32_t* sync_status) {
    hwrm_fw_sync_input req{};
    req.sync_action = cpu_to_le32(HWRM_FW_SYNC_ACTION_ALL);
    hwrm_fw_sync_output resp{};
    zelt::Result rc = exchange(fn, HWRM_FW_SYNC, req, resp);
    if (!rc.ok()) return rc;
    const uint32_t status = le32_to_cpu(resp.sync_status);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FW sync status : 0x%x\n", status);
    if (sync_status) *sync_status = status;
    return zelt::Result();
}

zelt::Result zeltnvmDeviceTemperature(const Function& fn,
                                 hwrm_temp_monitor_query_output* buf) {
    hwrm_temp_monitor_query_input req{};
    hwrm_temp_monitor_query_output resp{};
    zelt::Result rc = exchange(fn, HWRM_TEMP_MONITOR_QUERY, req, resp);
    if (rc.ok() && buf) *buf = resp;
    return rc;
}

zelt::Result zeltnvm_pcie_counters(const Function& fn,
                              uint32_t* count, uint64_t counters[ZELT_PCIE_COUNTER_COUNT], int verbose) {
    uint64_t stats[ZELT_PCIE_COUNTER_COUNT] = {};
    static_assert(sizeof stats == HWRM_PCIE_QSTATS_STAT_SIZE);
    hwrm_pcie_qstats_input req{};
    req.pcie_stat_size = cpu_to_le16(HWRM_PCIE_QSTATS_STAT_SIZE);
    hwrm_pcie_qstats_output resp{};
    HwrmData data{stats, sizeof stats, HWRM_PCIE_QSTATS_DMA_ADDR_OFFSET, 1};
    zelt::Result rc = exchange(fn, HWRM_PCIE_QSTATS, req, resp, &data);
    if (!rc.ok()) {
        if (verbose)
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s:hwrm_pcie_qstats command failed with status %d\n",
                          "zeltnvm_pcie_counters", rc.code());
        return rc;
    }
    if (count) *count = le16_to_cpu(resp.pcie_stat_size) / 4;
    if (counters) std::memcpy(counters, stats, sizeof stats);
    return zelt::Result();
}

zelt::Result zeltnvm_get_active_cfg_version(const Function& fn, uint8_t ver[3]) {
    hwrm_nvm_get_dev_info_input req{};
    hwrm_nvm_get_dev_info_output resp{};
    zelt::Result rc = exchange(fn, HWRM_NVM_GET_DEV_INFO, req, resp);
    if (rc.ok() && ver) {
        ver[0] = resp.nvm_cfg_ver_maj;
        ver[1] = resp.nvm_cfg_ver_min;
        ver[2] = resp.nvm_cfg_ver_upd;
    }
    return rc;
}

zelt::Result zeltnvm_get_nvm_space(const Function& fn, uint32_t* nvram_size, uint32_t* available) {
    hwrm_nvm_get_dev_info_input req{};
    hwrm_nvm_get_dev_info_output resp{};
    zelt::Result rc = exchange(fn, HWRM_NVM_GET_DEV_INFO, req, resp);
    if (rc.ok()) {
        if (nvram_size) *nvram_size = le32_to_cpu(resp.nvram_size);
        if (available) *available = le32_to_cpu(resp.available_size);
    }
    return rc;
}

zelt::Result zeltnvm_query_mfg_otp_details(const Function& fn, hwrm_mfg_otp_qcfg_output* buf) {
    hwrm_mfg_otp_qcfg_input req{};
    req.enables = cpu_to_le16(HWRM_MFG_OTP_QCFG_ENABLES_ALL);
    hwrm_mfg_otp_qcfg_output resp{};
    zelt::Result rc = exchange(fn, HWRM_MFG_OTP_QCFG, req, resp);
    if (rc.ok() && buf) *buf = resp;
    return rc;
}

zelt::Result zeltnvm_get_cert_provision_state(const Function& fn, hwrm_mfg_prvsn_get_state_output* buf) {
    return wholeAnswer<hwrm_mfg_prvsn_get_state_input>(fn, HWRM_MFG_PRVSN_GET_STATE, buf);
}

zelt::Result zeltnvm_get_nvm_measurement(const Function& fn, hwrm_mfg_get_nvm_measurement_output* buf) {
    return wholeAnswer<hwrm_mfg_get_nvm_measurement_input>(fn, HWRM_MFG_GET_NVM_MEASUREMENT, buf);
}

zelt::Result zeltnvm_query_dbg_qcaps(const Function& fn, hwrm_dbg_qcaps_output* buf) {
    hwrm_dbg_qcaps_input req{};
    req.fid = cpu_to_le16(HWRM_FID_SELF);
    hwrm_dbg_qcaps_output resp{};
    zelt::Result rc = exchange(fn, HWRM_DBG_QCAPS, req, resp);
    if (rc.ok() && buf) *buf = resp;
    return rc;
}

}  // namespace zelt::transport
