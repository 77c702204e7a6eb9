// A small helper over send_message for the message wrappers: frames the header of a
// zero-filled request and sends it to a function.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"
#include "transport/hwrm_channel.h"
#include "wire/hwrm_header.h"

namespace zelt::transport {

Result exchangeRaw(const Function& fn, uint16_t req_type, void* req, uint32_t req_len, void* resp, uint32_t resp_len,
                   const HwrmData* data);

// Sends `req` (body fields already set) as message `req_type` to `fn`, answer into
// `resp`.
template <class In, class Out>
Result exchange(const Function& fn, uint16_t req_type, In& req, Out& resp, const HwrmData* data = nullptr) {
    return exchangeRaw(fn, req_type, &req, sizeof(In), &resp, sizeof(Out), data);
}

}  // namespace zelt::transport
