// The PCI mailbox handshake against a scripted firmware side of an in-memory chip:
// requests, data in both directions, the length and tag checks, time-outs, and the
// state every failure leaves behind.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "common/hvxretval.h"
#include "tests/support/fake_chip_host.h"
#include "transport/fw_health.h"
#include "transport/mailbox.h"
#include "transport/mailbox_release.h"
#include "wire/hwrm_header.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

using transport::MailboxOutcome;
using transport::MailboxRun;

constexpr PciAddress kFn = FakeChipHost::kAddress;
constexpr uint32_t kHostBits = bar::kCtrlHrts | bar::kCtrlHcts | bar::kCtrlDataValid;

// A response block of `bytes` bytes: its header, then the dwords (seq_id echoed, a
// marker in the last dword).
std::vector<uint32_t> response_block(uint32_t type, uint32_t bytes, const std::vector<uint32_t>& tag = {}) {
    std::vector<uint32_t> out{bar::block_header(type, bytes)};
    out.insert(out.end(), tag.begin(), tag.end());
    for (uint32_t i = 0; i < (bytes + 3) / 4; ++i) out.push_back(i == 0 ? 0x00000000u : 0xA0000000u + i);
    return out;
}

struct Exchange {
    std::array<uint8_t, 24> req{};
    std::array<uint8_t, 64> resp{};
    transport::HwrmData data{};
    transport::Message msg{};

    explicit Exchange(uint16_t req_type, void* buffer = nullptr, uint32_t length = 0, uint8_t direction = 1) {
        std::memcpy(req.data(), &req_type, 2);
        data = transport::HwrmData{buffer, length, HWRM_DMA_ADDR_OFFSET, direction};
        msg = transport::Message{req.data(), static_cast<uint32_t>(req.size()), resp.data(),
                                 static_cast<uint32_t>(resp.size()), buffer ? &data : nullptr};
    }
};

class Mailbox : public ::testing::Test {
protected:
    MailboxOutcome run(FakeChipHost& host, Exchange& x) { return transport::zeltnvm_issue_pci_ioctl(host, run_, kFn, x.msg); }
    // Nothing left mapped, the handshake clean.
    static void expect_released(FakeChipHost& host, const char* what) {
        EXPECT_EQ(host.chip.live_windows, 0) << what;
        EXPECT_EQ(host.chip.ctrl() & kHostBits, 0u) << what;
    }
    MailboxRun run_;
};

// The request area ends at the doorbell: a request filling it is sent, one byte more
// is refused before anything is written.
TEST_F(Mailbox, RequestsUpToTheWholeRequestAreaAreSent) {
    const uint32_t area = bar::kRequestAreaEnd - bar::kRequestArea;
    for (const uint32_t len : {area, area + 1}) {
        FakeChipHost host(pf_of_type(5));
        host.chip.answer = [](FakeChip&) { return response_block(bar::kBlockResponse, 64); };
        Exchange x(HWRM_VER_GET);
        std::vector<uint8_t> req(len, 0);
        std::memcpy(req.data(), x.req.data(), x.req.size());
        x.msg.req = req.data();
        x.msg.req_len = len;
        const bool fits = len <= area;
        EXPECT_EQ(run(host, x).status, fits ? 0 : transport::ZELT_PCI_IOCTL_FAILURE) << len;
        EXPECT_EQ(host.chip.doorbells, fits ? 1 : 0) << len;
        expect_released(host, "request");
    }
}

