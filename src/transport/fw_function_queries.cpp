// Operations built on hwrm_func_qcaps, hwrm_func_qcfg and hwrm_port_phy_qcfg.
#include <cstring>

#include "common/hvxretval.h"
#include "transport/answer_text.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"

using namespace zelt;

using zelt::transport::exchange;
using zelt::transport::Function;

namespace {

zelt::Result funcQcaps(const Function& fn, hwrm_func_qcaps_output& resp) {
    hwrm_func_qcaps_input req{};
    req.fid = cpu_to_le16(HWRM_FID_SELF);
    return exchange(fn, HWRM_FUNC_QCAPS, req, resp);
}

zelt::Result funcQcfg(const Function& fn, hwrm_func_qcfg_output& resp) {
    hwrm_func_qcfg_input req{};
    req.fid = cpu_to_le16(HWRM_FID_SELF);
    return exchange(fn, HWRM_FUNC_QCFG, req, resp);
}

zelt::Result portPhyQcfg(const Function& fn, uint16_t port_id, hwrm_port_phy_qcfg_output& resp) {
    hwrm_port_phy_qcfg_input req{};
    req.port_id = cpu_to_le16(port_id);
    return exchange(fn, HWRM_PORT_PHY_QCFG, req, resp);
}

// The function's port configuration, addressed by the port hwrm_func_qcaps reports.
zelt::Result portOfFunction(const Function& fn, hwrm_port_phy_qcfg_output& phy) {
    hwrm_func_qcaps_output caps{};
    zelt::Result rc = funcQcaps(fn, caps);
    if (!rc.ok()) return rc;
    return portPhyQcfg(fn, le16_to_cpu(caps.port_id), phy);
}

}  // namespace

namespace zelt::transport {

zelt::Result zelt_query_admin_pf_status(const Function& fn,
                                   int* admin) {
    if (zelt::Result refused = platform_offers(fn, PlatformOperation::kAdminPfQuery); !refused.ok()) return refused;
    hwrm_func_qcaps_output resp{};
    zelt::Result rc = funcQcaps(fn, resp);
    if (!rc.ok()) return rc;
    if (admin) *admin = (le32_to_cpu(resp.flags) & HWRM_FUNC_QCAPS_FLAGS_ADMIN_PF) ? 1 : 0;
    return zelt::Result();
}

zelt::Result zeltnvm_query_reboot_capability_enabled(const Function& fn, int* cap) {
    hwrm_func_qcaps_output resp{};
    zelt::Result rc = funcQcaps(fn, resp);
    if (!rc.ok()) return rc;
    if (cap) *cap = (le32_to_cpu(resp.flags_ext) & HWRM_FUNC_QCAPS_FLAGS_EXT_REBOOT_CAP_ENABLED) ? 1 : 0;
    return zelt::Result();
}

zelt::Result zeltnvm_get_func_qcaps(const Function& fn, hwrm_func_qcaps_output* buf) {
    hwrm_func_qcaps_output resp{};
    zelt::Result rc = funcQcaps(fn, resp);
    if (rc.ok() && buf) *buf = resp;
    return rc;
}

zelt::Result zelt_get_pf_start_vf_id(const Function& fn, uint16_t* first) {
    hwrm_func_qcaps_output resp{};
    zelt::Result rc = funcQcaps(fn, resp);
    if (rc.ok() && first) *first = le16_to_cpu(resp.first_vf_id);
    return rc;
}

zelt::Result zeltnvm_get_supported_speeds(const Function& fn, uint16_t* speeds, uint16_t* pam4_speeds) {
    hwrm_port_phy_qcfg_output phy{};
    zelt::Result rc = portOfFunction(fn, phy);
    if (!rc.ok()) return rc;
    if (speeds) *speeds = le16_to_cpu(phy.support_speeds);
    if (pam4_speeds) *pam4_speeds = le16_to_cpu(phy.support_pam4_speeds);
    return zelt::Result();
}

zelt::Result zeltnvm_get_active_fec_signal_mode(const Function& fn, uint8_t* mode) {
    if (zelt::Result refused = platform_offers(fn, PlatformOperation::kFecSignalMode); !refused.ok()) return refused;
    hwrm_port_phy_qcfg_output phy{};
    zelt::Result rc = portOfFunction(fn, phy);
    if (rc.ok() && mode) *mode = phy.active_fec_signal_mode;
    return rc;
}

zelt::Result zelt_get_link_speed(const Function& fn,
                            double* line_rate, uint16_t* speed) {
    hwrm_port_phy_qcfg_output phy{};
    zelt::Result rc = portPhyQcfg(fn, 0, phy);
    if (!rc.ok()) return rc;
    const uint16_t link_speed = le16_to_cpu(phy.link_speed);
    if (speed) *speed = link_speed;
    double rate;
    if (line_rate && zeltLineRateForSpeed(link_speed, rate)) *line_rate = rate;
    return zelt::Result();
}

zelt::Result zelt_nvm_get_reg_vf_count(const Function& fn,
                                  uint16_t* vfs) {
    hwrm_func_qcfg_output resp{};
    zelt::Result rc = funcQcfg(fn, resp);
    if (rc.ok() && vfs) *vfs = le16_to_cpu(resp.registered_vfs);
    return rc;
}

zelt::Result zelt_query_host_type(const Function& fn, int* multi_host, int* multi_root) {
    hwrm_func_qcfg_output resp{};
    zelt::Result rc = funcQcfg(fn, resp);
    if (!rc.ok()) return rc;
    const uint16_t flags = le16_to_cpu(resp.flags);
    if (multi_host && (flags & HWRM_FUNC_QCFG_FLAGS_MULTI_HOST)) *multi_host = 1;
    if (multi_root && (flags & HWRM_FUNC_QCFG_FLAGS_MULTI_ROOT)) *multi_root = 1;
    return zelt::Result();
}

zelt::Result zelt_get_port_pf_count(const Function& fn, int* count) {
    hwrm_func_qcfg_output resp{};
    if (!funcQcfg(fn, resp).ok()) return zelt::Result::tool(HVXRETVAL_FAILURE);
    if (count) *count = resp.port_pf_cnt;
    return zelt::Result();
}

zelt::Result zelt_query_device_secure_mode(const Function& fn, int* secure_mode) {
    hwrm_func_qcfg_output resp{};
    zelt::Result rc = funcQcfg(fn, resp);
    if (!rc.ok()) return rc;
    if (secure_mode) *secure_mode = (le16_to_cpu(resp.flags) & HWRM_FUNC_QCFG_FLAGS_SECURE_MODE_ENABLED) ? 1 : 0;
    return zelt::Result();
}

zelt::Result zelt_nvm_get_permanent_mac(const Function& fn,
                                   uint8_t mac[6]) {
    hwrm_func_qcfg_output resp{};
    zelt::Result rc = funcQcfg(fn, resp);
    if (rc.ok() && mac) std::memcpy(mac, resp.mac_address, sizeof resp.mac_address);
    return rc;
}

}  // namespace zelt::transport
