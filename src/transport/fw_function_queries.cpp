// Operations built on hwrm_func_qcaps, hwrm_func_qcfg and hwrm_port_phy_qcfg.
#include <cstring>

#include "common/hvxretval.h"
#include "transport/answer_text.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"

using zelt::transport::exchange;
using zelt::transport::exchangeByName;
using zelt::transport::PciFunctionAddress;

namespace {

int32_t funcQcaps(const char* dev, const PciFunctionAddress* addr, hwrm_func_qcaps_output& resp) {
    hwrm_func_qcaps_input req{};
    req.fid = cpu_to_le16(HWRM_FID_SELF);
    return addr ? exchange(dev, *addr, HWRM_FUNC_QCAPS, req, resp) : exchangeByName(dev, HWRM_FUNC_QCAPS, req, resp);
}

int32_t funcQcfg(const char* dev, const PciFunctionAddress* addr, hwrm_func_qcfg_output& resp) {
    hwrm_func_qcfg_input req{};
    req.fid = cpu_to_le16(HWRM_FID_SELF);
    return addr ? exchange(dev, *addr, HWRM_FUNC_QCFG, req, resp) : exchangeByName(dev, HWRM_FUNC_QCFG, req, resp);
}

int32_t portPhyQcfg(const char* dev, const PciFunctionAddress* addr, uint16_t port_id, hwrm_port_phy_qcfg_output& resp) {
    hwrm_port_phy_qcfg_input req{};
    req.port_id = cpu_to_le16(port_id);
    return addr ? exchange(dev, *addr, HWRM_PORT_PHY_QCFG, req, resp)
                : exchangeByName(dev, HWRM_PORT_PHY_QCFG, req, resp);
}

// The function's port configuration, addressed by the port hwrm_func_qcaps reports.
int32_t portOfFunction(const char* dev, hwrm_port_phy_qcfg_output& phy) {
    hwrm_func_qcaps_output caps{};
    int32_t rc = funcQcaps(dev, nullptr, caps);
    if (rc != 0) return rc;
    return portPhyQcfg(dev, nullptr, le16_to_cpu(caps.port_id), phy);
}

}  // namespace

int32_t zelt_query_admin_pf_status(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                                   int* admin) {
    PciFunctionAddress addr{domain, bus, device, function};
    hwrm_func_qcaps_output resp{};
    int32_t rc = funcQcaps(dev, &addr, resp);
    if (rc != 0) return rc;
    if (admin) *admin = (le32_to_cpu(resp.flags) & HWRM_FUNC_QCAPS_FLAGS_ADMIN_PF) ? 1 : 0;
    return 0;
}

int32_t zeltnvm_query_reboot_capability_enabled(const char* dev, int* cap) {
    hwrm_func_qcaps_output resp{};
    int32_t rc = funcQcaps(dev, nullptr, resp);
    if (rc != 0) return rc;
    if (cap) *cap = (le32_to_cpu(resp.flags_ext) & HWRM_FUNC_QCAPS_FLAGS_EXT_REBOOT_CAP_ENABLED) ? 1 : 0;
    return 0;
}

int32_t zeltnvm_get_func_qcaps(const char* dev, hwrm_func_qcaps_output* buf) {
    hwrm_func_qcaps_output resp{};
    int32_t rc = funcQcaps(dev, nullptr, resp);
    if (rc == 0 && buf) *buf = resp;
    return rc;
}

int32_t zelt_get_pf_start_vf_id(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, uint16_t* first) {
    PciFunctionAddress addr{domain, bus, device, function};
    hwrm_func_qcaps_output resp{};
    int32_t rc = funcQcaps("", &addr, resp);
    if (rc == 0 && first) *first = le16_to_cpu(resp.first_vf_id);
    return rc;
}

int32_t zeltnvm_get_supported_speeds(const char* dev, uint16_t* speeds, uint16_t* pam4_speeds) {
    hwrm_port_phy_qcfg_output phy{};
    int32_t rc = portOfFunction(dev, phy);
    if (rc != 0) return rc;
    if (speeds) *speeds = le16_to_cpu(phy.support_speeds);
    if (pam4_speeds) *pam4_speeds = le16_to_cpu(phy.support_pam4_speeds);
    return 0;
}

int32_t zeltnvm_get_active_fec_signal_mode(const char* dev, uint8_t* mode) {
    hwrm_port_phy_qcfg_output phy{};
    int32_t rc = portOfFunction(dev, phy);
    if (rc == 0 && mode) *mode = phy.active_fec_signal_mode;
    return rc;
}

int32_t zelt_get_link_speed(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                            double* line_rate, uint16_t* speed) {
    PciFunctionAddress addr{domain, bus, device, function};
    hwrm_port_phy_qcfg_output phy{};
    int32_t rc = portPhyQcfg(dev, &addr, 0, phy);
    if (rc != 0) return rc;
    const uint16_t link_speed = le16_to_cpu(phy.link_speed);
    if (speed) *speed = link_speed;
    double rate;
    if (line_rate && zeltLineRateForSpeed(link_speed, rate)) *line_rate = rate;
    return 0;
}

int32_t zelt_nvm_get_reg_vf_count(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                                  uint16_t* vfs) {
    PciFunctionAddress addr{domain, bus, device, function};
    hwrm_func_qcfg_output resp{};
    int32_t rc = funcQcfg(dev, &addr, resp);
    if (rc == 0 && vfs) *vfs = le16_to_cpu(resp.registered_vfs);
    return rc;
}

int32_t zelt_query_host_type(const char* dev, int* multi_host, int* multi_root) {
    hwrm_func_qcfg_output resp{};
    int32_t rc = funcQcfg(dev, nullptr, resp);
    if (rc != 0) return rc;
    const uint16_t flags = le16_to_cpu(resp.flags);
    if (multi_host && (flags & HWRM_FUNC_QCFG_FLAGS_MULTI_HOST)) *multi_host = 1;
    if (multi_root && (flags & HWRM_FUNC_QCFG_FLAGS_MULTI_ROOT)) *multi_root = 1;
    return 0;
}

int32_t zelt_get_port_pf_count(const char* dev, int* count) {
    hwrm_func_qcfg_output resp{};
    if (funcQcfg(dev, nullptr, resp) != 0) return HVXRETVAL_FAILURE;
    if (count) *count = resp.port_pf_cnt;
    return 0;
}

int32_t zelt_query_device_secure_mode(const char* dev, int* secure_mode) {
    hwrm_func_qcfg_output resp{};
    int32_t rc = funcQcfg(dev, nullptr, resp);
    if (rc != 0) return rc;
    if (secure_mode) *secure_mode = (le16_to_cpu(resp.flags) & HWRM_FUNC_QCFG_FLAGS_SECURE_MODE_ENABLED) ? 1 : 0;
    return 0;
}

int32_t zelt_nvm_get_permanent_mac(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                                   uint8_t mac[6]) {
    PciFunctionAddress addr{domain, bus, device, function};
    hwrm_func_qcfg_output resp{};
    int32_t rc = funcQcfg(dev, &addr, resp);
    if (rc == 0 && mac) std::memcpy(mac, resp.mac_address, sizeof resp.mac_address);
    return rc;
}
