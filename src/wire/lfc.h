// Records of the firmware-channel device /dev/zelt_lfc: the selection write and the
// ioctl that carries one firmware message with its data buffer descriptions.
// Native byte order of a 64-bit host; addresses are user-space pointers as integers.
#pragma once

#include <linux/ioctl.h>

#include <cstdint>

#include "wire/wire_layout.h"

namespace zelt {

inline constexpr const char* ZELT_LFC_DEVICE_PATH = "/dev/zelt_lfc";

// Written once per open: selects the PCI domain of the following requests.
inline constexpr uint8_t ZELT_LFC_SELECT_DOMAIN_KEY = 1;
struct zelt_lfc_generic_msg {
    uint8_t key;  // ZELT_LFC_SELECT_DOMAIN_KEY
    uint8_t reserved[3];
    uint32_t value;  // PCI domain
};
ZELT_WIRE_SIZE(zelt_lfc_generic_msg, 8);
ZELT_WIRE_FIELD(zelt_lfc_generic_msg, key, 0);
ZELT_WIRE_FIELD(zelt_lfc_generic_msg, value, 4);

enum zelt_lfc_req_type : uint32_t {
    ZELT_LFC_NVM_GET_VAR_REQ = 1,
    ZELT_LFC_NVM_SET_VAR_REQ = 2,
    ZELT_LFC_NVM_FLUSH_REQ = 3,
    ZELT_LFC_GENERIC_HWRM_REQ = 4,
};

inline constexpr uint32_t ZELT_LFC_REQ_VERSION = 1;

struct zelt_lfc_req_hdr {
    uint32_t ver;       // ZELT_LFC_REQ_VERSION
    uint32_t bus;       // PCI bus
    uint32_t devfn;     // ((device << 3) & 0xF8) | (function & 7)
    uint32_t req_type;  // zelt_lfc_req_type
};
ZELT_WIRE_SIZE(zelt_lfc_req_hdr, 16);

struct zelt_lfc_nvm_get_var_req {
    uint16_t option_num;
    uint16_t dimensions;
    uint16_t index_0;
    uint16_t index_1;
    uint16_t index_2;
    uint16_t index_3;
    uint16_t len_in_bits;
    uint8_t unused_0[2];
    uint64_t out_val;  // address of the value buffer
};
ZELT_WIRE_SIZE(zelt_lfc_nvm_get_var_req, 24);

struct zelt_lfc_nvm_set_var_req {
    uint16_t option_num;
    uint16_t dimensions;
    uint16_t index_0;
    uint16_t index_1;
    uint16_t index_2;
    uint16_t index_3;
    uint16_t len_in_bits;
    uint8_t unused_0[2];
    uint64_t in_val;  // address of the value buffer
};
ZELT_WIRE_SIZE(zelt_lfc_nvm_set_var_req, 24);

// The ioctl argument.
struct zelt_lfc_req {
    zelt_lfc_req_hdr hdr;
    union {
        uint64_t hreq;  // ZELT_LFC_GENERIC_HWRM_REQ: address of a zlfc_fw_msg
        zelt_lfc_nvm_get_var_req get_var;
        zelt_lfc_nvm_set_var_req set_var;
    } req;
};
ZELT_WIRE_SIZE(zelt_lfc_req, 40);
ZELT_WIRE_FIELD(zelt_lfc_req, hdr.ver, 0);
ZELT_WIRE_FIELD(zelt_lfc_req, hdr.bus, 4);
ZELT_WIRE_FIELD(zelt_lfc_req, hdr.devfn, 8);
ZELT_WIRE_FIELD(zelt_lfc_req, hdr.req_type, 12);
ZELT_WIRE_FIELD(zelt_lfc_req, req.hreq, 16);

inline constexpr unsigned long ZELT_LFC_IOCTL_REQ = _IOW(0x98, 1, zelt_lfc_req);
static_assert(ZELT_LFC_IOCTL_REQ == 0x40289801ul, "firmware-channel ioctl number");

inline constexpr uint8_t ZELT_LFC_DMA_HOST_TO_DEVICE = 0;
inline constexpr uint8_t ZELT_LFC_DMA_DEVICE_TO_HOST = 1;

// One data buffer of a message.
struct dma_info {
    uint64_t data;          // address of the caller's buffer
    uint32_t length;        // its size in bytes
    uint16_t offset;        // offset in the request where the driver writes the bus address
    uint8_t read_or_write;  // ZELT_LFC_DMA_DEVICE_TO_HOST: the firmware fills the buffer
    uint8_t unused;
};
ZELT_WIRE_SIZE(dma_info, 16);
ZELT_WIRE_FIELD(dma_info, data, 0);
ZELT_WIRE_FIELD(dma_info, length, 8);
ZELT_WIRE_FIELD(dma_info, offset, 12);
ZELT_WIRE_FIELD(dma_info, read_or_write, 14);

// One firmware message: this 32-byte head, immediately followed by
// `num_dma_indications` dma_info entries.
struct zlfc_fw_msg {
    uint64_t usr_req;   // address of the request record
    uint64_t usr_resp;  // address of the response record
    uint32_t len_req;
    uint32_t len_resp;
    uint32_t timeout;   // milliseconds
    uint32_t num_dma_indications;
};
ZELT_WIRE_SIZE(zlfc_fw_msg, 32);
ZELT_WIRE_FIELD(zlfc_fw_msg, usr_req, 0);
ZELT_WIRE_FIELD(zlfc_fw_msg, usr_resp, 8);
ZELT_WIRE_FIELD(zlfc_fw_msg, len_req, 16);
ZELT_WIRE_FIELD(zlfc_fw_msg, len_resp, 20);
ZELT_WIRE_FIELD(zlfc_fw_msg, timeout, 24);
ZELT_WIRE_FIELD(zlfc_fw_msg, num_dma_indications, 28);

// Offset of dma_info entry `i` from the start of a zlfc_fw_msg.
constexpr size_t zlfcDmaInfoOffset(size_t i) { return sizeof(zlfc_fw_msg) + i * sizeof(dma_info); }

constexpr uint32_t zeltLfcDevfn(uint32_t device, uint32_t function) {
    return ((device << 3) & 0xF8u) | (function & 7u);
}

}  // namespace zelt
