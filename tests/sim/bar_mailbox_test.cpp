// The simulated chip behind BAR0: a minimal host side of the mailbox handshake, written
// here from the register layout, drives the chip of a simulated function and checks
// that the firmware answers as it does on the firmware-channel road, and that each
// chip fault shows the way the host meets it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "sim/chip/bar_chip.h"
#include "sim/state/sim_store.h"
#include "sim/tree/config_space.h"
#include "tests/sim/sim_test_support.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::sim::test {
namespace {

namespace bar = wire::bar;

constexpr const char* kKestraBar = "/sys/bus/pci/devices/0000:03:00.0/resource0";
constexpr const char* kOlderBar = "/sys/bus/pci/devices/0000:13:00.0/resource0";
// The only adapter of a one-adapter host sits where the default host has its first.
constexpr const char* kFirstBar = kKestraBar;

// What one exchange came to on the host side.
struct Exchange {
    int status = 0;              // 0, 2 busy, 3 time-out, 11/12 lengths, 15 tag
    uint32_t state = 0;          // the transfer state a failure stopped in
    std::vector<uint8_t> response;
    std::vector<uint8_t> data;   // payload blocks, concatenated
    std::vector<uint32_t> headers;
};

// The host's side of the handshake over a mapped window.
class HostSide {
public:
    HostSide(host::RegisterWindow& w, uint32_t ctrl_address, size_t record_size = 512)
        : w_(w), ctrl_(ctrl_address), record_size_(record_size) {}

    uint32_t reg(uint32_t address) {
        w_.write32(bar::kWindowRegister, bar::window_base(address));
        return w_.read32(bar::window_offset(address));
    }
    void set_reg(uint32_t address, uint32_t value) {
        w_.write32(bar::kWindowRegister, bar::window_base(address));
        w_.write32(bar::window_offset(address), value);
    }
    uint32_t ctrl() { return reg(ctrl_); }
    void host_bits(uint32_t bits) { set_reg(ctrl_, (ctrl() & bar::kCtrlHostMask) | bits); }
    void clear_valid() { set_reg(ctrl_, ctrl() & ~bar::kCtrlDataValid); }
    bool wait(const std::function<bool(uint32_t)>& until, unsigned polls = 64) {
        for (unsigned i = 0; i < polls; ++i)
            if (until(ctrl())) return true;
        return false;
    }

    // Reads one dword the firmware sends.
    bool read_dword(uint32_t& word) {
        if (!wait([](uint32_t c) { return c & bar::kCtrlDataValid; })) return false;
        word = reg(ctrl_ + bar::kMailboxDataDistance);
        clear_valid();
        return true;
    }

