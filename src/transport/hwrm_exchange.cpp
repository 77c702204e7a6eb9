#include "transport/hwrm_exchange.h"

#include "transport/pci_info.h"

namespace zelt::transport {

int32_t resolveAddress(const char* dev, PciFunctionAddress& addr) {
    return zeltDrvInfo(dev, &addr.domain, &addr.bus, &addr.device, &addr.function, nullptr, nullptr);
}

int32_t exchangeRaw(const char* dev, const PciFunctionAddress& addr, uint16_t req_type, void* req, uint32_t req_len,
                    void* resp, uint32_t resp_len, const HwrmData* data) {
    hwrmInitRequest(*static_cast<hwrm_input_header*>(req), req_type);
    const bool with_data = data && data->data;
    return zeltnvm_send_hwrm_ioctl(dev ? dev : "", addr.domain, addr.bus, addr.device, addr.function, req, req_len,
                                   resp, resp_len, with_data ? 1 : 0, with_data ? data->offset : 0,
                                   with_data ? data->direction : 0, with_data ? data->data : nullptr,
                                   with_data ? data->length : 0);
}

}  // namespace zelt::transport