TEST_F(Mailbox, AnswersAndFailuresByFirmwareBehaviour) {
    const uint32_t mh = bar::kCtrlMultiHost;
    struct Case {
        const char* what;
        int device_type;
        uint32_t ctrl;  // initial CTRL
        uint16_t req_type;
        bool silent;
        // 0: an answer of the record's size; 65, 100: a block of that many bytes; 'T': tagged with the
        // request's tag; 'W': tagged with another tag.
        int answer;
        int32_t status;
        uint32_t add_status;
        int doorbells;
        uint32_t indirect = 0;  // newest family: CTRL address named by the signature block
    } cases[] = {
        {"newest family, indirect mailbox", 8, bar::kCtrlSignature, HWRM_VER_GET, false, 0, 0, 0, 1, 0x88200040},
        {"plain answer", 5, bar::kCtrlSignature, HWRM_VER_GET, false, 0, 0, 0, 1},
        {"newest family", 8, bar::kCtrlSignature, HWRM_VER_GET, false, 0, 0, 0, 1},
        {"no mailbox signature", 5, 0, HWRM_VER_GET, false, 0, transport::ZELT_PCI_IOCTL_SIGNATURE_MISMATCH, 0, 0},
        {"busy after reset", 5, bar::kCtrlSignature | bar::kCtrlBusyAfterReset, HWRM_VER_GET, false, 0,
         transport::ZELT_PCI_IOCTL_BUSY, 0, 0},
        {"answer longer than the record", 5, bar::kCtrlSignature, HWRM_VER_GET, false, 100,
         transport::ZELT_PCI_IOCTL_INVALID_HWRM_RESP_LENGTH, bar::ZELT_PCI_IOCTL_SET_HCTS, 1},
        {"answer one byte longer than the record", 5, bar::kCtrlSignature, HWRM_VER_GET, false, 65,
         transport::ZELT_PCI_IOCTL_INVALID_HWRM_RESP_LENGTH, bar::ZELT_PCI_IOCTL_SET_HCTS, 1},
        {"multi-host answer", 5, bar::kCtrlSignature | mh, HWRM_VER_GET, false, 'T', 0, 0, 1},
        {"multi-host answer of another tag", 5, bar::kCtrlSignature | mh, HWRM_VER_GET, false, 'W',
         transport::ZELT_PCI_IOCTL_BUSY, bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER, 1},
        {"dump answer of another tag retries", 5, bar::kCtrlSignature | mh, HWRM_PORT_DSC_DUMP, false, 'W',
         transport::ZELT_PCI_IOCTL_RETRY, bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER, 1 + transport::kMailboxRetries},
        {"silent firmware", 5, bar::kCtrlSignature, HWRM_VER_GET, true, 0, transport::ZELT_PCI_IOCTL_HOST_TIMEOUT,
         bar::ZELT_PCI_IOCTL_QUERY_FRTS, 1},
    };
    for (const Case& c : cases) {
        FakeChipHost host(pf_of_type(c.device_type));
        host.chip.ctrl_address = transport::is_newest_family(c.device_type) ? bar::kMailboxCtrlNewest
                                                                            : bar::kMailboxCtrlOlder;
        if (c.indirect) {
            host.chip.regs[bar::kMailboxCtrlNewest] = 0;
            host.chip.regs[bar::kIndirectBlock + bar::kIndirectSignatureOffset] = bar::kIndirectSignature;
            host.chip.regs[bar::kIndirectBlock + bar::kIndirectCtrlAddressOffset] = c.indirect;
            host.chip.ctrl_address = c.indirect;
        }
        host.chip.ctrl() = c.ctrl;
        host.chip.silent = c.silent;
        host.chip.answer = [&c](FakeChip& chip) {
            const uint32_t tag = chip.request_word(bar::kTagOffsetResponseAddress);
            if (c.answer == 'T') return response_block(bar::kBlockTaggedResponse, 64, {tag});
            if (c.answer == 'W') return response_block(bar::kBlockTaggedResponse, 64, {tag ^ 1});
            return response_block(bar::kBlockResponse, c.answer != 0 ? static_cast<uint32_t>(c.answer) : 64);
        };
        run_ = MailboxRun{};
        Exchange x(c.req_type);
        const MailboxOutcome out = run(host, x);
        EXPECT_EQ(out.status, c.status) << c.what;
        EXPECT_EQ(out.add_status, c.add_status) << c.what;
        EXPECT_EQ(host.chip.doorbells, c.doorbells) << c.what;
        if (c.status == 0) {
            uint32_t last;
            std::memcpy(&last, &x.resp[60], 4);
            EXPECT_EQ(last, 0xA000000Fu) << c.what;
        }
        expect_released(host, c.what);
    }
}

// A function whose firmware never began to answer is not waited for again in the run.
TEST_F(Mailbox, SilentFunctionFailsAtOnceOnTheNextRequest) {
    FakeChipHost host(pf_of_type(5));
    host.chip.silent = true;
    Exchange first(HWRM_VER_GET);
    ASSERT_EQ(run(host, first).status, transport::ZELT_PCI_IOCTL_HOST_TIMEOUT);
    const uint64_t after_first = host.clock_ms;
    Exchange second(HWRM_VER_GET);
    EXPECT_EQ(run(host, second).status, transport::ZELT_PCI_IOCTL_HOST_TIMEOUT);
    EXPECT_EQ(host.chip.doorbells, 1);
    EXPECT_EQ(host.clock_ms, after_first);
    expect_released(host, "second request");
    // In recovery mode the function is tried again.
    run_.recovery_mode = true;
    host.chip.silent = false;
    host.chip.answer = [](FakeChip&) { return response_block(bar::kBlockResponse, 64); };
    Exchange third(HWRM_VER_GET);
    EXPECT_EQ(run(host, third).status, 0);
}