    Exchange run(std::vector<uint8_t> request, const std::vector<uint8_t>& payload, uint32_t tag = 0) {
        Exchange x;
        auto fail = [&](int status, uint32_t state) {
            host_bits(0);
            clear_valid();
            x.status = status;
            x.state = state;
            return x;
        };
        if (!wait([](uint32_t c) { return !(c & (bar::kCtrlFcts | bar::kCtrlFrts)); })) return fail(2, 0);
        const bool multi_host = ctrl() & bar::kCtrlMultiHost;
        if (multi_host) {
            std::memcpy(request.data() + bar::kTagOffsetResponseAddress, &tag, 4);
            if (!payload.empty()) std::memcpy(request.data() + bar::kTagOffsetDmaAddress, &tag, 4);
        }
        for (size_t i = 0; i + 4 <= request.size(); i += 4) {
            uint32_t word;
            std::memcpy(&word, request.data() + i, 4);
            w_.write32(bar::kRequestArea + i, word);
        }
        w_.write32(bar::kDoorbell, 1);

        if (!payload.empty()) {
            if (!wait([](uint32_t c) { return (c & bar::kCtrlFcts) && !(c & bar::kCtrlFrts); }))
                return fail(3, bar::ZELT_PCI_IOCTL_QUERY_FCTS);
            host_bits(bar::kCtrlHrts);
            std::vector<uint32_t> words;
            if (multi_host) words.push_back(tag);
            for (size_t i = 0; i < payload.size(); i += 4) {
                uint32_t word = 0;
                std::memcpy(&word, payload.data() + i, std::min<size_t>(4, payload.size() - i));
                words.push_back(word);
            }
            for (uint32_t word : words) {
                if (!wait([](uint32_t c) { return !(c & bar::kCtrlDataValid); }))
                    return fail(3, bar::ZELT_PCI_IOCTL_SEND_PAYLOAD);
                set_reg(ctrl_ + bar::kMailboxDataDistance, word);
                set_reg(ctrl_, ctrl() | bar::kCtrlDataValid);
            }
            if (!wait([](uint32_t c) { return !(c & bar::kCtrlDataValid); }))
                return fail(3, bar::ZELT_PCI_IOCTL_SEND_PAYLOAD);
            host_bits(0);
        }

        for (;;) {
            if (!wait([](uint32_t c) { return !(c & bar::kCtrlFcts) && (c & bar::kCtrlFrts); }))
                return fail(3, bar::ZELT_PCI_IOCTL_QUERY_FRTS);
            if (!(ctrl() & bar::kCtrlHcts)) host_bits(bar::kCtrlHcts);
            uint32_t header;
            if (!read_dword(header)) return fail(3, bar::ZELT_PCI_IOCTL_SET_HCTS);
            x.headers.push_back(header);
            const uint32_t type = bar::block_type(header);
            const bool response = type == bar::kBlockResponse || type == bar::kBlockTaggedResponse;
            if (response && bar::block_length(header) > record_size_) return fail(12, bar::ZELT_PCI_IOCTL_SET_HCTS);
            if (type & bar::kBlockTypeHasTag) {
                uint32_t seen;
                if (!read_dword(seen)) return fail(3, bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER);
                if (seen != tag) return fail(15, bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER);
            }
            std::vector<uint8_t>& into = response ? x.response : x.data;
            const size_t at = into.size();
            into.resize(at + bar::block_dwords(header) * 4);
            for (uint32_t i = 0; i < bar::block_dwords(header); ++i) {
                uint32_t word;
                if (!read_dword(word))
                    return fail(3, response ? bar::ZELT_PCI_IOCTL_GET_HEADER : bar::ZELT_PCI_IOCTL_GET_PAYLOAD);
                std::memcpy(into.data() + at + 4 * i, &word, 4);
            }
            into.resize(at + bar::block_length(header));
            if (response) break;
        }
        host_bits(0);
        return x;
    }

private:
    host::RegisterWindow& w_;
    uint32_t ctrl_;
    size_t record_size_;
};

template <class T>
std::vector<uint8_t> bytes_of(T request) {
    auto* hdr = reinterpret_cast<hwrm_input_header*>(&request);
    hdr->cmpl_ring = HWRM_CMPL_RING_DEFAULT;
    hdr->target_id = HWRM_TARGET_ID_MAILBOX;
    std::vector<uint8_t> out(sizeof(T));
    std::memcpy(out.data(), &request, sizeof(T));
    return out;
}

ChipState chip_state(const std::string& root, const std::string& address) {
    std::string error;
    auto session = SimSession::open(root, error);
    EXPECT_TRUE(session) << error;
    return session ? session->state().chips[address] : ChipState{};
}

hwrm_nvm_read_input fru_serial_read() {
    auto rd = zeroed_request<hwrm_nvm_read_input>(HWRM_NVM_READ);
    rd.offset = 52;
    rd.len = 12;
    return rd;
}

class BarMailboxTest : public SimHostTest {
protected:
    void SetUp() override { create(); }

