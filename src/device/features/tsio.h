// The time-synchronisation (TSIO) pins of a function's PTP hardware clock: their
// state and usage, and the clock's outgoing signal and DLL settings.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/result.h"
#include "transport/function.h"
#include "wire/hwrm_tsio.h"

namespace zelt::device {

struct TsioPin {
    bool enabled = false;
    uint8_t usage = HWRM_TSIO_PIN_USAGE_NONE;
};

struct TsioPinConfig {
    unsigned pin_count = 0;
    std::array<TsioPin, HWRM_TSIO_PIN_COUNT> pins{};
    // The firmware can drive a pin with the SyncE primary / secondary clock.
    bool synce_primary_clock = false;
    bool synce_secondary_clock = false;
};

// The word of a pin usage ("none", "pps_in", ...); nullptr for a value without one.
const char* tsio_usage_word(uint8_t usage);
// The usage a word names.
std::optional<uint8_t> tsio_usage_from_word(std::string_view word);

// Reads the pins' configuration; written on success only.
Result zeltnvm_get_tsio_ptp_pin_cfg(const transport::Function& fn, TsioPinConfig* config);

// Sets the state and usage of one pin (pin < HWRM_TSIO_PIN_COUNT).
Result zeltnvm_set_tsio_ptp_pin_cfg(const transport::Function& fn, unsigned pin, bool enabled, uint8_t usage);

// Settings of the clock's outgoing signal and DLL; `enables` says which are sent
// (HWRM_FUNC_PTP_CFG_ENABLES_*).
struct TsioClockSettings {
    uint16_t enables = 0;
    uint8_t dll_source = 0;
    uint8_t dll_phase = 0;
    uint32_t ext_period = 0;
    uint32_t ext_up = 0;
};

Result zeltnvm_set_tsio_pin_cfg(const transport::Function& fn, const TsioClockSettings& settings);

}  // namespace zelt::device
