// A small helper over zeltnvm_send_hwrm_ioctl for the message wrappers: frames the
// header of a zero-filled request, resolves the function's address from its device
// name when none is given, and sends.
#pragma once

#include <cstdint>

#include "transport/hwrm_channel.h"
#include "wire/hwrm_header.h"

namespace zelt::transport {

struct PciFunctionAddress {
    uint32_t domain = 0;
    uint32_t bus = 0;
    uint32_t device = 0;
    uint32_t function = 0;
};

// A data buffer that travels with a message.
struct HwrmData {
    void* data = nullptr;
    uint32_t length = 0;
    uint16_t offset = HWRM_DMA_ADDR_OFFSET;  // where the driver writes its bus address
    uint8_t direction = 1;                   // 1: the firmware fills it
};

// Resolves `dev` (zeltDrvInfo). 0 or its failure.
int32_t resolveAddress(const char* dev, PciFunctionAddress& addr);

int32_t exchangeRaw(const char* dev, const PciFunctionAddress& addr, uint16_t req_type, void* req, uint32_t req_len,
                    void* resp, uint32_t resp_len, const HwrmData* data);

// Sends `req` (body fields already set) as message `req_type` to the function at
// `addr`, answer into `resp`.
template <class In, class Out>
int32_t exchange(const char* dev, const PciFunctionAddress& addr, uint16_t req_type, In& req, Out& resp,
                 const HwrmData* data = nullptr) {
    return exchangeRaw(dev, addr, req_type, &req, sizeof(In), &resp, sizeof(Out), data);
}

// The same for a function known only by its device name.
template <class In, class Out>
int32_t exchangeByName(const char* dev, uint16_t req_type, In& req, Out& resp, const HwrmData* data = nullptr) {
    PciFunctionAddress addr;
    int32_t rc = resolveAddress(dev, addr);
    if (rc != 0) return rc;
    return exchange(dev, addr, req_type, req, resp, data);
}

}  // namespace zelt::transport
