#include "transport/hwrm_exchange.h"

namespace zelt::transport {

Result exchangeRaw(const Function& fn, uint16_t req_type, void* req, uint32_t req_len, void* resp, uint32_t resp_len,
                   const HwrmData* data) {
    hwrmInitRequest(*static_cast<hwrm_input_header*>(req), req_type);
    return send_message(fn, Message{req, req_len, resp, resp_len, data});
}

}  // namespace zelt::transport
