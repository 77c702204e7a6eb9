// Firmware messages of the time-synchronisation (TSIO) pins of the PTP hardware clock:
// the pins' state and usage (hwrm_func_ptp_pin_qcfg, hwrm_func_ptp_pin_cfg) and the
// clock's outgoing signal and DLL settings (hwrm_func_ptp_cfg). Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// The pins a function's clock has.
inline constexpr unsigned HWRM_TSIO_PIN_COUNT = 4;

// What a pin is used for (the `pinN_usage` bytes).
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_NONE = 0;
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_PPS_IN = 1;
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_PPS_OUT = 2;
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_SYNC_IN = 3;
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_SYNC_OUT = 4;
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_SYNCE_PRIMARY_CLOCK_OUT = 5;
inline constexpr uint8_t HWRM_TSIO_PIN_USAGE_SYNCE_SECONDARY_CLOCK_OUT = 6;

// ---- hwrm_func_ptp_pin_qcfg (0x019C) ------------------------------------------------
struct hwrm_func_ptp_pin_qcfg_input {
    hwrm_input_header hdr;
    uint8_t unused_0[8];
};
ZELT_HWRM_INPUT(hwrm_func_ptp_pin_qcfg_input, 24);

// `pin_state`: bit N set when pin N is enabled. `options`: the SyncE clock usages
// the firmware can drive a pin with.
inline constexpr uint8_t HWRM_FUNC_PTP_PIN_QCFG_OPTIONS_SYNCE_PRIMARY_CLOCK = 0x01;
inline constexpr uint8_t HWRM_FUNC_PTP_PIN_QCFG_OPTIONS_SYNCE_SECONDARY_CLOCK = 0x02;

struct hwrm_func_ptp_pin_qcfg_output {
    hwrm_output_header hdr;
    uint8_t num_pins;
    uint8_t pin_state;
    uint8_t pin_usage[HWRM_TSIO_PIN_COUNT];
    uint8_t options;
    uint8_t unused_0[8];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_ptp_pin_qcfg_output, 24);
ZELT_WIRE_FIELD(hwrm_func_ptp_pin_qcfg_output, num_pins, 8);
ZELT_WIRE_FIELD(hwrm_func_ptp_pin_qcfg_output, pin_state, 9);
ZELT_WIRE_FIELD(hwrm_func_ptp_pin_qcfg_output, pin_usage, 10);
ZELT_WIRE_FIELD(hwrm_func_ptp_pin_qcfg_output, options, 14);

// ---- hwrm_func_ptp_pin_cfg (0x019D) -------------------------------------------------
// `enables`: bit 2N takes pin N's state, bit 2N+1 its usage.
constexpr uint32_t hwrm_ptp_pin_cfg_enables_state(unsigned pin) { return 1u << (2 * pin); }
constexpr uint32_t hwrm_ptp_pin_cfg_enables_usage(unsigned pin) { return 1u << (2 * pin + 1); }

struct hwrm_func_ptp_pin_cfg_pin {
    uint8_t state;  // 1 enabled, 0 disabled
    uint8_t usage;
};

struct hwrm_func_ptp_pin_cfg_input {
    hwrm_input_header hdr;
    uint32_t enables;
    hwrm_func_ptp_pin_cfg_pin pins[HWRM_TSIO_PIN_COUNT];
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_func_ptp_pin_cfg_input, 32);
ZELT_WIRE_FIELD(hwrm_func_ptp_pin_cfg_input, enables, 16);
ZELT_WIRE_FIELD(hwrm_func_ptp_pin_cfg_input, pins, 20);

// The answer of hwrm_func_ptp_pin_cfg and hwrm_func_ptp_cfg.
struct hwrm_func_ptp_cfg_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_func_ptp_cfg_output, 16);

// ---- hwrm_func_ptp_cfg (0x019E) -----------------------------------------------------
// `enables`: which settings the request carries.
inline constexpr uint16_t HWRM_FUNC_PTP_CFG_ENABLES_PPS_EVENT = 0x01;
inline constexpr uint16_t HWRM_FUNC_PTP_CFG_ENABLES_DLL_SOURCE = 0x02;
inline constexpr uint16_t HWRM_FUNC_PTP_CFG_ENABLES_DLL_PHASE = 0x04;
inline constexpr uint16_t HWRM_FUNC_PTP_CFG_ENABLES_EXT_PERIOD = 0x08;
inline constexpr uint16_t HWRM_FUNC_PTP_CFG_ENABLES_EXT_UP = 0x10;

// The highest DLL source and DLL phase (frequency) values.
inline constexpr uint8_t HWRM_FUNC_PTP_CFG_DLL_SOURCE_MAX = 4;
inline constexpr uint8_t HWRM_FUNC_PTP_CFG_DLL_PHASE_MAX = 3;

struct hwrm_func_ptp_cfg_input {
    hwrm_input_header hdr;
    uint16_t enables;
    uint8_t pps_event;
    uint8_t dll_source;
    uint8_t dll_phase;
    uint8_t unused_0[3];
    uint32_t ext_period;  // nanoseconds of one period of the outgoing signal
    uint32_t ext_up;      // nanoseconds the signal is high in each period
    uint8_t unused_1[8];
};
ZELT_HWRM_INPUT(hwrm_func_ptp_cfg_input, 40);
ZELT_WIRE_FIELD(hwrm_func_ptp_cfg_input, enables, 16);
ZELT_WIRE_FIELD(hwrm_func_ptp_cfg_input, dll_source, 19);
ZELT_WIRE_FIELD(hwrm_func_ptp_cfg_input, dll_phase, 20);
ZELT_WIRE_FIELD(hwrm_func_ptp_cfg_input, ext_period, 24);
ZELT_WIRE_FIELD(hwrm_func_ptp_cfg_input, ext_up, 28);

}  // namespace zelt