    // The FRU item's index on the Kestra adapter, found through the firmware channel.
    uint16_t fru_index() {
        auto info = send_kestra<hwrm_nvm_get_dir_info_input, hwrm_nvm_get_dir_info_output>(
                        zeroed_request<hwrm_nvm_get_dir_info_input>(HWRM_NVM_GET_DIR_INFO))
                        .as<hwrm_nvm_get_dir_info_output>();
        std::vector<uint8_t> dir(info.entries * info.entry_length);
        send_kestra<hwrm_nvm_get_dir_entries_input, hwrm_nvm_get_dir_entries_output>(
            zeroed_request<hwrm_nvm_get_dir_entries_input>(HWRM_NVM_GET_DIR_ENTRIES), {&dir});
        for (uint32_t i = 0; i < info.entries; ++i)
            if (dir[i * info.entry_length] == 81) return static_cast<uint16_t>(i);
        ADD_FAILURE() << "no FRU item";
        return 0;
    }
};

TEST_F(BarMailboxTest, AnswersAsTheFirmwareChannelDoes) {
    const uint16_t fru = fru_index();
    auto read = fru_serial_read();
    read.dir_idx = fru;
    std::vector<uint8_t> lfc_data(12);
    HwrmReply lfc = send_kestra<hwrm_nvm_read_input, hwrm_nvm_read_output>(read, {&lfc_data});
    ASSERT_EQ(lfc.rc, 0);

    auto set = zeroed_request<hwrm_nvm_set_variable_input>(HWRM_NVM_SET_VARIABLE);
    set.option_num = 157;
    set.data_len = 8;
    set.dimensions = 1;
    set.index_0 = 1;
    auto get = zeroed_request<hwrm_nvm_get_variable_input>(HWRM_NVM_GET_VARIABLE);
    get.option_num = 157;
    get.data_len = 8;
    get.dimensions = 1;
    get.index_0 = 1;

    struct Case {
        const char* name;
        const char* bar;
        uint32_t ctrl;
        std::vector<uint8_t> request;
        std::vector<uint8_t> payload;
        std::vector<uint8_t> want_data;
    };
    const Case cases[] = {
        {"query without data, older chip", kOlderBar, bar::kMailboxCtrlOlder,
         bytes_of(zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET)), {}, {}},
        {"payload answer", kKestraBar, bar::kMailboxCtrlNewest, bytes_of(read), {}, lfc_data},
        {"request with payload", kKestraBar, bar::kMailboxCtrlNewest, bytes_of(set), {3}, {}},
        {"the payload's value read back", kKestraBar, bar::kMailboxCtrlNewest, bytes_of(get), {}, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            auto w = host().map_registers(c.bar, 0);
            ASSERT_TRUE(w);
            Exchange x = HostSide(*w, c.ctrl).run(c.request, c.payload);
            ASSERT_EQ(x.status, 0) << "state " << x.state;
            EXPECT_EQ(x.data, c.want_data);
            hwrm_output_header hdr;
            ASSERT_GE(x.response.size(), sizeof hdr);
            std::memcpy(&hdr, x.response.data(), sizeof hdr);
            EXPECT_EQ(hdr.error_code, 0);
            EXPECT_EQ(hdr.resp_len, x.response.size());
            EXPECT_EQ(x.response.back(), 1);  // valid
        }
        EXPECT_EQ(read_request_log(root()).back()["channel"], "mailbox");
    }

    // The same version answer through both roads.
    auto w = host().map_registers(kKestraBar, 0);
    Exchange x = HostSide(*w, bar::kMailboxCtrlNewest).run(bytes_of(zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET)), {});
    HwrmReply ver = send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET));
    ASSERT_EQ(x.response.size(), ver.response.size());
    EXPECT_EQ(std::memcmp(x.response.data() + 8, ver.response.data() + 8, x.response.size() - 8), 0);
}

TEST_F(BarMailboxTest, LargeDataComesInSeveralPayloadBlocks) {
    auto read = zeroed_request<hwrm_nvm_read_input>(HWRM_NVM_READ);
    read.dir_idx = fru_index();
    read.len = 256;
    std::vector<uint8_t> lfc_data(256);
    ASSERT_EQ((send_kestra<hwrm_nvm_read_input, hwrm_nvm_read_output>(read, {&lfc_data}).rc), 0);
    auto info = send_kestra<hwrm_nvm_get_dir_info_input, hwrm_nvm_get_dir_info_output>(
                    zeroed_request<hwrm_nvm_get_dir_info_input>(HWRM_NVM_GET_DIR_INFO))
                    .as<hwrm_nvm_get_dir_info_output>();
    std::vector<uint8_t> dir(info.entries * info.entry_length);
    send_kestra<hwrm_nvm_get_dir_entries_input, hwrm_nvm_get_dir_entries_output>(
        zeroed_request<hwrm_nvm_get_dir_entries_input>(HWRM_NVM_GET_DIR_ENTRIES), {&dir});

    auto w = host().map_registers(kKestraBar, 0);
    Exchange x = HostSide(*w, bar::kMailboxCtrlNewest).run(bytes_of(read), {});
    ASSERT_EQ(x.status, 0);
    EXPECT_EQ(x.data, lfc_data);
    // The directory answer is longer than one block: blocks of 4096 bytes, then the rest.
    x = HostSide(*w, bar::kMailboxCtrlNewest)
            .run(bytes_of(zeroed_request<hwrm_nvm_get_dir_entries_input>(HWRM_NVM_GET_DIR_ENTRIES)), {});
    ASSERT_EQ(x.status, 0);
    EXPECT_EQ(x.data, dir);
    ASSERT_EQ(x.headers.size(), (dir.size() + kMailboxPayloadBlockBytes - 1) / kMailboxPayloadBlockBytes + 1);
    EXPECT_EQ(x.headers.front(), bar::block_header(bar::kBlockPayload, std::min(dir.size(), kMailboxPayloadBlockBytes)));
}

