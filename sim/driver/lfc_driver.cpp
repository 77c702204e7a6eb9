// The firmware-channel driver: decodes zelt_lfc_req, its zlfc_fw_msg and the dma_info
// entries, copies the data buffers to and from the firmware and writes their bus
// addresses into the request at the offsets the caller gave.
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "sim/driver/sim_devices.h"
#include "sim/faults/faults.h"
#include "sim/firmware/firmware.h"
#include "sim/state/request_log.h"
#include "wire/hwrm_header.h"
#include "wire/lfc.h"

namespace zelt::sim {

namespace {

constexpr uint32_t kMaxRecordBytes = 8192;
constexpr uint32_t kMaxDmaIndications = 4;
constexpr uint64_t kMaxDmaBytes = 64ull << 20;

int fail(int& err, int value) {
    err = value;
    return -1;
}

}  // namespace

int lfc_device_ioctl(const std::string& root, uint32_t domain, unsigned long request, void* arg, int& err) {
    if (request != ZELT_LFC_IOCTL_REQ) return fail(err, ENOTTY);
    if (!arg) return fail(err, EFAULT);
    zelt_lfc_req req;
    std::memcpy(&req, arg, sizeof req);
    if (req.hdr.ver != ZELT_LFC_REQ_VERSION) return fail(err, EINVAL);
    if (req.hdr.req_type != ZELT_LFC_GENERIC_HWRM_REQ) return fail(err, EOPNOTSUPP);
    if (req.req.hreq == 0) return fail(err, EFAULT);

    // The message head and its buffer descriptions, copied in as the kernel would.
    const auto* user_msg = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(req.req.hreq));
    zlfc_fw_msg msg;
    std::memcpy(&msg, user_msg, sizeof msg);
    if (msg.num_dma_indications > kMaxDmaIndications) return fail(err, EINVAL);
    if (msg.len_req < sizeof(hwrm_input_header) || msg.len_req > kMaxRecordBytes) return fail(err, EINVAL);
    if (msg.len_resp < sizeof(hwrm_err_output) || msg.len_resp > kMaxRecordBytes) return fail(err, EINVAL);
    if (msg.usr_req == 0 || msg.usr_resp == 0) return fail(err, EFAULT);
    std::vector<dma_info> dmas(msg.num_dma_indications);
    for (uint32_t i = 0; i < msg.num_dma_indications; ++i)
        std::memcpy(&dmas[i], user_msg + zlfcDmaInfoOffset(i), sizeof(dma_info));

    std::vector<uint8_t> hwrm_req(msg.len_req);
    std::memcpy(hwrm_req.data(), reinterpret_cast<const void*>(static_cast<uintptr_t>(msg.usr_req)), msg.len_req);
    uint16_t req_type;
    std::memcpy(&req_type, hwrm_req.data(), 2);

    std::string error;
    auto session = SimSession::open(root, error);
    if (!session) return fail(err, EIO);

    uint32_t dev = (req.hdr.devfn >> 3) & 0x1F, fn = req.hdr.devfn & 7;
    ConstFunctionRef ref = find_function(session->host_view(), domain, req.hdr.bus, dev, fn);

    LfcRequestRecord log;
    log.function = ref ? ref.function->address() : std::string();
    log.domain = domain;
    log.bus = req.hdr.bus;
    log.devfn = req.hdr.devfn;
    log.ver = req.hdr.ver;
    log.req_kind = req.hdr.req_type;
    log.req_type = req_type;
    log.len_req = msg.len_req;
    log.len_resp = msg.len_resp;
    log.timeout = msg.timeout;
    log.request = hex_bytes(hwrm_req.data(), hwrm_req.size());
    uint16_t target_id;
    std::memcpy(&target_id, hwrm_req.data() + 6, 2);
    log.target_id = target_id;
    for (const auto& d : dmas) log.dma.push_back({d.length, d.offset, d.read_or_write});
    append_request_line(session->paths(), lfc_request_line(log));

    if (!ref) return fail(err, ENODEV);

    // The response address belongs to the driver: a caller that fills it in has built
    // the request wrongly.
    uint64_t resp_addr;
    std::memcpy(&resp_addr, hwrm_req.data() + offsetof(hwrm_input_header, resp_addr), sizeof resp_addr);
    if (resp_addr != 0) return fail(err, EINVAL);

