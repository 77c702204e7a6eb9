// The firmware's side of a message that came through the PCI mailbox: there is no
// driver to map buffers, so the response record and the message's data travel through
// the mailbox itself.
#include <cstddef>
#include <cstring>

#include "sim/driver/sim_devices.h"
#include "sim/faults/faults.h"
#include "sim/firmware/firmware.h"
#include "sim/state/request_log.h"
#include "wire/hwrm_header.h"

namespace zelt::sim {

namespace {

// The largest answer record the firmware writes.
constexpr size_t kMaxAnswerBytes = 8192;

}  // namespace

MailboxAnswer mailbox_firmware_answer(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                      std::span<const uint8_t> request_in, std::span<uint8_t> payload) {
    MailboxAnswer out;
    std::vector<uint8_t> request(request_in.begin(), request_in.end());
    uint16_t req_type = 0, target_id = 0;
    if (request.size() >= 2) std::memcpy(&req_type, request.data(), 2);
    if (request.size() >= 8) std::memcpy(&target_id, request.data() + 6, 2);
    append_request_log(session.paths(), nlohmann::json{{"channel", "mailbox"},
                                                       {"function", function.address()},
                                                       {"req_type", req_type},
                                                       {"target_id", target_id},
                                                       {"len_req", request.size()},
                                                       {"len_payload", payload.size()},
                                                       {"request", hex_bytes(request.data(), request.size())}});

    DmaMap map;
    map.carry_through_mailbox(payload);
    std::vector<uint8_t> response(kMaxAnswerBytes, 0);
    // The firmware answers into its own record and sends it through the mailbox; the
    // request's response address (on a multi-host adapter, the tag) names no memory.
    const uint64_t response_bus = map.map_response(response);
    if (request.size() >= sizeof(hwrm_input_header))
        std::memcpy(request.data() + offsetof(hwrm_input_header, resp_addr), &response_bus, sizeof response_bus);

    FirmwareContext ctx{adapter, function, session.adapter_state(adapter.name), session.flash_model(adapter.name),
                        session.now_us(), &session.host_view().faults};
    const FaultDesc* fault = match_message_fault(session, adapter, function, req_type);
    if (fault && (fault->kind == "busy" || fault->kind == "timeout" || fault->kind == "unresponsive")) {
        out.silent = true;
    } else if (firmware_down(ctx)) {
        out.silent = true;
    } else if (fault && fault->kind == "hwrm_error") {
        firmware_error_answer(request, response, fault->error_code, fault->cmd_err);
    } else {
        firmware_answer(ctx, request, response, map);
    }
    if (out.silent) return out;

    uint16_t resp_len = 0;
    std::memcpy(&resp_len, response.data() + offsetof(hwrm_output_header, resp_len), sizeof resp_len);
    if (resp_len == 0) {
        out.silent = true;  // the firmware had nothing to answer with
        return out;
    }
    response.resize(resp_len);
    out.response = std::move(response);
    for (const auto& block : map.device_blocks()) out.payload.push_back(block);
    return out;
}

}  // namespace zelt::sim
