#include "transport/hwrm_channel.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "common/hvxretval.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/mailbox.h"
#include "wire/hwrm_answer.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/lfc.h"

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

uint16_t requestType(const void* req, uint32_t req_len) {
    if (req_len < sizeof(uint16_t)) return 0;
    uint16_t type;
    std::memcpy(&type, req, sizeof type);
    return le16_to_cpu(type);
}

int32_t sendByMailbox(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, void* req, uint32_t req_len,
                      void* resp, uint32_t resp_len, uint16_t offset, uint8_t direction, void* data, uint32_t length) {
    if (req_len >= sizeof(hwrm_input_header)) {
        auto* hdr = static_cast<hwrm_input_header*>(req);
        hdr->target_id = cpu_to_le16(HWRM_TARGET_ID_MAILBOX);
    }
    int32_t rc = zeltnvm_issue_pci_ioctl(domain, bus, device, function, req, req_len, resp, resp_len, offset,
                                         direction, data, length);
    if (rc != 0) return rc;
    HwrmAnswerStatus status = answerStatus(resp, resp_len);
    if (status.error_code == 0) return 0;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "err->cmd_err = %d\n", status.cmd_err);
    return zeltnvmHwrmErrorResult(requestType(req, req_len), status.error_code, status.cmd_err, 0, true);
}

}  // namespace

bool zeltIsPciWindowName(const char* dev) { return dev && std::strstr(dev, ZELT_PCI_DEV_MARKER) != nullptr; }

void hwrmInitRequest(hwrm_input_header& hdr, uint16_t req_type) {
    hdr.req_type = cpu_to_le16(req_type);
    hdr.cmpl_ring = cpu_to_le16(HWRM_CMPL_RING_DEFAULT);
    hdr.target_id = cpu_to_le16(HWRM_TARGET_ID_DEFAULT);
}

int32_t zeltnvmHwrmErrorResult(uint16_t req_type, uint16_t error_code, uint8_t cmd_err, int saved_errno,
                               bool mailbox) {
    if (cmd_err == 0) {
        if (error_code != 0) return error_code;
        // A failed exchange must never read as success, even when the channel left
        // errno unset.
        return saved_errno != 0 ? saved_errno : HVXRETVAL_FAILURE;
    }
    switch (req_type) {
        case HWRM_NVM_GET_VARIABLE:
        case HWRM_NVM_SET_VARIABLE:
            if (cmd_err == HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST) return 0xFFFF;
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

int32_t zeltnvm_send_hwrm_ioctl(const char* dev, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function,
                                void* req, uint32_t req_len, void* resp, uint32_t resp_len, uint32_t num_ind,
                                uint16_t offset, uint8_t direction, void* data, uint32_t length) {
    if (!req || !resp || req_len < sizeof(hwrm_input_header) || resp_len < sizeof(hwrm_output_header))
        return HVXRETVAL_INVALID_PARAMETER;
    std::memset(resp, 0, resp_len);

    if (zeltIsPciWindowName(dev))
        return sendByMailbox(domain, bus, device, function, req, req_len, resp, resp_len, offset, direction, data,
                             length);

    auto& host = zelt::host::current();
    ChannelDevice channel(host);
    if (!channel.is_open())
        return sendByMailbox(domain, bus, device, function, req, req_len, resp, resp_len, offset, direction, data,
                             length);

    zelt_lfc_generic_msg select{};
    select.key = ZELT_LFC_SELECT_DOMAIN_KEY;
    select.value = domain;
    if (host.device_write(channel.fd(), &select, sizeof select) != static_cast<long>(sizeof select))
        return HVXRETVAL_FAILURE;

    // The message head and its buffer descriptions, with room for two spare entries.
    const size_t record_size = zlfcDmaInfoOffset(static_cast<size_t>(num_ind) + 2) - sizeof(zlfc_fw_msg);
    std::unique_ptr<uint64_t[]> record(new (std::nothrow) uint64_t[record_size / sizeof(uint64_t)]());
    if (!record) return HVXRETVAL_MALLOC_FAILURE;
    auto* msg = reinterpret_cast<zlfc_fw_msg*>(record.get());
    msg->usr_req = reinterpret_cast<uintptr_t>(req);
    msg->usr_resp = reinterpret_cast<uintptr_t>(resp);
    msg->len_req = req_len;
    msg->len_resp = resp_len;
    const uint16_t req_type = requestType(req, req_len);
    msg->timeout = hwrmMessageTimeoutMs(req_type);
    if (data && num_ind > 0) {
        msg->num_dma_indications = num_ind;
        auto* dma = reinterpret_cast<dma_info*>(reinterpret_cast<uint8_t*>(msg) + zlfcDmaInfoOffset(0));
        dma->data = reinterpret_cast<uintptr_t>(data);
        dma->length = length;
        dma->offset = offset;
        dma->read_or_write = direction;
    }

    zelt_lfc_req lfc{};
    lfc.hdr.ver = ZELT_LFC_REQ_VERSION;
    lfc.hdr.bus = bus;
    lfc.hdr.devfn = zeltLfcDevfn(device, function);
    lfc.hdr.req_type = ZELT_LFC_GENERIC_HWRM_REQ;
    lfc.req.hreq = reinterpret_cast<uintptr_t>(msg);

    errno = 0;
    int rc = host.device_ioctl(channel.fd(), ZELT_LFC_IOCTL_REQ, &lfc);
    const int saved_errno = errno;
    HwrmAnswerStatus status = answerStatus(resp, resp_len);
    // A driver that copies a firmware error answer without failing the ioctl must not
    // turn that error into success.
    if (rc == 0 && status.error_code == 0) return 0;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "cmd_err = %d error_code = %d errno = %d\n", status.cmd_err,
                  status.error_code, rc == 0 ? 0 : saved_errno);
    return zeltnvmHwrmErrorResult(req_type, status.error_code, status.cmd_err, rc == 0 ? 0 : saved_errno, false);
}
