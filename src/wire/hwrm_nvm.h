// Firmware messages on the NVM: directory, item read, modify, write, raw block fill,
// defragmentation, flush, staged-update installation, directory search and the NVM
// configuration variables. Little-endian; data buffers travel by DMA, their bus
// address written by the driver at HWRM_DMA_ADDR_OFFSET.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// ---- Generic answer of messages that return nothing but their status --------------
struct hwrm_status_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_status_output, 16);

// ---- hwrm_nvm_get_dir_info (0xFFFB) ------------------------------------------------
struct hwrm_nvm_get_dir_info_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_nvm_get_dir_info_input, 16);

struct hwrm_nvm_get_dir_info_output {
    hwrm_output_header hdr;
    uint32_t entries;       // number of directory entries
    uint32_t entry_length;  // bytes per entry in the directory answer
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_get_dir_info_output, 24);
ZELT_WIRE_FIELD(hwrm_nvm_get_dir_info_output, entries, 8);
ZELT_WIRE_FIELD(hwrm_nvm_get_dir_info_output, entry_length, 12);

// ---- hwrm_nvm_get_dir_entries (0xFFFA) ---------------------------------------------
struct hwrm_nvm_get_dir_entries_input {
    hwrm_input_header hdr;
    uint64_t host_dest_addr;  // directory buffer (device to host)
};
ZELT_HWRM_INPUT(hwrm_nvm_get_dir_entries_input, 24);
ZELT_WIRE_FIELD(hwrm_nvm_get_dir_entries_input, host_dest_addr, 16);

using hwrm_nvm_get_dir_entries_output = hwrm_status_output;

// ---- hwrm_nvm_read (0xFFFD) ----------------------------------------------------------
struct hwrm_nvm_read_input {
    hwrm_input_header hdr;
    uint64_t host_dest_addr;  // data buffer (device to host)
    uint16_t dir_idx;
    uint8_t unused_0[2];
    uint32_t offset;
    uint32_t len;
    uint8_t unused_1[4];
};
ZELT_HWRM_INPUT(hwrm_nvm_read_input, 40);
ZELT_WIRE_FIELD(hwrm_nvm_read_input, host_dest_addr, 16);
ZELT_WIRE_FIELD(hwrm_nvm_read_input, dir_idx, 24);
ZELT_WIRE_FIELD(hwrm_nvm_read_input, offset, 28);
ZELT_WIRE_FIELD(hwrm_nvm_read_input, len, 32);

using hwrm_nvm_read_output = hwrm_status_output;

// ---- hwrm_nvm_modify (0xFFF4) --------------------------------------------------------
struct hwrm_nvm_modify_input {
    hwrm_input_header hdr;
    uint64_t host_src_addr;  // data buffer (host to device)
    uint16_t dir_idx;
    uint16_t flags;
    uint32_t offset;
    uint32_t len;
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_nvm_modify_input, 40);
ZELT_WIRE_FIELD(hwrm_nvm_modify_input, host_src_addr, 16);
ZELT_WIRE_FIELD(hwrm_nvm_modify_input, dir_idx, 24);
ZELT_WIRE_FIELD(hwrm_nvm_modify_input, flags, 26);
ZELT_WIRE_FIELD(hwrm_nvm_modify_input, offset, 28);
ZELT_WIRE_FIELD(hwrm_nvm_modify_input, len, 32);

using hwrm_nvm_modify_output = hwrm_status_output;

// ---- hwrm_nvm_write (0xFFFE) ---------------------------------------------------------
// Creates an item (no data) or writes a whole item in one message.
struct hwrm_nvm_write_input {
    hwrm_input_header hdr;
    uint64_t host_src_addr;  // data buffer (host to device); 0 when creating empty
    uint16_t dir_type;
    uint16_t dir_ordinal;
    uint16_t dir_ext;
    uint16_t dir_attr;
    uint32_t dir_data_length;
    uint16_t option;
    uint16_t flags;
    uint32_t dir_item_length;
    uint8_t unused_0[12];
};
ZELT_HWRM_INPUT(hwrm_nvm_write_input, 56);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, host_src_addr, 16);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, dir_type, 24);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, dir_ordinal, 26);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, dir_ext, 28);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, dir_attr, 30);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, dir_data_length, 32);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, option, 36);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, flags, 38);
ZELT_WIRE_FIELD(hwrm_nvm_write_input, dir_item_length, 40);

