// A host whose firmware-channel device and ethtool interface are scripted by the test
// and record exactly what the tool handed them. Files live under a temporary root.
#pragma once

#include <sys/time.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/linux_host.h"
#include "wire/ethtool_nvm.h"
#include "wire/hwrm_header.h"
#include "wire/lfc.h"

namespace zelt::test {

class FakeAdapterHost : public host::LinuxHost {
public:
    explicit FakeAdapterHost(std::string root) : LinuxHost(std::move(root)) {}

    // ---- Firmware-channel device ----------------------------------------------------
    struct Message {
        uint32_t selected_domain = 0;
        zelt_lfc_req lfc{};
        zlfc_fw_msg msg{};
        std::vector<dma_info> dma;
        std::vector<uint8_t> request;  // the request record as sent

        uint16_t req_type() const;
        uint16_t target_id() const;
        template <class In>
        In as() const {
            In in{};
            std::memcpy(&in, request.data(), std::min(sizeof in, request.size()));
            return in;
        }
    };
    // Answers one message: fills `resp` and the DMA buffer (`data`, may be null).
    // Returns 0 for a successful ioctl, or the errno it fails with.
    using Firmware = std::function<int(const Message&, uint8_t* resp, uint32_t resp_len, uint8_t* data,
                                       uint32_t data_len)>;

    bool channel_present = true;
    long select_write_result = sizeof(zelt_lfc_generic_msg);
    Firmware firmware = [](const Message&, uint8_t*, uint32_t, uint8_t*, uint32_t) { return 0; };
    std::vector<Message> messages;
    int opens = 0;
    int closes = 0;

    // ---- Ethernet driver (SIOCETHTOOL) ------------------------------------------------
    struct EthtoolCall {
        std::string ifname;
        uint32_t cmd = 0;
        std::vector<uint8_t> arg;  // the argument's head, plus the data of a write

        template <class Head>
        Head head() const {
            Head h{};
            std::memcpy(&h, arg.data(), std::min(sizeof h, arg.size()));
            return h;
        }
    };
    // Serves one command on the argument in place. Returns 0 or the errno.
    using Driver = std::function<int(const EthtoolCall&, void* arg)>;
    Driver driver = [](const EthtoolCall&, void*) { return 0; };
    std::vector<EthtoolCall> ethtool_calls;

    // ---- Clock ------------------------------------------------------------------------
    struct timeval fixed_now{};
    struct timeval now() override { return fixed_now; }

    int device_open(std::string_view path, int flags) override;
    long device_write(int fd, const void* data, size_t size) override;
    int device_ioctl(int fd, unsigned long request, void* arg) override;
    void device_close(int fd) override;
    int interface_ioctl(unsigned long request, struct ifreq* ifr) override;

private:
    uint32_t selected_domain_ = 0;
};

// An answer in the error form.
void writeErrorAnswer(uint8_t* resp, uint32_t resp_len, uint16_t error_code, uint8_t cmd_err);

// Writes `record` as the answer.
template <class Out>
void writeAnswer(uint8_t* resp, uint32_t resp_len, const Out& record) {
    std::memcpy(resp, &record, std::min<size_t>(sizeof record, resp_len));
}

}  // namespace zelt::test