// Data for the firmware follows the request dword by dword (behind the tag on a
// multi-host adapter); data from the firmware arrives in payload blocks ahead of the
// answer, and may not overrun the caller's buffer.
TEST_F(Mailbox, DataBuffersInBothDirections) {
    for (const bool multi_host : {false, true}) {
        FakeChipHost host(pf_of_type(5));
        if (multi_host) host.chip.ctrl() |= bar::kCtrlMultiHost;
        host.chip.takes_payload = true;
        host.chip.answer = [](FakeChip&) { return response_block(bar::kBlockResponse, 16); };
        std::vector<uint8_t> out = {1, 2, 3, 4, 5, 6, 7};
        Exchange x(HWRM_NVM_WRITE, out.data(), static_cast<uint32_t>(out.size()), 0);
        ASSERT_EQ(run(host, x).status, 0) << multi_host;
        std::vector<uint32_t> expected = {0x04030201u, 0x00070605u};
        if (multi_host) {
            const uint32_t tag = host.chip.request_word(bar::kTagOffsetResponseAddress);
            EXPECT_EQ(host.chip.request_word(bar::kTagOffsetDmaAddress), tag);
            expected.insert(expected.begin(), tag);
        }
        EXPECT_EQ(host.chip.received, expected) << multi_host;
        expect_released(host, "write");
    }
    const struct {
        uint32_t first, second;  // payload block lengths
        int32_t status;
    } reads[] = {{8, 4, 0},
                 {8, 5, transport::ZELT_PCI_IOCTL_INVALID_PAYLOAD_LENGTH},
                 {8, 8, transport::ZELT_PCI_IOCTL_INVALID_PAYLOAD_LENGTH}};
    for (const auto& r : reads) {
        FakeChipHost host(pf_of_type(5));
        host.chip.answer = [&r](FakeChip&) {
            std::vector<uint32_t> words{bar::block_header(bar::kBlockPayload, r.first), 0x11111111, 0x22222222,
                                        bar::block_header(bar::kBlockPayload, r.second)};
            for (uint32_t i = 0; i < r.second / 4; ++i) words.push_back(0x33333333);
            const auto answer = response_block(bar::kBlockResponse, 16);
            words.insert(words.end(), answer.begin(), answer.end());
            return words;
        };
        std::vector<uint8_t> in(12, 0);
        in.resize(16, 0xEE);  // guard bytes past the caller's 12
        Exchange x(HWRM_NVM_READ, in.data(), 12, 1);
        EXPECT_EQ(run(host, x).status, r.status) << r.second;
        if (r.status == 0) {
            EXPECT_EQ(in[8], 0x33);
        }
        EXPECT_EQ(in[12], 0xEE);
        expect_released(host, "read");
    }
}

TEST_F(Mailbox, HealthRegisterBySignatureAndFamily) {
    struct Case {
        int device_type;
        uint32_t signature, status, direct;
        int map_errno;
        int32_t rc;
        bool operational;
        uint32_t word;
    } cases[] = {
        {5, 0x48435301, 0x8000, 0, 0, 0, true, 0x8000},
        {5, 0x48435301, 0x12340002, 0, 0, 0, false, 0x0002},
        {5, 0x00000000, 0x0002, 0, 0, 0, true, 0},  // no signature: the register is not trusted
        {8, 0, 0, 0x8000, 0, 0, true, 0x8000},
        {8, 0, 0, 0x0010, 0, 0, false, 0x0010},
        {5, 0x48435301, 0x8000, 0, EACCES, HVXRETVAL_PCI_IOCTL_MMAP_PERMISSION_DENIED, false, 0},
        {5, 0x48435301, 0x8000, 0, ENOENT, HVXRETVAL_PCI_IOCTL_BAR0_MMAP_FAILED, false, 0},
    };
    for (const Case& c : cases) {
        FakeChipHost host(pf_of_type(c.device_type));
        host.chip.regs[bar::kHealthSignature] = c.signature;
        host.chip.regs[bar::kHealthStatus] = c.status;
        host.direct[bar::kHealthDirectWindow] = c.direct;
        host.map_errno = c.map_errno;
        const auto health = transport::zeltnvm_get_fw_health_status(host, kFn, c.device_type);
        EXPECT_EQ(health.result().code(), c.rc) << c.device_type << " " << std::hex << c.status;
        if (health.ok()) {
            EXPECT_EQ(health->operational, c.operational) << std::hex << c.status;
            EXPECT_EQ(health->status_word, c.word) << std::hex << c.status;
        }
        EXPECT_EQ(host.chip.live_windows, 0);
    }
}

