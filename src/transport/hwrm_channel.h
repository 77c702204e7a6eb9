// The one road of a firmware message: framing, the firmware-channel device
// /dev/zelt_lfc with the PCI mailbox as fall-back, and the translation of the
// firmware's error answer into a result code.
//
// A channel result is 0 (success), a negative hvxretval, or a positive number: the
// firmware's error_code, an errno value, a raw cmd_err, or 0xFFFF (the variable does
// not exist on this adapter).
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

// Device names that reach a function through its PCI memory window carry this marker
// ("zelt_pci_dev:<domain>:<bus>:<device>.<function>" in hexadecimal).
inline constexpr const char* ZELT_PCI_DEV_MARKER = "zelt_pci_dev";
bool zeltIsPciWindowName(const char* dev);

// Fills the common header of a zero-filled request: the message number, cmpl_ring
// and target_id 0xFFFF.
void hwrmInitRequest(hwrm_input_header& hdr, uint16_t req_type);

// Sends one request and fills `resp` (resp_len bytes, zero-filled first) with the
// answer. With `num_ind` > 0 and `data` given, the buffer `data` of `length` bytes
// travels by DMA; the driver writes its bus address at byte `offset` of the request
// (16 for every message but the PCIe counters); `direction` 1 = the firmware fills it.
// The channel device is opened, selected and closed for each message.
int32_t zeltnvm_send_hwrm_ioctl(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                                void* req, uint32_t req_len, void* resp, uint32_t resp_len, uint32_t num_ind,
                                uint16_t offset, uint8_t direction, void* data, uint32_t length);

// The result of a firmware error answer. `mailbox`: the answer came through the PCI
// mailbox, where a modify refused for security keeps its raw cmd_err. `saved_errno`
// is what the channel reported when the firmware gave neither code.
int32_t zeltnvmHwrmErrorResult(uint16_t req_type, uint16_t error_code, uint8_t cmd_err, int saved_errno,
                               bool mailbox);
