#include "device/features/txfir.h"

#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"
#include "wire/hwrm_txfir.h"

namespace zelt::device {

namespace {

using transport::exchange;
using transport::Function;

uint8_t mod_type(Signalling s) {
    return s == Signalling::pam4 ? HWRM_PORT_TX_FIR_MOD_TYPE_PAM4 : HWRM_PORT_TX_FIR_MOD_TYPE_NRZ;
}

Result port_of(const Function& fn, uint16_t* port_id) {
    hwrm_func_qcaps_output caps{};
    const Result rc = transport::zeltnvm_get_func_qcaps(fn, &caps);
    if (rc.ok()) *port_id = le16_to_cpu(caps.port_id);
    return rc;
}

}  // namespace

Result zeltnvm_get_txfir_values(const Function& fn, Signalling signalling, uint8_t lane, TxFirValues* values) {
    uint16_t port_id = 0;
    Result rc = port_of(fn, &port_id);
    if (!rc.ok()) return rc;
    hwrm_port_tx_fir_qcfg_input req{};
    req.port_id = cpu_to_le16(port_id);
    req.mod_type = mod_type(signalling);
    req.lane_id = lane;
    hwrm_port_tx_fir_qcfg_output resp{};
    rc = exchange(fn, HWRM_PORT_TX_FIR_QCFG, req, resp);
    if (rc.ok()) {
        *values = {le32_to_cpu(resp.txfir_val_1), le32_to_cpu(resp.txfir_val_2), le32_to_cpu(resp.txfir_val_3),
                   le32_to_cpu(resp.txfir_val_4)};
    }
    return rc;
}

Result zeltnvm_set_txfir_values(const Function& fn, Signalling signalling, uint8_t lane_mask,
                                const TxFirValues& values) {
    uint16_t port_id = 0;
    Result rc = port_of(fn, &port_id);
    if (!rc.ok()) return rc;
    hwrm_port_tx_fir_cfg_input req{};
    req.port_id = cpu_to_le16(port_id);
    req.mod_type = mod_type(signalling);
    req.lane_mask = lane_mask;
    req.txfir_val_1 = cpu_to_le32(values[0]);
    req.txfir_val_2 = cpu_to_le32(values[1]);
    req.txfir_val_3 = cpu_to_le32(values[2]);
    req.txfir_val_4 = cpu_to_le32(values[3]);
    hwrm_port_tx_fir_cfg_output resp{};
    return exchange(fn, HWRM_PORT_TX_FIR_CFG, req, resp);
}

}  // namespace zelt::device
