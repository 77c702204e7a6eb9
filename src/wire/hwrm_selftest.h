// Firmware messages of the self-test family: the test list (which also reports the
// eye scope's deepest target BER) and the SerDes data retrieval behind the eye
// diagrams, their projections and the PCIe eye scope. Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// ---- hwrm_selftest_qlist (0x0200) -------------------------------------------------------
struct hwrm_selftest_qlist_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_selftest_qlist_input, 16);

struct hwrm_selftest_qlist_output {
    hwrm_output_header hdr;
    uint8_t num_tests;
    uint8_t available_tests;
    uint8_t offline_tests;
    uint8_t unused_0;
    uint16_t test_timeout;
    uint8_t unused_1[2];
    char test_name[8][32];
    uint8_t eyescope_target_BER_support;  // highest target BER index (0: 1e-8 ... 4: 1e-12)
    uint8_t unused_2[6];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_selftest_qlist_output, 280);
ZELT_WIRE_FIELD(hwrm_selftest_qlist_output, test_timeout, 12);
ZELT_WIRE_FIELD(hwrm_selftest_qlist_output, test_name, 16);
ZELT_WIRE_FIELD(hwrm_selftest_qlist_output, eyescope_target_BER_support, 272);

// ---- hwrm_selftest_retrieve_serdes_data (0x0203) ---------------------------------------
struct hwrm_selftest_retrieve_serdes_data_input {
    hwrm_input_header hdr;
    uint64_t resp_data_addr;    // the data buffer (0 for a progress query)
    uint32_t resp_data_offset;
    uint16_t data_len;
    uint8_t flags;              // HWRM_SERDES_FLAGS_*
    uint8_t options;            // the lane
    uint8_t targetBER;          // eye scope target index
    uint8_t action;             // HWRM_SERDES_ACTION_*; 0 for the older scans
    uint8_t unused_0[6];
};
ZELT_HWRM_INPUT(hwrm_selftest_retrieve_serdes_data_input, 40);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, resp_data_addr, 16);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, resp_data_offset, 24);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, data_len, 28);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, flags, 30);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, options, 31);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, targetBER, 32);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_input, action, 33);

struct hwrm_selftest_retrieve_serdes_data_output {
    hwrm_output_header hdr;
    uint16_t total_data_len;
    uint16_t copied_data_len;
    uint16_t progress_percent;  // tenths of a percent, 0 to 1000
    uint16_t timeout;
    uint8_t flags;              // HWRM_SERDES_RESP_FLAGS_*
    uint8_t hdr_size;
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_selftest_retrieve_serdes_data_output, 24);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_output, total_data_len, 8);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_output, copied_data_len, 10);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_output, progress_percent, 12);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_output, timeout, 14);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_output, flags, 16);
ZELT_WIRE_FIELD(hwrm_selftest_retrieve_serdes_data_output, hdr_size, 17);

// Request flags. The older scans: the eye of a lane (Ethernet or PCIe), or with
// PROJECTION one scan direction's projection data. The eye scope: the summary or the
// full eye, with an action.
inline constexpr uint8_t HWRM_SERDES_FLAGS_PROJECTION = 0x08;
inline constexpr uint8_t HWRM_SERDES_FLAGS_PCIE = 0x10;
inline constexpr uint8_t HWRM_SERDES_FLAGS_ETHERNET = 0x20;
inline constexpr uint8_t HWRM_SERDES_FLAGS_DIRECTION_MASK = 0x03;
inline constexpr uint8_t HWRM_SERDES_DIRECTION_RIGHT = 0;  // +phase
inline constexpr uint8_t HWRM_SERDES_DIRECTION_LEFT = 1;   // -phase
inline constexpr uint8_t HWRM_SERDES_DIRECTION_UP = 2;     // +voltage
inline constexpr uint8_t HWRM_SERDES_DIRECTION_DOWN = 3;   // -voltage
inline constexpr uint8_t HWRM_SERDES_FLAGS_EYESCOPE_SUMMARY = 8;
inline constexpr uint8_t HWRM_SERDES_FLAGS_EYESCOPE_FULL = 16;

