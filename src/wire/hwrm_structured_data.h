// Firmware messages that read and write structured configuration data
// (hwrm_fw_get_structured_data, hwrm_fw_set_structured_data), and the one structure
// the utility exchanges: the MSI-X vector table of a PF's virtual functions. The data
// travels in a host buffer: a header, then the entries. Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// ---- hwrm_fw_set_structured_data (0x00CA) -------------------------------------------
struct hwrm_fw_set_structured_data_input {
    hwrm_input_header hdr;
    uint64_t src_data_addr;
    uint16_t data_len;  // bytes of the buffer: headers and entries
    uint8_t hdr_cnt;    // structures in the buffer
    uint8_t unused_0[5];
};
ZELT_HWRM_INPUT(hwrm_fw_set_structured_data_input, 32);
ZELT_WIRE_FIELD(hwrm_fw_set_structured_data_input, src_data_addr, 16);
ZELT_WIRE_FIELD(hwrm_fw_set_structured_data_input, data_len, 24);
ZELT_WIRE_FIELD(hwrm_fw_set_structured_data_input, hdr_cnt, 26);

struct hwrm_fw_set_structured_data_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_set_structured_data_output, 16);

// ---- hwrm_fw_get_structured_data (0x00CB) -------------------------------------------
struct hwrm_fw_get_structured_data_input {
    hwrm_input_header hdr;
    uint64_t dest_data_addr;
    uint16_t data_len;  // bytes of the buffer
    uint16_t structure_id;
    uint16_t subtype;
    uint8_t count;  // entries the buffer has room for
    uint8_t unused_0;
};
ZELT_HWRM_INPUT(hwrm_fw_get_structured_data_input, 32);
ZELT_WIRE_FIELD(hwrm_fw_get_structured_data_input, dest_data_addr, 16);
ZELT_WIRE_FIELD(hwrm_fw_get_structured_data_input, data_len, 24);
ZELT_WIRE_FIELD(hwrm_fw_get_structured_data_input, structure_id, 26);
ZELT_WIRE_FIELD(hwrm_fw_get_structured_data_input, count, 30);

struct hwrm_fw_get_structured_data_output {
    hwrm_output_header hdr;
    uint8_t hdr_cnt;  // structures written into the buffer
    uint8_t unused_0[6];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_get_structured_data_output, 16);
ZELT_WIRE_FIELD(hwrm_fw_get_structured_data_output, hdr_cnt, 8);

// The header of one structure in the data buffer; its entries follow it.
struct hwrm_struct_hdr {
    uint16_t struct_id;
    uint16_t len;  // bytes of the entries that follow
    uint8_t version;
    uint8_t count;  // entries
    uint16_t subtype;
    uint16_t next_offset;  // 0: last structure
    uint8_t unused_0[6];
};
ZELT_WIRE_SIZE(hwrm_struct_hdr, 16);
ZELT_WIRE_FIELD(hwrm_struct_hdr, len, 2);
ZELT_WIRE_FIELD(hwrm_struct_hdr, count, 5);
ZELT_WIRE_FIELD(hwrm_struct_hdr, next_offset, 8);

// The MSI-X vector table: one entry per PF with VFs, eight rows each. A row gives the
// MSI-X vectors of each VF from its start VF (a firmware function id) up to the next
// row's; a row with no vectors ends the table.
inline constexpr uint16_t HWRM_STRUCT_ID_MSIX_VECTOR_TABLE = 200;
inline constexpr uint8_t HWRM_MSIX_VECTOR_TABLE_VERSION = 1;
inline constexpr uint16_t HWRM_MSIX_VECTOR_TABLE_ROWS = 8;

struct hwrm_msix_vector_row {
    uint16_t start_vf;
    uint16_t msix;
};
ZELT_WIRE_SIZE(hwrm_msix_vector_row, 4);

struct hwrm_msix_vector_table_entry {
    uint16_t pf_id;
    uint16_t row_count;
    hwrm_msix_vector_row rows[HWRM_MSIX_VECTOR_TABLE_ROWS];
    uint8_t unused_0[20];
};
ZELT_WIRE_SIZE(hwrm_msix_vector_table_entry, 56);
ZELT_WIRE_FIELD(hwrm_msix_vector_table_entry, row_count, 2);
ZELT_WIRE_FIELD(hwrm_msix_vector_table_entry, rows, 4);

// A refused MSI-X vector table: the error answer's status words say why. The second
// (opaque_1) holds the reason in its low byte and the row in its high byte; the first
// (opaque_0) a VF id in its low 16 bits and the other value in its high 16 bits.
enum hwrm_msix_refusal : uint8_t {
    HWRM_MSIX_REFUSED_PF_OUT_OF_RANGE = 1,
    HWRM_MSIX_REFUSED_NO_VFS = 2,
    HWRM_MSIX_REFUSED_FIRST_ROW_ZERO = 3,
    HWRM_MSIX_REFUSED_FIRST_ROW_START = 4,
    HWRM_MSIX_REFUSED_START_OUT_OF_RANGE = 5,
    HWRM_MSIX_REFUSED_START_ALIGNMENT = 6,
    HWRM_MSIX_REFUSED_START_NOT_ASCENDING = 7,
    HWRM_MSIX_REFUSED_SMALL_VF = 8,
    HWRM_MSIX_REFUSED_ABOVE_CONFIG_SIZE = 9,
    HWRM_MSIX_REFUSED_SUM_ABOVE_PF_MAX = 10,
    HWRM_MSIX_REFUSED_ROW_COUNT = 11,
};

}  // namespace zelt