struct hwrm_nvm_write_output {
    hwrm_output_header hdr;
    uint32_t dir_item_length;  // bytes allocated to the item
    uint16_t dir_idx;          // directory index of the written item
    uint8_t unused_0;
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_write_output, 16);
ZELT_WIRE_FIELD(hwrm_nvm_write_output, dir_item_length, 8);
ZELT_WIRE_FIELD(hwrm_nvm_write_output, dir_idx, 12);

// ---- hwrm_nvm_raw_write_blk (0xFFFF) -------------------------------------------------
struct hwrm_nvm_raw_write_blk_input {
    hwrm_input_header hdr;
    uint64_t host_src_addr;  // pattern buffer (host to device)
    uint32_t dest_addr;      // byte address in the NVM
    uint32_t len;
};
ZELT_HWRM_INPUT(hwrm_nvm_raw_write_blk_input, 32);
ZELT_WIRE_FIELD(hwrm_nvm_raw_write_blk_input, host_src_addr, 16);
ZELT_WIRE_FIELD(hwrm_nvm_raw_write_blk_input, dest_addr, 24);
ZELT_WIRE_FIELD(hwrm_nvm_raw_write_blk_input, len, 28);

using hwrm_nvm_raw_write_blk_output = hwrm_status_output;

// ---- hwrm_nvm_defrag (0xFFEC) --------------------------------------------------------
inline constexpr uint32_t HWRM_NVM_DEFRAG_FLAGS_DEFRAG = 1;
struct hwrm_nvm_defrag_input {
    hwrm_input_header hdr;
    uint32_t flags;
    uint8_t unused_0[4];
};
ZELT_HWRM_INPUT(hwrm_nvm_defrag_input, 24);
ZELT_WIRE_FIELD(hwrm_nvm_defrag_input, flags, 16);

using hwrm_nvm_defrag_output = hwrm_status_output;

// ---- hwrm_nvm_flush (0xFFF0) ---------------------------------------------------------
struct hwrm_nvm_flush_input {
    hwrm_input_header hdr;
};
ZELT_HWRM_INPUT(hwrm_nvm_flush_input, 16);

using hwrm_nvm_flush_output = hwrm_status_output;

// ---- hwrm_nvm_install_update (0xFFF3) ------------------------------------------------
// Asks the firmware to install the package staged in the update item.
inline constexpr uint16_t HWRM_NVM_INSTALL_UPDATE_FLAGS_ALLOWED_TO_DEFRAG = 4;
struct hwrm_nvm_install_update_input {
    hwrm_input_header hdr;
    uint32_t install_type;
    uint16_t flags;
    uint8_t unused_0[2];
};
ZELT_HWRM_INPUT(hwrm_nvm_install_update_input, 24);
ZELT_WIRE_FIELD(hwrm_nvm_install_update_input, install_type, 16);
ZELT_WIRE_FIELD(hwrm_nvm_install_update_input, flags, 20);

struct hwrm_nvm_install_update_output {
    hwrm_output_header hdr;
    uint32_t installed_items[2];  // bit masks of the installed item kinds
    uint8_t result;               // 0 = success, else the firmware's install result
    uint8_t problem_item;         // the item the firmware stumbled on
    uint8_t reset_required;       // non-zero: a reset activates the new firmware
    uint8_t unused_0[4];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_install_update_output, 24);
ZELT_WIRE_FIELD(hwrm_nvm_install_update_output, installed_items, 8);
ZELT_WIRE_FIELD(hwrm_nvm_install_update_output, result, 16);
ZELT_WIRE_FIELD(hwrm_nvm_install_update_output, problem_item, 17);
ZELT_WIRE_FIELD(hwrm_nvm_install_update_output, reset_required, 18);

// The `result` byte of an installation the firmware carried out. It is the firmware's
// own code: it shares no values with the refusals' cmd_err below nor with the tool's
// result codes.
enum class HwrmInstallResult : uint8_t {
    kOk = 0,
    kNothingStaged = 1,  // no staging item, or it is empty
    kBadPackage = 2,     // the staged bytes are not a sound package
    kBadNvmItem = 3,     // an item to be patched fails verification
    kPatchFailed = 4,    // a patch text does not apply
    kWriteFailed = 5,    // a flash write failed
};

