// Framing of firmware messages: the common request header, the common response
// header and the error form of a response. All fields are little-endian.
#pragma once

#include <bit>
#include <cstdint>

#include "wire/wire_layout.h"

namespace zelt {

// First 16 bytes of every request.
struct hwrm_input_header {
    uint16_t req_type;      // message number
    uint16_t cmpl_ring;     // HWRM_CMPL_RING_DEFAULT
    uint16_t seq_id;        // 0
    uint16_t target_id;     // HWRM_TARGET_ID_DEFAULT, or HWRM_TARGET_ID_MAILBOX on the mailbox path
    uint32_t resp_addr[2];  // 0: the transport supplies the response location
};
ZELT_WIRE_SIZE(hwrm_input_header, 16);
ZELT_WIRE_FIELD(hwrm_input_header, req_type, 0);
ZELT_WIRE_FIELD(hwrm_input_header, cmpl_ring, 2);
ZELT_WIRE_FIELD(hwrm_input_header, seq_id, 4);
ZELT_WIRE_FIELD(hwrm_input_header, target_id, 6);
ZELT_WIRE_FIELD(hwrm_input_header, resp_addr, 8);

// First 8 bytes of every response.
struct hwrm_output_header {
    uint16_t error_code;  // 0 = success
    uint16_t req_type;    // echo of the request
    uint16_t seq_id;      // echo of the request
    uint16_t resp_len;    // length of the response record
};
ZELT_WIRE_SIZE(hwrm_output_header, 8);
ZELT_WIRE_FIELD(hwrm_output_header, error_code, 0);
ZELT_WIRE_FIELD(hwrm_output_header, req_type, 2);
ZELT_WIRE_FIELD(hwrm_output_header, resp_len, 6);

// The form of a response that carries a firmware error. Every response record is
// at least this long; `cmd_err` is the message-specific error detail.
struct hwrm_err_output {
    uint16_t error_code;
    uint16_t req_type;
    uint16_t seq_id;
    uint16_t resp_len;
    uint32_t opaque_0;
    uint16_t opaque_1;
    uint8_t cmd_err;
    uint8_t valid;
};
ZELT_WIRE_SIZE(hwrm_err_output, 16);
ZELT_WIRE_FIELD(hwrm_err_output, error_code, 0);
ZELT_WIRE_FIELD(hwrm_err_output, req_type, 2);
ZELT_WIRE_FIELD(hwrm_err_output, resp_len, 6);
ZELT_WIRE_FIELD(hwrm_err_output, cmd_err, 14);
ZELT_WIRE_FIELD(hwrm_err_output, valid, 15);

// A response record: the common header first, `valid` as its very last byte.
#define ZELT_HWRM_OUTPUT(type, size)     \
    ZELT_WIRE_SIZE(type, size);          \
    ZELT_WIRE_FIELD(type, hdr, 0);       \
    ZELT_WIRE_FIELD(type, valid, (size)-1)

// A request record: the common header first.
#define ZELT_HWRM_INPUT(type, size) \
    ZELT_WIRE_SIZE(type, size);     \
    ZELT_WIRE_FIELD(type, hdr, 0)

inline constexpr uint16_t HWRM_CMPL_RING_DEFAULT = 0xFFFF;
inline constexpr uint16_t HWRM_TARGET_ID_DEFAULT = 0xFFFF;
inline constexpr uint16_t HWRM_TARGET_ID_MAILBOX = 0xFFFD;
// The function itself, in the `fid` field of function queries.
inline constexpr uint16_t HWRM_FID_SELF = 0xFFFF;
// Byte offset inside a request at which the driver writes the bus address of the
// DMA copy of a data buffer (the field right after the header).
inline constexpr uint16_t HWRM_DMA_ADDR_OFFSET = 16;

// Interface version announced in every version query.
inline constexpr uint8_t HWRM_INTF_MAJ = 1;
inline constexpr uint8_t HWRM_INTF_MIN = 10;
inline constexpr uint8_t HWRM_INTF_UPD = 2;

// Byte order of message fields. The supported hosts are little-endian, where these
// are the identity; on a big-endian host they swap.
constexpr bool isLittleEndian() { return std::endian::native == std::endian::little; }
constexpr uint16_t bswap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
constexpr uint32_t bswap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}
constexpr uint16_t cpu_to_le16(uint16_t v) { return isLittleEndian() ? v : bswap16(v); }
constexpr uint32_t cpu_to_le32(uint32_t v) { return isLittleEndian() ? v : bswap32(v); }
constexpr uint16_t le16_to_cpu(uint16_t v) { return cpu_to_le16(v); }
constexpr uint32_t le32_to_cpu(uint32_t v) { return cpu_to_le32(v); }
// Network byte order of a 16-bit value (a swap on a little-endian host).
constexpr uint16_t be16_swap(uint16_t v) { return isLittleEndian() ? bswap16(v) : v; }

}  // namespace zelt
