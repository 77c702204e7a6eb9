// The management-callback channel against a scripted management library: which
// callbacks it makes with which records, and what it makes of the driver's answers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "common/hvxretval.h"
#include "host/linux_host.h"
#include "host/mgmt_library.h"
#include "transport/function.h"
#include "transport/hwrm_channel.h"
#include "transport/mgmt_channel.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/mgmt_callbacks.h"

namespace {

using namespace zelt;
namespace mgmt = zelt::wire::mgmt;
using zelt::Result;
using zelt::transport::Function;
using zelt::transport::HwrmData;
using zelt::transport::Message;
using zelt::transport::MgmtChannel;

// What one callback was given.
struct Seen {
    uint32_t number = 0;
    uint32_t timeout_ms = 0;  // passthrough callbacks
    uint8_t flags = 0;        // install callback
};

// A library whose driver answers as the test's handler says. The handler gets the
// callback number, the header (to set its status) and the payload; it returns the
// library's status.
class ScriptedLibrary : public zelt::host::MgmtLibrary {
public:
    std::function<int(uint32_t, mgmt::RequestHeader&, void*)> driver;
    bool init_fails = false;
    std::vector<Seen> seen;
    int open = 0;

    int user_init(const zelt::host::MgmtSignature& sig, zelt::host::MgmtHandle& handle) override {
        EXPECT_EQ(sig.name, "zeltnet_mgmt_if");
        EXPECT_EQ(sig.callbacks, 38u);
        if (init_fails) return 7;
        ++open;
        handle = 1;
        return 0;
    }
    int invoke(zelt::host::MgmtHandle, uint32_t number, void* header, size_t header_size, void* payload,
               size_t) override {
        EXPECT_EQ(header_size, sizeof(mgmt::RequestHeader));
        auto& h = *static_cast<mgmt::RequestHeader*>(header);
        EXPECT_EQ(h.callback, number);
        Seen s{number};
        if (number == mgmt::kCbHwrm) s.timeout_ms = static_cast<mgmt::HwrmPayload*>(payload)->timeout_ms;
        if (number == mgmt::kCbHwrmV0) s.timeout_ms = static_cast<mgmt::HwrmV0Payload*>(payload)->timeout_ms;
        if (number == mgmt::kCbInstall) s.flags = static_cast<mgmt::InstallPayload*>(payload)->flags;
        seen.push_back(s);
        return driver ? driver(number, h, payload) : 0;
    }
    void user_destroy(zelt::host::MgmtHandle) override { --open; }

    std::vector<uint32_t> numbers() const {
        std::vector<uint32_t> n;
        for (const auto& s : seen) n.push_back(s.number);
        return n;
    }
};

// Writes a firmware answer into a passthrough record.
template <class Record>
void answer(void* payload, uint16_t error_code, uint8_t cmd_err) {
    auto* r = static_cast<Record*>(payload);
    hwrm_err_output out{};
    out.error_code = error_code;
    out.cmd_err = cmd_err;
    out.resp_len = sizeof out;
    std::memcpy(r->response, &out, sizeof out);
}

struct Fixture {
    zelt::host::LinuxHost host;
    ScriptedLibrary library;
    std::shared_ptr<MgmtChannel> channel = std::make_shared<MgmtChannel>(host, library);
    Function fn{"vmnic0", {0, 3, 0, 0}, channel};

