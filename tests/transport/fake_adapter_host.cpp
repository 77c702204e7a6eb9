#include "tests/transport/fake_adapter_host.h"

#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zelt::test {

namespace {
constexpr int kChannelFd = 77;
}

uint16_t FakeAdapterHost::Message::req_type() const { return as<hwrm_input_header>().req_type; }
uint16_t FakeAdapterHost::Message::target_id() const { return as<hwrm_input_header>().target_id; }

int FakeAdapterHost::device_open(std::string_view path, int) {
    if (!channel_present || path != ZELT_LFC_DEVICE_PATH) {
        errno = ENOENT;
        return -1;
    }
    ++opens;
    return kChannelFd;
}

long FakeAdapterHost::device_write(int fd, const void* data, size_t size) {
    if (fd != kChannelFd || size != sizeof(zelt_lfc_generic_msg)) {
        errno = EINVAL;
        return -1;
    }
    zelt_lfc_generic_msg msg;
    std::memcpy(&msg, data, sizeof msg);
    if (msg.key == ZELT_LFC_SELECT_DOMAIN_KEY) selected_domain_ = msg.value;
    return select_write_result;
}

int FakeAdapterHost::device_ioctl(int fd, unsigned long request, void* arg) {
    if (fd != kChannelFd || request != ZELT_LFC_IOCTL_REQ) {
        errno = ENOTTY;
        return -1;
    }
    Message m;
    m.selected_domain = selected_domain_;
    std::memcpy(&m.lfc, arg, sizeof m.lfc);
    const auto* head = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(m.lfc.req.hreq));
    std::memcpy(&m.msg, head, sizeof m.msg);
    for (uint32_t i = 0; i < m.msg.num_dma_indications; ++i) {
        dma_info d;
        std::memcpy(&d, head + zlfcDmaInfoOffset(i), sizeof d);
        m.dma.push_back(d);
    }
    const auto* req = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(m.msg.usr_req));
    m.request.assign(req, req + m.msg.len_req);
    auto* resp = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(m.msg.usr_resp));
    uint8_t* data = nullptr;
    uint32_t data_len = 0;
    if (!m.dma.empty()) {
        data = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(m.dma[0].data));
        data_len = m.dma[0].length;
    }
    messages.push_back(m);
    int err = firmware(messages.back(), resp, m.msg.len_resp, data, data_len);
    if (err == 0) return 0;
    errno = err;
    return -1;
}

void FakeAdapterHost::device_close(int fd) {
    if (fd == kChannelFd) ++closes;
}

int FakeAdapterHost::interface_ioctl(unsigned long request, struct ifreq* ifr) {
    if (request != SIOCETHTOOL) {
        errno = EOPNOTSUPP;
        return -1;
    }
    EthtoolCall call;
    call.ifname = ifr->ifr_name;
    void* arg = ifr->ifr_data;
    std::memcpy(&call.cmd, arg, sizeof call.cmd);
    size_t head = sizeof(uint32_t);
    switch (call.cmd) {
        case ETHTOOL_GEEPROM:
        case ETHTOOL_GMODULEEEPROM: head = sizeof(ethtool_eeprom); break;
        case ETHTOOL_SEEPROM: head = sizeof(ethtool_eeprom) + static_cast<ethtool_eeprom*>(arg)->len; break;
        case ETHTOOL_FLASHDEV: head = sizeof(ethtool_flash); break;
        case ETHTOOL_SET_DUMP:
        case ETHTOOL_GET_DUMP_FLAG:
        case ETHTOOL_GET_DUMP_DATA: head = sizeof(ethtool_dump); break;
        case ETHTOOL_GDRVINFO: head = sizeof(ethtool_drvinfo); break;
        default: break;
    }
    const auto* bytes = static_cast<const uint8_t*>(arg);
    call.arg.assign(bytes, bytes + head);
    ethtool_calls.push_back(call);
    int err = driver(ethtool_calls.back(), arg);
    if (err == 0) return 0;
    errno = err;
    return -1;
}

void writeErrorAnswer(uint8_t* resp, uint32_t resp_len, uint16_t error_code, uint8_t cmd_err) {
    hwrm_err_output err{};
    err.error_code = error_code;
    err.cmd_err = cmd_err;
    err.valid = 1;
    std::memcpy(resp, &err, std::min<size_t>(sizeof err, resp_len));
}

}  // namespace zelt::test