// A multi-host adapter whose newest chip keeps its mailbox behind the signature block.
constexpr const char* kMultiHostConfig = R"({"adapters": [
    {"device_type": 8, "ports": 1, "multi_host": true, "indirect_mailbox": true},
    {"device_type": 5, "ports": 1, "multi_host": true}]})";

TEST(BarMailboxMultiHost, TagRidesWithEveryBlockInBothDirections) {
    SimHostTestHost h(kMultiHostConfig);
    for (const char* path : {kKestraBar, kOlderBar}) {
        SCOPED_TRACE(path);
        const bool newest = path == kKestraBar;
        auto w = h.host().map_registers(path, 0);
        ASSERT_TRUE(w);
        HostSide probe(*w, 0);
        uint32_t ctrl = newest ? bar::kMailboxCtrlNewest : bar::kMailboxCtrlOlder;
        if (newest) {
            // The usual address has no mailbox; the signature block names the real one.
            EXPECT_NE(probe.reg(ctrl) & bar::kCtrlSignatureMask, bar::kCtrlSignature);
            ASSERT_EQ(probe.reg(bar::kIndirectBlock + bar::kIndirectSignatureOffset), bar::kIndirectSignature);
            ctrl = probe.reg(bar::kIndirectBlock + bar::kIndirectCtrlAddressOffset);
        }
        HostSide side(*w, ctrl);
        ASSERT_EQ(side.ctrl() & bar::kCtrlSignatureMask, bar::kCtrlSignature);
        EXPECT_TRUE(side.ctrl() & bar::kCtrlMultiHost);

        auto set = zeroed_request<hwrm_nvm_set_variable_input>(HWRM_NVM_SET_VARIABLE);
        set.option_num = 157;
        set.data_len = 8;
        set.dimensions = 1;
        Exchange x = side.run(bytes_of(set), {2}, 0x1234ABCD);
        ASSERT_EQ(x.status, 0) << "state " << x.state;
        EXPECT_EQ(x.headers.back() >> 24, bar::kBlockTaggedResponse);
        auto get = zeroed_request<hwrm_nvm_get_variable_input>(HWRM_NVM_GET_VARIABLE);
        get.option_num = 157;
        get.data_len = 8;
        get.dimensions = 1;
        x = side.run(bytes_of(get), {}, 0x0BADF00D);
        ASSERT_EQ(x.status, 0) << "state " << x.state;
        EXPECT_EQ(x.data, std::vector<uint8_t>{2});
        EXPECT_EQ(x.headers.front() >> 24, bar::kBlockTagged);
    }
}

