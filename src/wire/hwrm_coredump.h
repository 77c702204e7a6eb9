// The firmware's debug-dump messages: the segment list, starting a segment's capture
// and reading it back page by page, and the port's SerDes diagnostic dump. Little-endian
// like every firmware record; data pages travel in the DMA buffer whose bus address
// the driver writes at HWRM_DMA_ADDR_OFFSET.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wire/hwrm_header.h"
#include "wire/hwrm_nvm.h"

namespace zelt {

// Page sizes the tool asks for: the segment list in 2048-byte pages, segment data in
// 4096-byte pages.
inline constexpr uint32_t HWRM_COREDUMP_LIST_PAGE = 2048;
inline constexpr uint32_t HWRM_COREDUMP_RETRIEVE_PAGE = 4096;

// ---- hwrm_dbg_coredump_list (0xFF17) -------------------------------------------------
struct hwrm_dbg_coredump_list_input {
    hwrm_input_header hdr;
    uint64_t host_dest_addr;
    uint32_t host_buf_len;
    uint16_t seq_no;  // page number from 0
    uint8_t unused_0[2];
};
ZELT_HWRM_INPUT(hwrm_dbg_coredump_list_input, 32);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_list_input, host_dest_addr, 16);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_list_input, host_buf_len, 24);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_list_input, seq_no, 28);

struct hwrm_dbg_coredump_list_output {
    hwrm_output_header hdr;
    uint16_t total_segments;  // segments in the whole list
    uint16_t data_len;        // bytes of this page
    uint8_t flags;            // non-zero: more pages follow
    uint8_t unused_0[2];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_dbg_coredump_list_output, 16);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_list_output, total_segments, 8);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_list_output, data_len, 10);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_list_output, flags, 12);

// One entry of the segment list.
struct coredump_segment_record {
    uint16_t component_id;
    uint16_t segment_id;
    uint16_t max_instances;
    uint8_t version_hi;
    uint8_t version_low;
    uint8_t seg_flags;
    uint8_t compress_flags;
    uint8_t unused_0[2];
    uint32_t segment_len;
};
ZELT_WIRE_SIZE(coredump_segment_record, 16);
ZELT_WIRE_FIELD(coredump_segment_record, max_instances, 4);
ZELT_WIRE_FIELD(coredump_segment_record, version_hi, 6);
ZELT_WIRE_FIELD(coredump_segment_record, seg_flags, 8);
ZELT_WIRE_FIELD(coredump_segment_record, segment_len, 12);

// ---- hwrm_dbg_coredump_initiate (0xFF18) ---------------------------------------------
struct hwrm_dbg_coredump_initiate_input {
    hwrm_input_header hdr;
    uint16_t component_id;
    uint16_t segment_id;
    uint16_t instance;
    uint8_t unused_0[2];
    uint8_t seg_flags;
    uint8_t unused_1[7];
};
ZELT_HWRM_INPUT(hwrm_dbg_coredump_initiate_input, 32);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_initiate_input, component_id, 16);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_initiate_input, segment_id, 18);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_initiate_input, seg_flags, 24);

using hwrm_dbg_coredump_initiate_output = hwrm_status_output;

// ---- hwrm_dbg_coredump_retrieve (0xFF19) ---------------------------------------------
struct hwrm_dbg_coredump_retrieve_input {
    hwrm_input_header hdr;
    uint64_t host_dest_addr;
    uint32_t host_buf_len;
    uint8_t unused_0[4];
    uint16_t component_id;
    uint16_t segment_id;
    uint16_t instance;
    uint16_t seq_no;  // page number from 0
    uint8_t unused_1[8];
};
ZELT_HWRM_INPUT(hwrm_dbg_coredump_retrieve_input, 48);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_retrieve_input, host_dest_addr, 16);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_retrieve_input, host_buf_len, 24);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_retrieve_input, component_id, 32);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_retrieve_input, seq_no, 38);

struct hwrm_dbg_coredump_retrieve_output {
    hwrm_output_header hdr;
    uint8_t flags;  // non-zero: more data follows
    uint8_t unused_0;
    uint16_t data_len;  // bytes of this page
    uint8_t unused_1[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_dbg_coredump_retrieve_output, 16);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_retrieve_output, flags, 8);
ZELT_WIRE_FIELD(hwrm_dbg_coredump_retrieve_output, data_len, 10);

// ---- hwrm_port_dsc_dump (0x00D9) -------------------------------------------------------
// SerDes diagnostic data of one lane of the port: first started (`dsc_dump_config` 1, no
// buffer), then retrieved (`dsc_dump_config` 0) into the buffer.
inline constexpr uint8_t HWRM_DSC_DUMP_CONFIG_RETRIEVE = 0;
inline constexpr uint8_t HWRM_DSC_DUMP_CONFIG_START = 1;
inline constexpr uint32_t HWRM_DSC_DUMP_BUFFER = 32768;
// Diagnostic levels 0 to 12.
inline constexpr uint16_t HWRM_DSC_DUMP_LEVELS = 13;

struct hwrm_port_dsc_dump_input {
    hwrm_input_header hdr;
    uint64_t resp_data_addr;
    uint16_t data_len;
    uint16_t port_id;
    uint16_t diag_level;
    uint16_t lane_number;
    uint8_t dsc_dump_config;
    uint8_t unused_0[7];
};
ZELT_HWRM_INPUT(hwrm_port_dsc_dump_input, 40);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_input, resp_data_addr, 16);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_input, data_len, 24);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_input, port_id, 26);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_input, diag_level, 28);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_input, lane_number, 30);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_input, dsc_dump_config, 32);

struct hwrm_port_dsc_dump_output {
    hwrm_output_header hdr;
    uint32_t total_data_len;  // bytes the firmware put into the buffer
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_port_dsc_dump_output, 16);
ZELT_WIRE_FIELD(hwrm_port_dsc_dump_output, total_data_len, 8);

}  // namespace zelt