inline constexpr uint8_t HWRM_SERDES_ACTION_NONE = 0;  // the older scans
inline constexpr uint8_t HWRM_SERDES_ACTION_START = 1;
inline constexpr uint8_t HWRM_SERDES_ACTION_PROGRESS = 2;
inline constexpr uint8_t HWRM_SERDES_ACTION_RETRIEVE = 3;

// Response flags: the eye scope's bit counts are exponents of two.
inline constexpr uint8_t HWRM_SERDES_RESP_FLAGS_BITS_POW2 = 0x01;

inline constexpr uint32_t HWRM_SERDES_EYE_DATA_LEN = 65280;      // 32-bit counts, 64 a row
inline constexpr uint32_t HWRM_SERDES_PROJECTION_LEN = 512;
inline constexpr uint32_t HWRM_SERDES_EYESCOPE_SUMMARY_LEN = 1728;
inline constexpr uint32_t HWRM_SERDES_EYESCOPE_FULL_LEN = 42040;

// The receiver settings the eye scope reports, 32-bit signed each.
struct serdes_rx_settings {
    int32_t iskew_signed;
    int32_t qskew_signed;
    int32_t dlev00_signed;
    int32_t dlev01_signed;
    int32_t dlev10_signed;
    int32_t dlev11_signed;
    int32_t h1p;
    int32_t h1n;
    int32_t h2;
    int32_t h3;
    int32_t h4;
    int32_t h5;
    int32_t h6;
    int32_t h7;
    int32_t h8;
    int32_t h9;
    int32_t aeq;
    int32_t vga;
    int32_t appmd;
    int32_t rxrt;
    int32_t shd;
    int32_t proc;
    int32_t step;
    int32_t wm;
};
ZELT_WIRE_SIZE(serdes_rx_settings, 96);
ZELT_WIRE_FIELD(serdes_rx_settings, h1p, 24);
ZELT_WIRE_FIELD(serdes_rx_settings, wm, 92);

// The eye scope's pass verdict and the upper eye's edges, in scan steps from the centre.
struct serdes_eyescope_results {
    uint16_t test_passed;
    int16_t left;
    int16_t right;
    int16_t top;
    int16_t bottom;
};
ZELT_WIRE_SIZE(serdes_eyescope_results, 10);

// Summary buffer: the settings, then the results at 16-bit word 48.
struct serdes_eyescope_summary {
    serdes_rx_settings rx_settings;
    serdes_eyescope_results results;
    uint8_t unused_0[1622];
};
ZELT_WIRE_SIZE(serdes_eyescope_summary, HWRM_SERDES_EYESCOPE_SUMMARY_LEN);
ZELT_WIRE_FIELD(serdes_eyescope_summary, results, 96);

inline constexpr int SERDES_EYESCOPE_COLUMNS = 41;
inline constexpr int SERDES_EYESCOPE_ROWS = 127;

// Full-eye buffer: the settings, then bit counts and error counts row by row (row 63
// the centre voltage, column 20 the centre phase).
struct serdes_eyescope_full {
    serdes_rx_settings rx_settings;
    uint32_t bit_count[SERDES_EYESCOPE_ROWS][SERDES_EYESCOPE_COLUMNS];
    uint32_t error_count[SERDES_EYESCOPE_ROWS][SERDES_EYESCOPE_COLUMNS];
    uint8_t unused_0[288];
};
ZELT_WIRE_SIZE(serdes_eyescope_full, HWRM_SERDES_EYESCOPE_FULL_LEN);
ZELT_WIRE_FIELD(serdes_eyescope_full, bit_count, 96);
ZELT_WIRE_FIELD(serdes_eyescope_full, error_count, 96 + 4 * 41 * 127);

// Projection buffer: 32 error counts, then (from byte 256) 32 measurement times in
// units of 10 us.
struct serdes_projection_data {
    uint32_t error_count[32];
    uint8_t unused_0[128];
    uint64_t time[32];
};
ZELT_WIRE_SIZE(serdes_projection_data, HWRM_SERDES_PROJECTION_LEN);
ZELT_WIRE_FIELD(serdes_projection_data, time, 256);

}  // namespace zelt
