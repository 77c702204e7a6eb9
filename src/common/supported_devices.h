// The supported-device table: every adapter function the utility works with, one row
// per board, and the lookups over it.
//
// This header is the one place that gives PCI ids. The utility, the simulated adapter
// host and the package builder all take the vendor id, device ids, subsystem ids, part
// numbers and chip names from here.
//
// A device id may have several rows, one per board, told apart by the subsystem device
// id; a row whose subsystem device id equals the device id stands for a board without
// its own row. Every device id belongs to one device type and is either a physical
// function (PF) or a virtual function (VF), never both.
//
// Device types (chip generation classes):
//   1 to 3  Basil family (chip names "HVX5B....")
//   4 to 6  Lumo family  (chip names "HVX7L....")
//   7       unused
//   8       Kestra family (chip names "HVX9K....")
//   9       the generation after Kestra, sharing the Kestra chip names; code that
//           depends on the newest generation tests for a type above 7.
#pragma once

#include <cstdint>
#include <span>

namespace zelt {

// PCI vendor id of every supported function.
inline constexpr uint16_t ZELT_PCI_VENDOR_ID = 0x2b1d;

// `function_type` values.
inline constexpr uint8_t ZELT_FUNCTION_PF = 0;
inline constexpr uint8_t ZELT_FUNCTION_VF = 1;

// `device_type` values with a meaning of their own.
inline constexpr uint16_t ZELT_DEVICE_TYPE_MIN = 1;
inline constexpr uint16_t ZELT_DEVICE_TYPE_KESTRA = 8;
inline constexpr uint16_t ZELT_DEVICE_TYPE_MAX = 9;

// A Lumo (device type 6) PF whose driver may refuse access to the staging item while
// another agent holds it; the installer reports that case as "Access Denied".
inline constexpr uint16_t ZELT_ACCESS_CHECK_DEVICE_ID = 0x7603;

struct device_info {
    uint16_t device_id;         // PCI device id
    uint16_t subsys_device_id;  // PCI subsystem device id of the board
    uint16_t device_type;       // chip generation class, 1 to 9
    char part_number[32];       // marketing part number of the board
    uint8_t function_type;      // ZELT_FUNCTION_PF or ZELT_FUNCTION_VF
    char chip_number[32];       // marketing chip name
};

// Number of rows before the terminator.
inline constexpr int ZELT_DEVICE_TABLE_ROWS = 184;

// The rows, followed by a terminator row whose device id is 0 and whose texts are empty.
extern const device_info device_info_list[ZELT_DEVICE_TABLE_ROWS + 1];

// The rows without the terminator.
std::span<const device_info> zeltnvm_supported_devices();

// `function_type` of the first row with that device id, or -1 when the id is not in
// the table.
int zeltnvm_get_func_type(uint16_t device_id);

// First row with that device id, or nullptr.
const device_info* zeltnvm_find_device_row(uint16_t device_id);

// Row of the board: the first row matching both ids, else the first row with the
// device id, else nullptr.
const device_info* zeltnvm_find_board_row(uint16_t device_id, uint16_t subsys_device_id);

// `device_type` of the first row with that device id, or -1.
int zeltnvm_table_device_type(uint16_t device_id);

// Chip name of the first row with that device id; "" (the terminator's text) when none.
const char* zeltnvm_table_chip_number(uint16_t device_id);

// Part number of the board row (see zeltnvm_find_board_row); "" when none.
const char* zeltnvm_table_part_number(uint16_t device_id, uint16_t subsys_device_id);

// True for the Kestra family's device type (8).
bool is_kestra_device(int device_type);

// Family name of a device type: "Basil", "Lumo", "Kestra", or "" for a type outside 1 to 9
// or the unused type 7.
const char* zeltnvm_device_family_name(int device_type);

// Device id of the virtual functions of a PF's device type (the first VF id of that type),
// or 0 when that type has no VF id or the id is not a supported PF.
uint16_t zeltnvm_vf_device_id(uint16_t pf_device_id);

}  // namespace zelt
