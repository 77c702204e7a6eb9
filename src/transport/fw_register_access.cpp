// Direct register access through the firmware, and the error recovery counter.
#include "common/hvxretval.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "transport/mailbox.h"
#include "transport/pci_info.h"
#include "wire/hwrm_messages.h"

using zelt::transport::exchange;
using zelt::transport::HwrmData;
using zelt::transport::PciFunctionAddress;
using zelt::transport::resolveAddress;

namespace {

// One 32-bit word at firmware address `fw_addr`.
int32_t readDirect(const char* dev, const PciFunctionAddress& addr, uint32_t fw_addr, uint32_t* value) {
    uint32_t word = 0;
    hwrm_dbg_read_direct_input req{};
    req.read_addr = cpu_to_le32(fw_addr);
    req.read_len32 = cpu_to_le32(1);
    hwrm_dbg_read_direct_output resp{};
    HwrmData data{&word, sizeof word, HWRM_DMA_ADDR_OFFSET, 1};
    int32_t rc = exchange(dev, addr, HWRM_DBG_READ_DIRECT, req, resp, &data);
    if (rc == 0 && value) *value = le32_to_cpu(word);
    return rc;
}

}  // namespace

int32_t zelt_read_direct_reg(const char* dev, uint32_t addr, uint32_t* value, int device_type) {
    PciFunctionAddress pci;
    int32_t rc = resolveAddress(dev, pci);
    if (rc != 0) return rc;
    return readDirect(dev, pci, hwrmDirectRegAddress(addr, device_type), value);
}

int32_t zelt_write_direct_reg(const char* dev, uint32_t addr, uint32_t value, int device_type) {
    PciFunctionAddress pci;
    int32_t rc = resolveAddress(dev, pci);
    if (rc != 0) return rc;
    hwrm_dbg_write_direct_input req{};
    req.write_addr = cpu_to_le32(hwrmDirectRegAddress(addr, device_type));
    req.write_len32 = cpu_to_le32(1);
    req.write_data[0] = cpu_to_le32(value);
    hwrm_dbg_write_direct_output resp{};
    return exchange(dev, pci, HWRM_DBG_WRITE_DIRECT, req, resp);
}

int32_t zeltnvm_read_counter_register(const char* dev, uint32_t domain, uint32_t bus, uint32_t device,
                                      uint32_t function, uint32_t reg, int device_type, uint32_t* value) {
    if (device_type > 7) return zeltnvm_read_fw_reg(domain, bus, device, function, value, reg);
    return readDirect(dev, PciFunctionAddress{domain, bus, device, function}, (reg & 0xFFFFFFFCu) - 0x4F000000u, value);
}

int32_t zelt_get_error_recovery_counter(const char* dev, uint32_t domain, uint32_t bus, uint32_t device,
                                        uint32_t function, uint32_t* value, int device_type) {
    PciFunctionAddress addr{domain, bus, device, function};
    if (device_type == 6) {
        hwrm_func_qcaps_input req{};
        req.fid = cpu_to_le16(HWRM_FID_SELF);
        hwrm_func_qcaps_output caps{};
        int32_t rc = exchange(dev, addr, HWRM_FUNC_QCAPS, req, caps);
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to get func_qcaps.\n");
            return rc;
        }
        if (!(le32_to_cpu(caps.flags) & HWRM_FUNC_QCAPS_FLAGS_ERR_RECOVER_RELOAD))
            return HVXRETVAL_UNSUPPORTED_OPERATION;
    }
    hwrm_error_recovery_qcfg_input req{};
    hwrm_error_recovery_qcfg_output cfg{};
    int32_t rc = exchange(dev, addr, HWRM_ERROR_RECOVERY_QCFG, req, cfg);
    if (rc != 0) return rc;
    const uint32_t reg = le32_to_cpu(cfg.err_recovery_cnt_reg);
    if (reg == 0) return 9;
    return zeltnvm_read_counter_register(dev, domain, bus, device, function, reg, device_type, value);
}