    // Driver-side copies of the data buffers, mapped for the device. A bus address is
    // written into the request body (never its header), and the descriptor's spare
    // byte and direction must be what the driver knows.
    DmaMap map;
    std::vector<std::vector<uint8_t>> copies(dmas.size());
    for (size_t i = 0; i < dmas.size(); ++i) {
        const dma_info& d = dmas[i];
        if (d.length > kMaxDmaBytes) return fail(err, ENOMEM);
        if (d.data == 0 && d.length) return fail(err, EFAULT);
        if (d.offset < sizeof(hwrm_input_header) || d.offset + sizeof(uint64_t) > hwrm_req.size()) return fail(err, EINVAL);
        if (d.unused != 0 ||
            (d.read_or_write != ZELT_LFC_DMA_DEVICE_TO_HOST && d.read_or_write != ZELT_LFC_DMA_HOST_TO_DEVICE))
            return fail(err, EINVAL);
        copies[i].assign(d.length, 0);
        if (d.read_or_write == ZELT_LFC_DMA_HOST_TO_DEVICE && d.length)
            std::memcpy(copies[i].data(), reinterpret_cast<const void*>(static_cast<uintptr_t>(d.data)), d.length);
        uint64_t bus = map.map(copies[i]);
        std::memcpy(hwrm_req.data() + d.offset, &bus, sizeof bus);
    }

    const AdapterDesc& adapter = *ref.adapter;
    FirmwareContext ctx{adapter, *ref.function, session->adapter_state(adapter.name),
                        session->flash_model(adapter.name), session->now_us(), &session->host_view().faults};
    std::vector<uint8_t> response(msg.len_resp, 0);
    const uint64_t response_bus = map.map_response(response);
    std::memcpy(hwrm_req.data() + offsetof(hwrm_input_header, resp_addr), &response_bus, sizeof response_bus);
    int result = 0;
    const FaultDesc* fault = match_message_fault(*session, adapter, *ref.function, req_type);
    auto time_out = [&] {
        // The driver waits the whole time-out before it gives up.
        session->state().clock_offset_us += int64_t{msg.timeout} * 1000;
        err = ETIMEDOUT;
        result = -1;
    };
    if (fault && fault->kind == "busy") {
        err = EBUSY;
        result = -1;
    } else if (fault && (fault->kind == "timeout" || fault->kind == "unresponsive")) {
        time_out();
    } else if (fault && fault->kind == "lfc_errno") {
        err = fault->err_no ? fault->err_no : EIO;
        result = -1;
    } else if (firmware_down(ctx)) {
        time_out();
    } else if (fault && fault->kind == "hwrm_error") {
        firmware_error_answer(hwrm_req, response, fault->error_code, fault->cmd_err);
    } else {
        firmware_answer(ctx, hwrm_req, response, map);
        // Every answer states its length; none means the firmware never answered, and
        // the driver waits it out.
        uint16_t resp_len = 0;
        std::memcpy(&resp_len, response.data() + offsetof(hwrm_output_header, resp_len), sizeof resp_len);
        if (resp_len == 0) time_out();
    }

    if (result == 0) {
        // The answer goes back to the caller; an answer carrying a firmware error fails
        // the ioctl, so the caller reads the error from the response record.
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(msg.usr_resp)), response.data(), response.size());
        for (size_t i = 0; i < dmas.size(); ++i) {
            if (dmas[i].read_or_write == ZELT_LFC_DMA_DEVICE_TO_HOST && dmas[i].length)
                std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(dmas[i].data)), copies[i].data(),
                            dmas[i].length);
        }
        uint16_t error_code;
        std::memcpy(&error_code, response.data(), 2);
        if (error_code != 0) {
            err = EIO;
            result = -1;
        }
    }
    const int signal = match_signal_fault(*session, adapter, *ref.function, req_type, -1);
    std::string save_error;
    if (!session->save(save_error) && result == 0) return fail(err, EIO);
    if (signal) ::raise(signal);
    return result;
}

}  // namespace zelt::sim