    // One message of `req_type`, with a data buffer of `data_length` bytes when not 0.
    Result send(uint16_t req_type, uint32_t data_length = 0) {
        hwrm_nvm_read_input req{};
        zelt::transport::hwrmInitRequest(req.hdr, req_type);
        hwrm_err_output resp{};
        data.assign(data_length, 0);
        HwrmData buffer{data.data(), data_length, HWRM_DMA_ADDR_OFFSET, mgmt::kDirectionDeviceToHost};
        return zelt::transport::send_message(fn, Message{&req, sizeof req, &resp, sizeof resp,
                                                         data_length ? &buffer : nullptr});
    }
    std::vector<uint8_t> data;
};

constexpr uint32_t kUnknown = mgmt::kStatusUnknownCallback;
constexpr uint32_t kRefused = mgmt::kStatusFirmwareRefused;

TEST(MgmtChannel, MessageTimeouts) {
    const struct {
        uint16_t req_type;
        bool first_revision;
        uint32_t timeout_ms;
    } cases[] = {
        {HWRM_NVM_DEFRAG, false, 100000}, {HWRM_PORT_DSC_DUMP, false, 180000}, {HWRM_VER_GET, false, 50000},
        {HWRM_NVM_DEFRAG, true, 50000},   {HWRM_PORT_DSC_DUMP, true, 180000},  {HWRM_VER_GET, true, 50000},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.library.driver = [&](uint32_t number, mgmt::RequestHeader& h, void*) {
            if (c.first_revision && number == mgmt::kCbHwrm) h.status = kUnknown;
            return 0;
        };
        EXPECT_TRUE(f.send(c.req_type).ok());
        EXPECT_EQ(f.library.seen.back().timeout_ms, c.timeout_ms) << c.req_type << " " << c.first_revision;
    }
    // The firmware channel of the other platform gives defragmentation longer.
    EXPECT_EQ(hwrmMessageTimeoutMs(HWRM_NVM_DEFRAG), 150000u);
}

TEST(MgmtChannel, MessageResults) {
    const struct {
        const char* name;
        uint16_t req_type;
        std::function<int(uint32_t, mgmt::RequestHeader&, void*)> driver;
        int32_t code;
        std::vector<uint32_t> callbacks;
    } cases[] = {
        {"answered", HWRM_VER_GET, [](uint32_t, mgmt::RequestHeader&, void*) { return 0; }, 0, {53}},
        {"firmware error, call succeeded", HWRM_VER_GET,
         [](uint32_t, mgmt::RequestHeader&, void* p) {
             answer<mgmt::HwrmPayload>(p, 5, 0);
             return 0;
         },
         5, {53}},
        {"refused: missing variable", HWRM_NVM_GET_VARIABLE,
         [](uint32_t, mgmt::RequestHeader& h, void* p) {
             h.status = kRefused;
             answer<mgmt::HwrmPayload>(p, 3, 1);
             return 0;
         },
         0xFFFF, {53}},
        {"refused: error code only", HWRM_VER_GET,
         [](uint32_t, mgmt::RequestHeader& h, void* p) {
             h.status = kRefused;
             answer<mgmt::HwrmPayload>(p, 4, 0);
             return 0;
         },
         4, {53}},
        {"not taken: first revision answers", HWRM_VER_GET,
         [](uint32_t n, mgmt::RequestHeader& h, void*) {
             if (n == mgmt::kCbHwrm) h.status = kUnknown;
             return 0;
         },
         0, {53, 46}},
        {"call itself fails: first revision answers", HWRM_VER_GET,
         [](uint32_t n, mgmt::RequestHeader&, void*) { return n == mgmt::kCbHwrm ? -1 : 0; }, 0, {53, 46}},
        {"neither revision takes it", HWRM_VER_GET,
         [](uint32_t, mgmt::RequestHeader& h, void*) {
             h.status = kUnknown;
             return 0;
         },
         HVXRETVAL_FAILURE, {53, 46}},
        {"first revision refuses with a cmd_err", HWRM_VER_GET,
         [](uint32_t n, mgmt::RequestHeader& h, void* p) {
             h.status = n == mgmt::kCbHwrm ? kUnknown : kRefused;
             if (n == mgmt::kCbHwrmV0) answer<mgmt::HwrmV0Payload>(p, 2, 6);
             return 0;
         },
         6, {53, 46}},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.library.driver = c.driver;
        EXPECT_EQ(f.send(c.req_type).code(), c.code) << c.name;
        EXPECT_EQ(f.library.numbers(), c.callbacks) << c.name;
        EXPECT_EQ(f.library.open, 0) << c.name;
    }
}

TEST(MgmtChannel, DataTransfers) {
    // The data area comes back into the caller's buffer.
    Fixture f;
    f.library.driver = [](uint32_t, mgmt::RequestHeader&, void* p) {
        auto* r = static_cast<mgmt::HwrmPayload*>(p);
        EXPECT_EQ(r->num_indications, 1u);
        EXPECT_EQ(r->dma_offset, HWRM_DMA_ADDR_OFFSET);
        std::memset(r->data, 0x5A, r->data_length);
        return 0;
    };
    ASSERT_TRUE(f.send(HWRM_NVM_READ, 40000).ok());
    EXPECT_EQ(f.data.front(), 0x5A);
    EXPECT_EQ(f.data.back(), 0x5A);

    // A read of 40000 bytes fits the passthrough but not its first revision.
    Fixture g;
    g.library.driver = [](uint32_t, mgmt::RequestHeader& h, void*) {
        h.status = kUnknown;
        return 0;
    };
    EXPECT_EQ(g.send(HWRM_NVM_READ, 40000).code(), HVXRETVAL_INVALID_LENGTH);
    EXPECT_EQ(g.library.numbers(), std::vector<uint32_t>{mgmt::kCbHwrm});

    // Longer than either record's data area: refused before any call.
    Fixture h;
    EXPECT_EQ(h.send(HWRM_NVM_READ, 65537).code(), HVXRETVAL_INVALID_LENGTH);
    EXPECT_TRUE(h.library.seen.empty());
}

TEST(MgmtChannel, RefusalsBeforeAnyCall) {
    Fixture f;
    f.library.init_fails = true;
    EXPECT_EQ(f.send(HWRM_VER_GET).code(), HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    EXPECT_TRUE(f.library.seen.empty());

    Fixture g;
    EXPECT_EQ(g.channel->erase_item(g.fn, 255).code(), HVXRETVAL_INVALID_INDEX_PARAMETER);
    EXPECT_TRUE(g.channel->erase_item(g.fn, 254).ok());
    EXPECT_EQ(g.library.numbers(), std::vector<uint32_t>{mgmt::kCbItemErase});

    EXPECT_EQ(g.channel->module_info(g.fn).result().code(), HVXRETVAL_UNSUPPORTED_PLATFORM);
    EXPECT_EQ(zelt::transport::platform_offers(g.fn, zelt::transport::PlatformOperation::kFecSignalMode).code(),
              HVXRETVAL_UNSUPPORTED_PLATFORM);
}

// The install callback's answers: the package is staged in a new update item, the clock
// set, then installed.
TEST(MgmtChannel, InstallResults) {
    struct Install {
        uint32_t status;
        uint8_t cmd_err;
        uint8_t result;
        int call;
    };
    const struct {
        const char* name;
        std::vector<Install> installs;  // the driver's answer to each install, in order
        int32_t code;
        std::vector<uint8_t> flags;
    } cases[] = {
        {"installed", {{0, 0, 0, 0}}, 0, {0}},
        {"firmware result", {{0, 0, 7, 0}}, 7, {0}},
        {"no voltage regulator support", {{kRefused, 4, 0, 0}}, HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT, {0}},
        {"even cmd_err", {{kRefused, 2, 0, 0}}, 2, {0}},
        {"odd cmd_err, then installed with defragmentation", {{kRefused, 3, 0, 0}, {0, 0, 0, 0}}, 0, {0, 4}},
        {"odd cmd_err twice", {{kRefused, 3, 0, 0}, {kRefused, 3, 0, 0}}, 2, {0, 4}},
        {"other driver failure", {{mgmt::kStatusFailure, 0, 0, 0}}, HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE, {0}},
        {"call fails", {{0, 0, 0, -1}}, HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE, {0}},
    };
    const std::vector<uint8_t> package(70000, 0xA5);
    for (const auto& c : cases) {
        Fixture f;
        size_t next = 0;
        uint32_t written = 0;
        f.library.driver = [&](uint32_t n, mgmt::RequestHeader& h, void* p) {
            switch (n) {
                case mgmt::kCbDirInfo: *static_cast<mgmt::DirInfoPayload*>(p) = {0, 32}; return 0;
                case mgmt::kCbItemCreate: {
                    auto* create = static_cast<mgmt::ItemCreatePayload*>(p);
                    EXPECT_EQ(create->type, 2);
                    EXPECT_EQ(create->item_length, package.size());
                    mgmt::set_created_index(*create, 9);
                    return 0;
                }
                case mgmt::kCbItemWrite: {
                    auto* w = static_cast<mgmt::ItemWritePayload*>(p);
                    EXPECT_EQ(w->index, 9u);
                    EXPECT_EQ(w->offset, written);
                    written += w->length;
                    return 0;
                }
                case mgmt::kCbInstall: {
                    const Install& i = c.installs.at(next++);
                    auto* a = static_cast<mgmt::InstallPayload*>(p);
                    h.status = i.status;
                    a->cmd_err = i.cmd_err;
                    a->result = i.result;
                    return i.call;
                }
                default: return 0;
            }
        };
        EXPECT_EQ(f.channel->install_package(f.fn, package, 0).code(), c.code) << c.name;
        EXPECT_EQ(written, package.size()) << c.name;
        std::vector<uint8_t> flags;
        for (const auto& s : f.library.seen)
            if (s.number == mgmt::kCbInstall) flags.push_back(s.flags);
        EXPECT_EQ(flags, c.flags) << c.name;
        EXPECT_EQ(f.library.open, 0) << c.name;
    }
}

}  // namespace
