// Firmware live patches: the query of a target firmware's patch versions
// (hwrm_fw_livepatch_query), the patch operation (hwrm_fw_livepatch: activate a patch
// stored in the NVM or sent from host memory, or deactivate the running one) and the
// header of a live-patch image. Little-endian.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// `fw_target`: the firmware a patch applies to. The newest family patches its common
// and secure firmware, the older ones their management firmware.
inline constexpr uint8_t HWRM_FW_LIVEPATCH_TARGET_COMMON_FW = 1;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_TARGET_SECURE_FW = 2;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_TARGET_CHIMP_FW = 3;

// ---- hwrm_fw_livepatch_query (0x00BE) -----------------------------------------------
struct hwrm_fw_livepatch_query_input {
    hwrm_input_header hdr;
    uint8_t fw_target;
    uint8_t unused_0[7];
};
ZELT_HWRM_INPUT(hwrm_fw_livepatch_query_input, 24);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_query_input, fw_target, 16);

// `status_flags`: which of the two versions the answer holds.
inline constexpr uint16_t HWRM_FW_LIVEPATCH_QUERY_STATUS_INSTALL = 0x1;  // a patch is stored in the NVM
inline constexpr uint16_t HWRM_FW_LIVEPATCH_QUERY_STATUS_ACTIVE = 0x2;   // a patch runs

struct hwrm_fw_livepatch_query_output {
    hwrm_output_header hdr;
    char install_ver[32];  // NUL-padded text
    char active_ver[32];
    uint16_t status_flags;
    uint8_t unused_0[5];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_livepatch_query_output, 80);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_query_output, install_ver, 8);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_query_output, active_ver, 40);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_query_output, status_flags, 72);

// ---- hwrm_fw_livepatch (0x00BF) -----------------------------------------------------
inline constexpr uint8_t HWRM_FW_LIVEPATCH_OPCODE_ACTIVATE = 1;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_OPCODE_DEACTIVATE = 2;
// `loadtype` of an activation: the patch stored in the NVM, or the image in the host
// buffer at `host_addr` (`patch_len` bytes), which is not stored.
inline constexpr uint8_t HWRM_FW_LIVEPATCH_LOADTYPE_NVM = 1;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_LOADTYPE_MEMORY = 2;

struct hwrm_fw_livepatch_input {
    hwrm_input_header hdr;
    uint64_t host_addr;
    uint8_t opcode;
    uint8_t fw_target;
    uint8_t loadtype;
    uint8_t flags;
    uint32_t patch_len;
};
ZELT_HWRM_INPUT(hwrm_fw_livepatch_input, 32);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_input, host_addr, 16);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_input, opcode, 24);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_input, fw_target, 25);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_input, loadtype, 26);
ZELT_WIRE_FIELD(hwrm_fw_livepatch_input, patch_len, 28);

struct hwrm_fw_livepatch_output {
    hwrm_output_header hdr;
    uint8_t unused_0[7];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_fw_livepatch_output, 16);

// Why the firmware refused a patch operation (`cmd_err` of the error answer).
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_NOT_SUPPORTED = 3;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_NOT_INSTALLED = 4;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_NOT_PATCHED = 5;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_AUTH_FAIL = 6;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_HEADER = 7;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_SIZE = 8;
inline constexpr uint8_t HWRM_FW_LIVEPATCH_CMD_ERR_ALREADY_PATCHED = 9;

// ---- Live-patch image -----------------------------------------------------------------
// A patch image starts with this header; `payload_len` bytes of patch follow it, and
// the image is authenticated by the CRC-32 of that payload.
inline constexpr uint32_t LIVEPATCH_IMAGE_MAGIC = 0x54504C5A;  // "ZLPT"
inline constexpr uint8_t LIVEPATCH_IMAGE_HEADER_VERSION = 1;
// The largest image the firmware takes.
inline constexpr uint32_t LIVEPATCH_IMAGE_MAX_BYTES = 256 * 1024;

struct livepatch_image_header {
    uint32_t magic;
    uint8_t header_version;
    uint8_t fw_target;  // HWRM_FW_LIVEPATCH_TARGET_*
    uint16_t header_len;
    uint32_t payload_len;
    uint32_t payload_crc32;
    char version[32];  // NUL-padded text
};
ZELT_WIRE_SIZE(livepatch_image_header, 48);
ZELT_WIRE_FIELD(livepatch_image_header, fw_target, 5);
ZELT_WIRE_FIELD(livepatch_image_header, payload_len, 8);
ZELT_WIRE_FIELD(livepatch_image_header, payload_crc32, 12);
ZELT_WIRE_FIELD(livepatch_image_header, version, 16);

}  // namespace zelt
