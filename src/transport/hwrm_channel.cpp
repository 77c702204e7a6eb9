#include "transport/hwrm_channel.h"

#include <fcntl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "common/hvxretval.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/mailbox.h"
#include "transport/mailbox_road.h"
#include "wire/hwrm_answer.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/lfc.h"

using namespace zelt;

namespace {

// The descriptor of /dev/zelt_lfc, closed on every path.
class ChannelDevice {
public:
    explicit ChannelDevice(zelt::host::Host& host) : host_(host), fd_(host.device_open(ZELT_LFC_DEVICE_PATH, O_RDWR)) {}
    ~ChannelDevice() {
        if (fd_ >= 0) host_.device_close(fd_);
    }
    ChannelDevice(const ChannelDevice&) = delete;
    ChannelDevice& operator=(const ChannelDevice&) = delete;
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    zelt::host::Host& host_;
    int fd_;
};

HwrmAnswerStatus answerStatus(const void* resp, uint32_t resp_len) {
    HwrmAnswerStatus status;
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(resp), resp_len);
    if (!hwrmDecodeStatus(bytes, status) && resp_len >= sizeof(uint16_t)) {
        uint16_t code;
        std::memcpy(&code, resp, sizeof code);
        status.error_code = le16_to_cpu(code);
    }
    return status;
}

// The sequence number in a request or answer header (both keep it at byte 4).
uint16_t sequenceId(const void* record, uint32_t len) {
    if (len < offsetof(hwrm_input_header, seq_id) + sizeof(uint16_t)) return 0;
    uint16_t seq;
    std::memcpy(&seq, static_cast<const uint8_t*>(record) + offsetof(hwrm_input_header, seq_id), sizeof seq);
    return le16_to_cpu(seq);
}

// A success answer belongs to the request only when it echoes the request's sequence
// number; another answer (a late one, or one meant for another caller) is refused
// rather than read as this request's.
zelt::Result checkAnswerEcho(const zelt::transport::Message& m) {
    const uint16_t sent = sequenceId(m.req, m.req_len);
    const uint16_t echoed = sequenceId(m.resp, m.resp_len);
    if (sent == echoed) return zelt::Result();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "answer seq_id %u does not match the request's %u\n", echoed, sent);
    return zelt::Result::tool(HVXRETVAL_UNEXPECTED_DATA);
}

uint16_t requestType(const void* req, uint32_t req_len) {
    if (req_len < sizeof(uint16_t)) return 0;
    uint16_t type;
    std::memcpy(&type, req, sizeof type);
    return le16_to_cpu(type);
}

}  // namespace

namespace zelt::transport {

Result send_by_mailbox(host::Host& host, MailboxRun& run, const Function& fn, const Message& msg) {
    if (msg.req_len >= sizeof(hwrm_input_header)) {
        auto* hdr = static_cast<hwrm_input_header*>(msg.req);
        hdr->target_id = cpu_to_le16(HWRM_TARGET_ID_MAILBOX);
    }
    zelt::Result rc = zelt::transport::mailbox_exchange(host, run, fn.address, msg);
    if (!rc.ok()) return rc;
    HwrmAnswerStatus status = answerStatus(msg.resp, msg.resp_len);
    if (status.error_code == 0) return checkAnswerEcho(msg);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "err->cmd_err = %d\n", status.cmd_err);
    return hwrm_error_result(requestType(msg.req, msg.req_len), status.error_code, status.cmd_err, 0, true);
}

}  // namespace zelt::transport

namespace {

// The integer the tool reports for a firmware answer with a cmd_err: a few answers
// have a name of their own, the rest keep the raw cmd_err.
int32_t reported_code(uint16_t req_type, uint8_t cmd_err, bool mailbox) {
    switch (req_type) {
        case HWRM_NVM_GET_VARIABLE:
        case HWRM_NVM_SET_VARIABLE:
            if (cmd_err == HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST) return ZELT_RC_NOT_SUPPORTED;
            break;
        case HWRM_NVM_INSTALL_UPDATE:
            switch (cmd_err) {
                case HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR:
                    return HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_FRAG_ERR;
                case HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE:
                    return HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_NO_SPACE;
                case HWRM_NVM_INSTALL_UPDATE_CMD_ERR_ANTI_ROLLBACK:
                    return HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK;
                case HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_VOLTREG_SUPPORT:
                    return HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT;
                default: break;
            }
            break;
        case HWRM_NVM_MODIFY:
            if (cmd_err == HWRM_NVM_MODIFY_CMD_ERR_SECURITY_VIOLATION && !mailbox)
                return HVXRETVAL_NVM_MOD_SECURITY_VIOLATION;
            break;
        case HWRM_NVM_WRITE:
            if (cmd_err == HWRM_NVM_WRITE_CMD_ERR_FRAG_ERR) return HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_FRAG_ERR;
            if (cmd_err == HWRM_NVM_WRITE_CMD_ERR_NO_SPACE) return HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_NO_SPACE;
            break;
        default: break;
    }
    return cmd_err;
}

}  // namespace