// cmd_err details of a refused installation.
inline constexpr uint8_t HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR = 1;
inline constexpr uint8_t HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE = 2;
inline constexpr uint8_t HWRM_NVM_INSTALL_UPDATE_CMD_ERR_ANTI_ROLLBACK = 3;
inline constexpr uint8_t HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_VOLTREG_SUPPORT = 4;
// cmd_err details of a refused write or modify.
inline constexpr uint8_t HWRM_NVM_WRITE_CMD_ERR_FRAG_ERR = 1;
inline constexpr uint8_t HWRM_NVM_WRITE_CMD_ERR_NO_SPACE = 2;
inline constexpr uint8_t HWRM_NVM_MODIFY_CMD_ERR_SECURITY_VIOLATION = 5;
// cmd_err of a variable get or set: the variable does not exist on this adapter.
inline constexpr uint8_t HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST = 1;

// ---- hwrm_nvm_find_dir_entry (0xFFF9) ------------------------------------------------
struct hwrm_nvm_find_dir_entry_input {
    hwrm_input_header hdr;
    uint32_t enables;      // 0: search by type, ordinal and ext
    uint16_t dir_idx;
    uint16_t dir_type;
    uint16_t dir_ordinal;
    uint16_t dir_ext;
    uint8_t opt_ordinal;
    uint8_t unused_0[3];
};
ZELT_HWRM_INPUT(hwrm_nvm_find_dir_entry_input, 32);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_input, enables, 16);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_input, dir_idx, 20);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_input, dir_type, 22);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_input, dir_ordinal, 24);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_input, dir_ext, 26);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_input, opt_ordinal, 28);

struct hwrm_nvm_find_dir_entry_output {
    hwrm_output_header hdr;
    uint32_t dir_item_length;
    uint32_t dir_data_length;
    uint32_t fw_ver;
    uint16_t dir_ordinal;
    uint16_t dir_idx;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_find_dir_entry_output, 32);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_output, dir_item_length, 8);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_output, dir_data_length, 12);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_output, dir_ordinal, 20);
ZELT_WIRE_FIELD(hwrm_nvm_find_dir_entry_output, dir_idx, 22);

// ---- hwrm_nvm_get_variable (0xFFF1) and hwrm_nvm_set_variable (0xFFF2) ---------------
struct hwrm_nvm_get_variable_input {
    hwrm_input_header hdr;
    uint64_t dest_data_addr;  // value buffer (device to host)
    uint16_t data_len;        // value length in bits
    uint16_t option_num;
    uint16_t dimensions;
    uint16_t index_0;
    uint16_t index_1;
    uint16_t index_2;
    uint16_t index_3;
    uint8_t flags;
    uint8_t unused_0;
};
ZELT_HWRM_INPUT(hwrm_nvm_get_variable_input, 40);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, dest_data_addr, 16);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, data_len, 24);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, option_num, 26);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, dimensions, 28);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, index_0, 30);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, index_1, 32);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, index_2, 34);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, index_3, 36);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_input, flags, 38);

struct hwrm_nvm_set_variable_input {
    hwrm_input_header hdr;
    uint64_t src_data_addr;  // value buffer (host to device)
    uint16_t data_len;       // value length in bits
    uint16_t option_num;
    uint16_t dimensions;
    uint16_t index_0;
    uint16_t index_1;
    uint16_t index_2;
    uint16_t index_3;
    uint8_t flags;
    uint8_t unused_0;
};
ZELT_HWRM_INPUT(hwrm_nvm_set_variable_input, 40);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, src_data_addr, 16);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, data_len, 24);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, option_num, 26);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, dimensions, 28);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, index_0, 30);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, index_1, 32);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, index_2, 34);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, index_3, 36);
ZELT_WIRE_FIELD(hwrm_nvm_set_variable_input, flags, 38);

struct hwrm_nvm_get_variable_output {
    hwrm_output_header hdr;
    uint16_t data_len;
    uint16_t option_num;
    uint8_t unused_0[3];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_get_variable_output, 16);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_output, data_len, 8);
ZELT_WIRE_FIELD(hwrm_nvm_get_variable_output, option_num, 10);

using hwrm_nvm_set_variable_output = hwrm_status_output;

}  // namespace zelt
