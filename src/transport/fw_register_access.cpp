// Direct register access through the firmware, and the error recovery counter.
#include "common/hvxretval.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "transport/mailbox.h"
#include "transport/pci_info.h"
#include "wire/hwrm_messages.h"

using namespace zelt;

using zelt::transport::exchange;
using zelt::transport::Function;
using zelt::transport::HwrmData;

namespace {

// One 32-bit word at firmware address `fw_addr`.
zelt::Result readDirect(const Function& fn, uint32_t fw_addr, uint32_t* value) {
    uint32_t word = 0;
    hwrm_dbg_read_direct_input req{};
    req.read_addr = cpu_to_le32(fw_addr);
    req.read_len32 = cpu_to_le32(1);
    hwrm_dbg_read_direct_output resp{};
    HwrmData data{&word, sizeof word, HWRM_DMA_ADDR_OFFSET, 1};
    zelt::Result rc = exchange(fn, HWRM_DBG_READ_DIRECT, req, resp, &data);
    if (rc.ok() && value) *value = le32_to_cpu(word);
    return rc;
}

}  // namespace

namespace zelt::transport {

zelt::Result zelt_read_direct_reg(const Function& fn, uint32_t addr, uint32_t* value, int device_type) {
    return readDirect(fn, hwrmDirectRegAddress(addr, device_type), value);
}

zelt::Result zelt_write_direct_reg(const Function& fn, uint32_t addr, uint32_t value, int device_type) {
    hwrm_dbg_write_direct_input req{};
    req.write_addr = cpu_to_le32(hwrmDirectRegAddress(addr, device_type));
    req.write_len32 = cpu_to_le32(1);
    req.write_data[0] = cpu_to_le32(value);
    hwrm_dbg_write_direct_output resp{};
    return exchange(fn, HWRM_DBG_WRITE_DIRECT, req, resp);
}

zelt::Result zeltnvm_read_counter_register(const Function& fn, uint32_t reg, int device_type, uint32_t* value) {
    if (device_type > 7)
        return fn.channel ? zeltnvm_read_fw_reg(fn.channel->host(), fn.address, value, reg)
                          : Result::tool(HVXRETVAL_INVALID_PARAMETER);
    return readDirect(fn, (reg & 0xFFFFFFFCu) - 0x4F000000u, value);
}

bool driver_fw_counter(const Function& fn, bool reset, uint32_t* value, Result& rc) {
    if (!fn.channel) return false;
    const ResultOr<FwCounters> counters = fn.channel->fw_counters(fn);
    if (counters.result().is(HVXRETVAL_UNSUPPORTED_OPERATION)) return false;
    rc = counters.result();
    if (counters.ok() && value) *value = reset ? counters->reset : counters->error_recovery;
    return true;
}

zelt::Result zelt_get_error_recovery_counter(const Function& fn, uint32_t* value, int device_type) {
    if (zelt::Result rc; driver_fw_counter(fn, false, value, rc)) return rc;
    if (device_type == 6) {
        hwrm_func_qcaps_input req{};
        req.fid = cpu_to_le16(HWRM_FID_SELF);
        hwrm_func_qcaps_output caps{};
        zelt::Result rc = exchange(fn, HWRM_FUNC_QCAPS, req, caps);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to get func_qcaps.\n");
            return rc;
        }
        if (!(le32_to_cpu(caps.flags) & HWRM_FUNC_QCAPS_FLAGS_ERR_RECOVER_RELOAD))
            return zelt::Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    hwrm_error_recovery_qcfg_input req{};
    hwrm_error_recovery_qcfg_output cfg{};
    zelt::Result rc = exchange(fn, HWRM_ERROR_RECOVERY_QCFG, req, cfg);
    if (!rc.ok()) return rc;
    const uint32_t reg = le32_to_cpu(cfg.err_recovery_cnt_reg);
    if (reg == 0) return zelt::Result::tool(9);
    return zeltnvm_read_counter_register(fn, reg, device_type, value);
}

}  // namespace zelt::transport