TEST_F(BarMailboxTest, ChipFaultsShowAsTheHostMeetsThem) {
    auto ver = bytes_of(zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET));
    struct Case {
        const char* fault;
        std::vector<std::string> extra;
        const char* bar;
        uint32_t ctrl;
        int want_status;
        uint32_t want_state;
    };
    const Case cases[] = {
        {"mailbox_silent", {}, kOlderBar, bar::kMailboxCtrlOlder, 3, bar::ZELT_PCI_IOCTL_QUERY_FRTS},
        {"mailbox_oversize", {}, kKestraBar, bar::kMailboxCtrlNewest, 12, bar::ZELT_PCI_IOCTL_SET_HCTS},
        {"mailbox_busy", {}, kKestraBar, bar::kMailboxCtrlNewest, 0, 0},
        // Narrowed to another message, the fault leaves this one alone.
        {"mailbox_silent", {"--req-type", "1"}, kOlderBar, bar::kMailboxCtrlOlder, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.extra.empty() ? "" : " narrowed"));
        std::vector<std::string> args{"fault", root(), c.fault};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ASSERT_EQ(run_zeltsim(args), 0);
        {
            auto w = host().map_registers(c.bar, 0);
            ASSERT_TRUE(w);
            // The record is as long as the answer, so only a longer block overflows it.
            HostSide side(*w, c.ctrl, sizeof(hwrm_ver_get_output));
            if (std::string(c.fault) == "mailbox_busy") {
                EXPECT_FALSE(side.wait([](uint32_t v) { return !(v & bar::kCtrlBusyAfterReset); }));
            } else {
                Exchange x = side.run(ver, {});
                EXPECT_EQ(x.status, c.want_status);
                EXPECT_EQ(x.state, c.want_state);
            }
        }
        ASSERT_EQ(run_zeltsim({"fault", root(), "--clear"}), 0);
        // Whatever happened, the host side left the handshake clean and unmapped.
        ChipState chip = chip_state(root(), std::string(c.bar).substr(21, 12));
        EXPECT_EQ(chip.host_ctrl, 0u);
        EXPECT_EQ(chip.open_windows, 0u);
    }
    // With the fault cleared the firmware answers at once again.
    auto w = host().map_registers(kOlderBar, 0);
    EXPECT_EQ(HostSide(*w, bar::kMailboxCtrlOlder).run(ver, {}).status, 0);
}

TEST(BarMailboxMultiHost, AnswerWithAnotherTag) {
    // Scheduled by the configuration this time, on the second message only.
    SimHostTestHost h(R"({"adapters": [{"device_type": 5, "ports": 1, "multi_host": true}],
                          "faults": [{"kind": "mailbox_tag", "nth": 2}]})");
    auto ver = bytes_of(zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET));
    auto w = h.host().map_registers(kFirstBar, 0);
    ASSERT_TRUE(w);
    HostSide side(*w, bar::kMailboxCtrlOlder);
    EXPECT_EQ(side.run(ver, {}, 0x600DCAFE).status, 0);
    Exchange x = side.run(ver, {}, 0x600DCAFE);
    EXPECT_EQ(x.status, 15);
    EXPECT_EQ(x.state, bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER);
}

TEST_F(BarMailboxTest, ZeltsimShowsWhatTheHostLeftInTheChip) {
    std::string out;
    ASSERT_EQ(run_zeltsim({"show", root(), "--chips"}, &out), 0);
    EXPECT_EQ(out, "BAR0 windows:\n  (never mapped)\n");
    struct Case {
        uint32_t left;
        const char* shown;
    };
    const Case cases[] = {
        {0, "HRTS 0 HCTS 0 data valid 0"},
        {bar::kCtrlHrts, "HRTS 1 HCTS 0 data valid 0"},
        {bar::kCtrlHcts | bar::kCtrlDataValid, "HRTS 0 HCTS 1 data valid 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        auto w = host().map_registers(kOlderBar, 0);
        ASSERT_TRUE(w);
        HostSide side(*w, bar::kMailboxCtrlOlder);
        side.set_reg(bar::kMailboxCtrlOlder, (side.ctrl() & ~(bar::kCtrlHrts | bar::kCtrlHcts | bar::kCtrlDataValid)) | c.left);
        ASSERT_EQ(run_zeltsim({"show", root(), "--chips"}, &out), 0);
        EXPECT_NE(out.find("0000:13:00.0: open 1,"), std::string::npos) << out;
        w.reset();
        ASSERT_EQ(run_zeltsim({"show", root(), "--chips"}, &out), 0);
        EXPECT_NE(out.find("0000:13:00.0: open 0,"), std::string::npos) << out;
        EXPECT_NE(out.find(c.shown), std::string::npos) << out;
    }
}

TEST_F(BarMailboxTest, MappingAndSignatureFaults) {
    // A VF has no BAR0 of its own here, and a path that is no resource file maps nothing.
    for (const char* path : {"/sys/bus/pci/devices/0000:03:00.0/resource2", "/sys/bus/pci/devices/0000:99:00.0/resource0"}) {
        errno = 0;
        EXPECT_FALSE(host().map_registers(path, 0)) << path;
        EXPECT_EQ(errno, ENOENT) << path;
    }
    errno = 0;
    EXPECT_FALSE(host().map_registers(kOlderBar, 4u << 20));  // beyond BAR0
    EXPECT_EQ(errno, EINVAL);
    {
        auto w = host().map_registers(kOlderBar, 0);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->size(), kBar0SizeOlder);
        EXPECT_EQ(chip_state(root(), "0000:13:00.0").open_windows, 1u);
    }
    EXPECT_EQ(chip_state(root(), "0000:13:00.0").open_windows, 0u);

    ASSERT_EQ(run_zeltsim({"fault", root(), "bar_denied", "--adapter", "adapter1"}), 0);
    errno = 0;
    EXPECT_FALSE(host().map_registers(kOlderBar, 0));
    EXPECT_EQ(errno, EACCES);
    EXPECT_TRUE(host().map_registers(kKestraBar, 0));  // the other adapter maps

    ASSERT_EQ(run_zeltsim({"fault", root(), "no_mailbox"}), 0);
    ASSERT_EQ(run_zeltsim({"fault", root(), "fw_not_operational", "--value", "0x4001"}), 0);
    auto w = host().map_registers(kKestraBar, 0);
    ASSERT_TRUE(w);
    HostSide side(*w, 0);
    EXPECT_NE(side.reg(bar::kMailboxCtrlNewest) & bar::kCtrlSignatureMask, bar::kCtrlSignature);
    EXPECT_NE(side.reg(bar::kIndirectBlock + bar::kIndirectSignatureOffset), bar::kIndirectSignature);
    // The newest chip's health word is behind the configuration direct window.
    host::PciFunction kestra{0, 0x03, 0, 0};
    uint16_t select = bar::kHealthDirectWindow;
    ASSERT_TRUE(host().write_pci_config(kestra, bar::kConfigSelect, &select, 2));
    uint32_t health = 0;
    ASSERT_TRUE(host().read_pci_config(kestra, bar::kConfigData, &health, 4));
    EXPECT_EQ(health, 0x4001u);
}

