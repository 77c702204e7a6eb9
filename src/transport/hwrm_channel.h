// The one road of a firmware message: framing, the firmware-channel device
// /dev/zelt_lfc with the PCI mailbox as fall-back, and the translation of the
// firmware's error answer into a result.
//
// A failed exchange says where it failed: the tool (a negative hvxretval), the
// firmware (its error_code and cmd_err, with the integer the tool reports for that
// answer: the error_code, a raw or translated cmd_err, or 0xFFFF when the variable
// does not exist on this adapter), or the driver (an errno value).
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::host {
class Host;
}
#include "wire/hwrm_header.h"

namespace zelt::transport {

// A data buffer that travels with a message by DMA.
struct HwrmData {
    void* data = nullptr;
    uint32_t length = 0;
    uint16_t offset = HWRM_DMA_ADDR_OFFSET;  // where the driver writes its bus address
    uint8_t direction = 1;                   // 1: the firmware fills it
};

// One request and the room for its answer, with an optional data buffer.
struct Message {
    void* req = nullptr;
    uint32_t req_len = 0;
    void* resp = nullptr;
    uint32_t resp_len = 0;
    const HwrmData* data = nullptr;
};

// Sends one request to `fn` through its channel and fills the answer (zero-filled
// first). A request or answer too short for its header, or a function without a
// channel: HVXRETVAL_INVALID_PARAMETER.
Result send_message(const Function& fn, const Message& msg);

struct MailboxRun;
class MailboxRoad;

// The two message roads the channels use. Through /dev/zelt_lfc of `host` (opened,
// selected and closed for each message), or through `mailbox` when the device has gone
// since the channel was chosen:
Result send_by_firmware_channel(host::Host& host, const MailboxRoad& mailbox, const Function& fn,
                                const Message& msg);
// Through the PCI mailbox of the function, with the run's mailbox state:
Result send_by_mailbox(host::Host& host, MailboxRun& run, const Function& fn, const Message& msg);

// The result of a firmware error answer. `mailbox`: the answer came through the PCI
// mailbox, where a modify refused for security keeps its raw cmd_err. `saved_errno`
// is what the channel reported when the firmware gave neither code.
Result hwrm_error_result(uint16_t req_type, uint16_t error_code, uint8_t cmd_err, int saved_errno, bool mailbox);

// The firmware reset message (hwrm_fw_reset) to `fn`, the road every channel resets by
// today.
Result send_fw_reset(const Function& fn, const ResetRequest& request);

// Fills the common header of a zero-filled request: the message number, cmpl_ring
// and target_id 0xFFFF.
void hwrmInitRequest(hwrm_input_header& hdr, uint16_t req_type);

}  // namespace zelt::transport
