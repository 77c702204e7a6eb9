#include "device/features/tsio.h"

#include "common/hvxretval.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"

namespace zelt::device {

namespace {

constexpr std::array<const char*, 7> kUsageWords{
    "none", "pps_in", "pps_out", "sync_in", "sync_out", "synce_primary_clock_out", "synce_secondary_clock_out"};

}  // namespace

const char* tsio_usage_word(uint8_t usage) { return usage < kUsageWords.size() ? kUsageWords[usage] : nullptr; }

std::optional<uint8_t> tsio_usage_from_word(std::string_view word) {
    for (size_t i = 0; i < kUsageWords.size(); ++i)
        if (word == kUsageWords[i]) return static_cast<uint8_t>(i);
    return std::nullopt;
}

Result zeltnvm_get_tsio_ptp_pin_cfg(const transport::Function& fn, TsioPinConfig* config) {
    hwrm_func_ptp_pin_qcfg_input req{};
    hwrm_func_ptp_pin_qcfg_output resp{};
    const Result rc = transport::exchange(fn, HWRM_FUNC_PTP_PIN_QCFG, req, resp);
    if (!rc.ok()) return rc;
    TsioPinConfig out;
    // A firmware reporting more pins than the record holds shows the ones it holds.
    out.pin_count = resp.num_pins < HWRM_TSIO_PIN_COUNT ? resp.num_pins : HWRM_TSIO_PIN_COUNT;
    for (unsigned i = 0; i < HWRM_TSIO_PIN_COUNT; ++i) {
        out.pins[i].enabled = (resp.pin_state >> i) & 1;
        out.pins[i].usage = resp.pin_usage[i];
    }
    out.synce_primary_clock = resp.options & HWRM_FUNC_PTP_PIN_QCFG_OPTIONS_SYNCE_PRIMARY_CLOCK;
    out.synce_secondary_clock = resp.options & HWRM_FUNC_PTP_PIN_QCFG_OPTIONS_SYNCE_SECONDARY_CLOCK;
    *config = out;
    return rc;
}

Result zeltnvm_set_tsio_ptp_pin_cfg(const transport::Function& fn, unsigned pin, bool enabled, uint8_t usage) {
    if (pin >= HWRM_TSIO_PIN_COUNT) return Result::tool(HVXRETVAL_INVALID_PARAMETER_VALUE);
    hwrm_func_ptp_pin_cfg_input req{};
    req.enables = cpu_to_le32(hwrm_ptp_pin_cfg_enables_state(pin) | hwrm_ptp_pin_cfg_enables_usage(pin));
    req.pins[pin].state = enabled ? 1 : 0;
    req.pins[pin].usage = usage;
    hwrm_func_ptp_cfg_output resp{};
    return transport::exchange(fn, HWRM_FUNC_PTP_PIN_CFG, req, resp);
}

Result zeltnvm_set_tsio_pin_cfg(const transport::Function& fn, const TsioClockSettings& settings) {
    hwrm_func_ptp_cfg_input req{};
    req.enables = cpu_to_le16(settings.enables);
    req.dll_source = settings.dll_source;
    req.dll_phase = settings.dll_phase;
    req.ext_period = cpu_to_le32(settings.ext_period);
    req.ext_up = cpu_to_le32(settings.ext_up);
    hwrm_func_ptp_cfg_output resp{};
    return transport::exchange(fn, HWRM_FUNC_PTP_CFG, req, resp);
}

}  // namespace zelt::device