TEST_F(BarMailboxTest, HealthRegistersAndConfigurationWindows) {
    host::PciFunction older{0, 0x13, 0, 0};
    // Through BAR0: the health register and its signature on the older chip.
    {
        auto w = host().map_registers(kOlderBar, 0);
        ASSERT_TRUE(w);
        HostSide side(*w, bar::kMailboxCtrlOlder);
        EXPECT_TRUE(bar::health_running(side.reg(bar::kHealthStatus)));
        EXPECT_TRUE(bar::health_signature_valid(side.reg(bar::kHealthSignature)));
    }
    // Through configuration space: the window register, then the register it shows.
    auto config_read = [&](uint32_t address) {
        uint16_t select = bar::kConfigWindowRegisterSelect;
        uint32_t base = bar::window_base(address), value = 0;
        EXPECT_TRUE(host().write_pci_config(older, bar::kConfigSelect, &select, 2));
        EXPECT_TRUE(host().write_pci_config(older, bar::kConfigData, &base, 4));
        select = static_cast<uint16_t>((address & bar::kWindowOffsetMask) | bar::kWindowAperture);
        EXPECT_TRUE(host().write_pci_config(older, bar::kConfigSelect, &select, 2));
        EXPECT_TRUE(host().read_pci_config(older, bar::kConfigData, &value, 4));
        return value;
    };
    EXPECT_TRUE(bar::health_running(config_read(bar::kHealthStatus)));
    ASSERT_EQ(run_zeltsim({"fault", root(), "fw_not_operational"}), 0);
    EXPECT_EQ(config_read(bar::kHealthStatus), kHealthNotOperational);
    EXPECT_EQ(config_read(bar::kHealthSignature), kHealthSignatureWord);

    // The device serial number dwords, and the subsystem id of a function that stopped answering.
    uint32_t serial[2];
    ASSERT_TRUE(host().read_pci_config(older, bar::kConfigSerialLow, serial, sizeof serial));
    EXPECT_NE(serial[0] | serial[1], 0u);
    uint16_t ssid = 0;
    ASSERT_TRUE(host().read_pci_config(older, bar::kConfigSubsystemId, &ssid, 2));
    EXPECT_NE(ssid, 0xFFFF);
    ASSERT_EQ(run_zeltsim({"fault", root(), "unresponsive", "--adapter", "adapter1"}), 0);
    ASSERT_TRUE(host().read_pci_config(older, bar::kConfigSubsystemId, &ssid, 2));
    EXPECT_EQ(ssid, 0xFFFF);
}

}  // namespace
}  // namespace zelt::sim::test
