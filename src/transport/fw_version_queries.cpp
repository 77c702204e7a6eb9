// Operations built on hwrm_ver_get.
#include <algorithm>
#include <cstring>

#include "common/hvxretval.h"
#include "log/print.h"
#include "transport/answer_text.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"

using namespace zelt;

using zelt::transport::exchange;
using zelt::transport::Function;

namespace {

hwrm_ver_get_input versionRequest() {
    hwrm_ver_get_input req{};
    req.hwrm_intf_maj = HWRM_INTF_MAJ;
    req.hwrm_intf_min = HWRM_INTF_MIN;
    req.hwrm_intf_upd = HWRM_INTF_UPD;
    return req;
}

}  // namespace

namespace zelt::transport {

zelt::Result zelt_nvm_ver_get_status(const Function& fn) {
    hwrm_ver_get_input req = versionRequest();
    hwrm_ver_get_output resp{};
    zelt::Result rc = exchange(fn, HWRM_VER_GET, req, resp);
    if (rc.ok()) zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FID (0x%x) VER_GET success\n", fn.address.function);
    return rc;
}

zelt::Result zeltnvm_get_fastboot_fw_version(const Function& fn) {
    hwrm_ver_get_input req = versionRequest();
    hwrm_ver_get_output resp{};
    zelt::Result rc = exchange(fn, HWRM_VER_GET, req, resp);
    if (!rc.ok()) return rc;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO, "Fastboot FW Version : %d.%d.%d.%d\n", resp.hwrm_fw_maj_8b,
                  resp.hwrm_fw_min_8b, resp.hwrm_fw_bld_8b, resp.hwrm_fw_rsvd_8b);
    return zelt::Result();
}

zelt::Result zeltnvm_linux_GetInstalledPackageVersion(const Function& fn, char* version, uint32_t max) {
    if (!version || max == 0) return zelt::Result::tool(HVXRETVAL_INVALID_LENGTH_PARAMETER);
    hwrm_ver_get_input req = versionRequest();
    hwrm_ver_get_output resp{};
    zelt::Result rc = exchange(fn, HWRM_VER_GET, req, resp);
    if (!rc.ok()) return rc;
    // Never past the answer's field, however large the caller's buffer.
    std::string_view name = zeltFieldText(resp.active_pkg_name, sizeof resp.active_pkg_name);
    size_t n = std::min<size_t>(name.size(), max - 1);
    std::memcpy(version, name.data(), n);
    version[n] = '\0';
    return zelt::Result();
}

zelt::Result zelt_check_secure_fw_boot_status(const Function& fn, int* secure_boot, int* secure_fw) {
    hwrm_ver_get_input req = versionRequest();
    hwrm_ver_get_output resp{};
    zelt::Result rc = exchange(fn, HWRM_VER_GET, req, resp);
    if (!rc.ok()) return rc;
    const uint32_t caps = le32_to_cpu(resp.dev_caps_cfg);
    if (secure_fw) *secure_fw = (caps & HWRM_VER_GET_DEV_CAPS_CFG_SECURE_FW) ? 1 : 0;
    if (secure_boot) *secure_boot = (caps & HWRM_VER_GET_DEV_CAPS_CFG_SECURE_BOOT) ? 1 : 0;
    return zelt::Result();
}

zelt::Result zeltnvm_get_fw_version(const Function& fn, hwrm_ver_get_output* answer, uint32_t* asic_id) {
    hwrm_ver_get_input req = versionRequest();
    hwrm_ver_get_output resp{};
    zelt::Result rc = exchange(fn, HWRM_VER_GET, req, resp);
    if (answer) *answer = resp;
    if (!rc.ok()) return rc;
    if (asic_id)
        *asic_id = (static_cast<uint32_t>(le16_to_cpu(resp.chip_num)) << 16) |
                   (static_cast<uint32_t>(resp.chip_rev) << 8) | resp.chip_metal;
    return zelt::Result();
}

}  // namespace zelt::transport
