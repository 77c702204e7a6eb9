// Fixture for the simulated-host tests: a fresh host directory, a SimHost on it, and a
// small client that sends firmware messages through the simulated firmware-channel
// device the way the utility encodes them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/create/host_setup.h"
#include "sim/firmware/firmware.h"
#include "sim/host/sim_host.h"
#include "sim/state/request_log.h"
#include "tests/support/run_program.h"
#include "wire/hwrm_header.h"
#include "wire/hwrm_messages.h"
#include "wire/lfc.h"

namespace zelt::sim::test {

// Result of one firmware message: the ioctl's return and errno, and the answer bytes.
struct HwrmReply {
    int rc = 0;
    int err = 0;
    std::vector<uint8_t> response;

    uint16_t error_code() const { return word(0); }
    uint8_t cmd_err() const { return response.size() > 14 ? response[14] : 0; }
    template <class T>
    T as() const {
        T out{};
        std::memcpy(&out, response.data(), std::min(sizeof out, response.size()));
        return out;
    }

private:
    uint16_t word(size_t off) const {
        uint16_t v = 0;
        if (response.size() >= off + 2) std::memcpy(&v, response.data() + off, 2);
        return v;
    }
};

// A data buffer sent with a message.
struct DmaBuf {
    std::vector<uint8_t>* bytes = nullptr;
    uint16_t offset = HWRM_DMA_ADDR_OFFSET;
    uint8_t direction = ZELT_LFC_DMA_DEVICE_TO_HOST;
};

// A simulated host in a temporary directory with a SimHost on it, and the message client.
class SimHostFixture {
public:
    void create(HostSetup setup = default_setup()) {
        std::string error;
        ASSERT_TRUE(create_host(root(), std::move(setup), error)) << error;
        host_ = std::make_unique<SimHost>(root());
    }
    const std::string& root() const { return dir_.path(); }
    SimHost& host() { return *host_; }

    // Sends `request` (its header filled here as the utility does) to a function.
    template <class Request, class Response>
    HwrmReply send(uint32_t domain, uint32_t bus, uint32_t dev, uint32_t fn, Request request, const DmaBuf& dma = {}) {
        HwrmReply reply;
        auto* hdr = reinterpret_cast<hwrm_input_header*>(&request);
        hdr->cmpl_ring = HWRM_CMPL_RING_DEFAULT;
        // The installation request is addressed to target 0, every other to the firmware.
        hdr->target_id = hdr->req_type == HWRM_NVM_INSTALL_UPDATE ? 0 : HWRM_TARGET_ID_DEFAULT;
        reply.response.assign(sizeof(Response), 0);
        int fd = host().device_open(ZELT_LFC_DEVICE_PATH, 2);
        if (fd < 0) {
            reply.rc = -1;
            reply.err = errno;
            return reply;
        }
        zelt_lfc_generic_msg sel{ZELT_LFC_SELECT_DOMAIN_KEY, {0, 0, 0}, domain};
        EXPECT_EQ(host().device_write(fd, &sel, sizeof sel), 8);
        std::vector<uint8_t> msg(zlfcDmaInfoOffset(3), 0);
        zlfc_fw_msg head{};
        head.usr_req = reinterpret_cast<uintptr_t>(&request);
        head.usr_resp = reinterpret_cast<uintptr_t>(reply.response.data());
        head.len_req = sizeof(Request);
        head.len_resp = sizeof(Response);
        head.timeout = hwrmMessageTimeoutMs(hdr->req_type);
        if (dma.bytes) {
            head.num_dma_indications = 1;
            dma_info d{reinterpret_cast<uintptr_t>(dma.bytes->data()), static_cast<uint32_t>(dma.bytes->size()),
                       dma.offset, dma.direction, 0};
            std::memcpy(msg.data() + zlfcDmaInfoOffset(0), &d, sizeof d);
        }
        std::memcpy(msg.data(), &head, sizeof head);
        zelt_lfc_req req{};
        req.hdr = {ZELT_LFC_REQ_VERSION, bus, zeltLfcDevfn(dev, fn), ZELT_LFC_GENERIC_HWRM_REQ};
        req.req.hreq = reinterpret_cast<uintptr_t>(msg.data());
        reply.rc = host().device_ioctl(fd, ZELT_LFC_IOCTL_REQ, &req);
        reply.err = reply.rc ? errno : 0;
        host().device_close(fd);
        return reply;
    }

    // The first function of the default host's Kestra adapter (0000:03:00.0) and of the
    // older adapter (0000:13:00.0).
    template <class Request, class Response>
    HwrmReply send_kestra(Request request, const DmaBuf& dma = {}) {
        return send<Request, Response>(0, 0x03, 0, 0, request, dma);
    }
    template <class Request, class Response>
    HwrmReply send_older(Request request, const DmaBuf& dma = {}) {
        return send<Request, Response>(0, 0x13, 0, 0, request, dma);
    }

    int run_zeltsim(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
        args.insert(args.begin(), ZELT_PROGRAM("zeltsim"));
        zelt::test::RunResult r = zelt::test::run_program(args);
        if (out) *out = r.out;
        if (err) *err = r.err;
        return r.status;
    }

    zelt::test::TempDir dir_;
    std::unique_ptr<SimHost> host_;
};

class SimHostTest : public ::testing::Test, public SimHostFixture {};

// A host built from a configuration text, for tests that need a host of their own.
class SimHostTestHost : public SimHostFixture {
public:
    explicit SimHostTestHost(const char* config) {
        HostSetup setup;
        std::string error;
        bool ok = setup_from_json(nlohmann::json::parse(config), setup, error);
        EXPECT_TRUE(ok) << error;
        if (ok) create(std::move(setup));
    }
};

template <class T>
T zeroed_request(uint16_t req_type) {
    T r{};
    r.hdr.req_type = req_type;
    return r;
}

}  // namespace zelt::sim::test