namespace zelt::transport {

Result send_fw_reset(const Function& fn, const ResetRequest& request) {
    hwrm_fw_reset_input req{};
    hwrmInitRequest(req.hdr, HWRM_FW_RESET);
    req.embedded_proc_type = request.proc_type;
    req.selfrst_status = request.selfrst_status;
    req.host_idx = 0;
    req.flags = request.flags;
    hwrm_fw_reset_output resp{};
    return send_message(fn, Message{&req, sizeof req, &resp, sizeof resp, nullptr});
}

void hwrmInitRequest(hwrm_input_header& hdr, uint16_t req_type) {
    hdr.req_type = cpu_to_le16(req_type);
    hdr.cmpl_ring = cpu_to_le16(HWRM_CMPL_RING_DEFAULT);
    hdr.target_id = cpu_to_le16(HWRM_TARGET_ID_DEFAULT);
}

Result hwrm_error_result(uint16_t req_type, uint16_t error_code, uint8_t cmd_err, int saved_errno, bool mailbox) {
    if (cmd_err == 0) {
        if (error_code != 0) return Result::firmware(error_code, 0, error_code);
        // A failed exchange must never read as success, even when the channel left
        // errno unset.
        return saved_errno != 0 ? Result::system(saved_errno) : Result::tool(HVXRETVAL_FAILURE);
    }
    return Result::firmware(error_code, cmd_err, reported_code(req_type, cmd_err, mailbox));
}

Result send_message(const Function& fn, const Message& m) {
    if (!m.req || !m.resp || m.req_len < sizeof(hwrm_input_header) || m.resp_len < sizeof(hwrm_output_header) ||
        !fn.channel)
        return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    std::memset(m.resp, 0, m.resp_len);
    return fn.channel->send(fn, m);
}

Result send_by_firmware_channel(host::Host& host, const MailboxRoad& mailbox, const Function& fn, const Message& m) {
    ChannelDevice channel(host);
    if (!channel.is_open()) return mailbox.send(fn, m);

    zelt_lfc_generic_msg select{};
    select.key = ZELT_LFC_SELECT_DOMAIN_KEY;
    select.value = fn.address.domain;
    if (host.device_write(channel.fd(), &select, sizeof select) != static_cast<long>(sizeof select))
        return Result::tool(HVXRETVAL_FAILURE);

    const bool with_data = m.data && m.data->data;
    const uint32_t num_ind = with_data ? 1 : 0;
    // The message head and its buffer descriptions, with room for two spare entries.
    const size_t record_size = zlfcDmaInfoOffset(static_cast<size_t>(num_ind) + 2) - sizeof(zlfc_fw_msg);
    std::unique_ptr<uint64_t[]> record(new (std::nothrow) uint64_t[record_size / sizeof(uint64_t)]());
    if (!record) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    auto* msg = reinterpret_cast<zlfc_fw_msg*>(record.get());
    msg->usr_req = reinterpret_cast<uintptr_t>(m.req);
    msg->usr_resp = reinterpret_cast<uintptr_t>(m.resp);
    msg->len_req = m.req_len;
    msg->len_resp = m.resp_len;
    const uint16_t req_type = requestType(m.req, m.req_len);
    msg->timeout = hwrmMessageTimeoutMs(req_type);
    if (with_data) {
        msg->num_dma_indications = num_ind;
        auto* dma = reinterpret_cast<dma_info*>(reinterpret_cast<uint8_t*>(msg) + zlfcDmaInfoOffset(0));
        dma->data = reinterpret_cast<uintptr_t>(m.data->data);
        dma->length = m.data->length;
        dma->offset = m.data->offset;
        dma->read_or_write = m.data->direction;
    }

    zelt_lfc_req lfc{};
    lfc.hdr.ver = ZELT_LFC_REQ_VERSION;
    lfc.hdr.bus = fn.address.bus;
    lfc.hdr.devfn = zeltLfcDevfn(fn.address.device, fn.address.function);
    lfc.hdr.req_type = ZELT_LFC_GENERIC_HWRM_REQ;
    lfc.req.hreq = reinterpret_cast<uintptr_t>(msg);

    errno = 0;
    int rc = host.device_ioctl(channel.fd(), ZELT_LFC_IOCTL_REQ, &lfc);
    const int saved_errno = errno;
    HwrmAnswerStatus status = answerStatus(m.resp, m.resp_len);
    // A driver that copies a firmware error answer without failing the ioctl must not
    // turn that error into success.
    if (rc == 0 && status.error_code == 0) return checkAnswerEcho(m);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "cmd_err = %d error_code = %d errno = %d\n", status.cmd_err,
                  status.error_code, rc == 0 ? 0 : saved_errno);
    return hwrm_error_result(req_type, status.error_code, status.cmd_err, rc == 0 ? 0 : saved_errno, false);
}

}  // namespace zelt::transport