// A firmware that does not run refuses the data before any of it is sent.
TEST_F(Mailbox, DataIsNotSentToFirmwareThatDoesNotRun) {
    FakeChipHost host(pf_of_type(5));
    host.chip.regs[bar::kHealthStatus] = 0x0002;
    host.chip.takes_payload = true;
    std::vector<uint8_t> out(8, 1);
    Exchange x(HWRM_NVM_WRITE, out.data(), 8, 0);
    EXPECT_EQ(run(host, x).status, transport::ZELT_PCI_IOCTL_HOST_TIMEOUT);
    EXPECT_TRUE(host.chip.received.empty());
    expect_released(host, "unhealthy");
}

// In recovery mode the exchange runs with bus mastering on, and the command word is put
// back afterwards; outside recovery it is left alone.
TEST_F(Mailbox, BusMasteringForRecoveryExchanges) {
    for (const bool recovery : {false, true}) {
        FakeChipHost host(pf_of_type(5));
        host.put16(bar::kConfigCommand, 0x0002);
        uint16_t during = 0;
        host.chip.answer = [&](FakeChip&) {
            std::memcpy(&during, &host.config[bar::kConfigCommand], 2);
            return response_block(bar::kBlockResponse, 64);
        };
        run_ = MailboxRun{};
        run_.recovery_mode = recovery;
        Exchange x(HWRM_VER_GET);
        ASSERT_EQ(run(host, x).status, 0) << recovery;
        EXPECT_EQ(during, recovery ? 0x0006 : 0x0002) << recovery;
        uint16_t after;
        std::memcpy(&after, &host.config[bar::kConfigCommand], 2);
        EXPECT_EQ(after, 0x0002) << recovery;
    }
}

// A window over plain memory, as a real mapping is.
class MemoryWindow : public host::RegisterWindow {
public:
    size_t size() const override { return sizeof regs_; }
    uint32_t read32(size_t offset) override { return regs_[offset / 4]; }
    void write32(size_t offset, uint32_t value) override { regs_[offset / 4] = value; }
    volatile uint32_t* mapped_registers() override { return regs_; }
    uint32_t& at(size_t offset) { return regs_[offset / 4]; }

private:
    uint32_t regs_[0x8000 / 4] = {};
};

// What the fault handler does while a window is mapped: the host's bits go, the
// firmware's stay; once the window is forgotten nothing is touched, and a window that
// is not mapped memory is never armed.
TEST_F(Mailbox, ReleaseOnFaultClearsOnlyTheHostBits) {
    MemoryWindow window;
    const uint32_t firmware = bar::kCtrlSignature | bar::kCtrlFrts | bar::kCtrlMultiHost;
    uint32_t& ctrl = window.at(bar::window_offset(bar::kMailboxCtrlOlder));
    ctrl = firmware | kHostBits;
    window.at(bar::kWindowRegister) = 0xA0000000u;  // another register selected
    transport::mailbox_release_arm(&window, bar::kMailboxCtrlOlder);
    EXPECT_TRUE(transport::mailbox_release_now());
    EXPECT_EQ(ctrl, firmware);
    EXPECT_EQ(window.at(bar::kWindowRegister), bar::window_base(bar::kMailboxCtrlOlder));
    ctrl |= kHostBits;
    EXPECT_FALSE(transport::mailbox_release_now());  // released once only
    transport::mailbox_release_arm(&window, bar::kMailboxCtrlOlder);
    transport::mailbox_release_forget();
    EXPECT_FALSE(transport::mailbox_release_now());
    EXPECT_EQ(ctrl, firmware | kHostBits);
    FakeChip chip;
    FakeWindow simulated(chip);
    transport::mailbox_release_arm(&simulated, chip.ctrl_address);
    EXPECT_FALSE(transport::mailbox_release_now());
}

}  // namespace
}  // namespace zelt::test
