#include "device/features/synce.h"

#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"
#include "wire/hwrm_synce.h"

namespace zelt::device {

Result zelt_is_synce_supported(const transport::Function& fn, bool* supported) {
    hwrm_func_qcaps_output caps{};
    const Result rc = transport::zeltnvm_get_func_qcaps(fn, &caps);
    if (rc.ok()) *supported = (le32_to_cpu(caps.flags_ext) & HWRM_FUNC_QCAPS_FLAGS_EXT_SYNCE_SUPPORTED) != 0;
    return rc;
}

Result zeltnvm_query_synce_config(const transport::Function& fn, SynceConfig* config) {
    hwrm_func_synce_qcfg_input req{};
    hwrm_func_synce_qcfg_output resp{};
    const Result rc = transport::exchange(fn, HWRM_FUNC_SYNCE_QCFG, req, resp);
    if (!rc.ok()) return rc;
    config->freq_profile = resp.freq_profile;
    config->primary_clock = resp.state & HWRM_FUNC_SYNCE_QCFG_STATE_PRIMARY_CLOCK;
    config->secondary_clock = resp.state & HWRM_FUNC_SYNCE_QCFG_STATE_SECONDARY_CLOCK;
    return rc;
}

Result zeltnvm_synce_config(const transport::Function& fn, const SynceSettings& settings) {
    hwrm_func_synce_cfg_input req{};
    if (settings.freq_profile) {
        req.enables |= HWRM_FUNC_SYNCE_CFG_ENABLES_FREQ_PROFILE;
        req.freq_profile = *settings.freq_profile;
    }
    if (settings.primary_clock) {
        req.enables |= HWRM_FUNC_SYNCE_CFG_ENABLES_PRIMARY_CLOCK;
        req.primary_clock_state = *settings.primary_clock ? 1 : 0;
    }
    if (settings.secondary_clock) {
        req.enables |= HWRM_FUNC_SYNCE_CFG_ENABLES_SECONDARY_CLOCK;
        req.secondary_clock_state = *settings.secondary_clock ? 1 : 0;
    }
    hwrm_func_synce_cfg_output resp{};
    return transport::exchange(fn, HWRM_FUNC_SYNCE_CFG, req, resp);
}

}  // namespace zelt::device
