// Malformed requests are refused the way the real firmware and drivers refuse them,
// and a refused request changes nothing: each case breaks one field of a request the
// simulated component otherwise accepts.
#include <net/if.h>

#include <cerrno>
#include <cstddef>
#include <functional>
#include <sstream>

#include "sim/state/sim_store.h"
#include "tests/sim/sim_test_support.h"
#include "wire/ethtool_nvm.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"

namespace zelt::sim::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Mutation = std::function<void(Bytes&)>;

template <class T>
Bytes bytes_of(const T& record) {
    Bytes b(sizeof record);
    std::memcpy(b.data(), &record, sizeof record);
    return b;
}

template <class V>
void put(Bytes& b, size_t at, V value) {
    std::memcpy(b.data() + at, &value, sizeof value);
}

class StrictRequestTest : public SimHostTest {
protected:
    void SetUp() override { create(); }

    // The flash of the default host's Kestra adapter and its run-time counters, to
    // compare before and after a refusal.
    std::string snapshot() {
        std::string error;
        auto session = SimSession::open(root(), error);
        EXPECT_TRUE(session) << error;
        if (!session) return {};
        std::span<uint8_t> flash = session->flash("adapter0");
        const AdapterState& st = session->adapter_state("adapter0");
        std::ostringstream s;
        s << st.flush_count << '/' << int{st.option_action_status} << '/' << st.options.size() << '/'
          << st.last_install.valid << '/';
        s.write(reinterpret_cast<const char*>(flash.data()), static_cast<std::streamsize>(flash.size()));
        return s.str();
    }

    // The directory entry of the first item of `type`; its index in `index`.
    zelnvm_directory_entry_t entry_of(uint16_t type, uint16_t& index) {
        std::string error;
        auto session = SimSession::open(root(), error);
        FlashModel flash(session->flash("adapter0"));
        const int found = flash.find(type, 0, 0);
        EXPECT_GE(found, 0) << type;
        index = static_cast<uint16_t>(found);
        return found >= 0 ? flash.entry(static_cast<uint32_t>(found)) : zelnvm_directory_entry_t{};
    }
};

// ---- the firmware ----------------------------------------------------------------

// A request as the firmware receives it: the bus address of its data buffer (if any)
// at offset 16, the response address at offset 8, then `mutate` breaks one field.
struct FirmwareCase {
    const char* name;
    Bytes request;
    size_t data_length = 0;  // bytes of the data buffer; 0: none
    int data_delta = 0;      // the buffer is this much longer than the request says
    Mutation mutate;
    bool answered = true;    // false: the firmware has nowhere to answer
};

FirmwareCase unbroken(const char* name, const Bytes& request, size_t data_length = 0) {
    return FirmwareCase{name, request, data_length, 0, {}, true};
}

HwrmReply firmware_exchange(const std::string& root, const FirmwareCase& c) {
    HwrmReply reply;
    std::string error;
    auto session = SimSession::open(root, error);
    EXPECT_TRUE(session) << error;
    const AdapterDesc& adapter = *session->host().find_adapter("adapter0");
    FirmwareContext ctx{adapter, adapter.functions.front(), session->adapter_state(adapter.name),
                        FlashModel(session->flash(adapter.name)), session->now_us(), &session->host().faults};
    Bytes request = c.request;
    Bytes data(c.data_length + c.data_delta, 0x5A);
    reply.response.assign(64, 0);
    DmaMap map;
    if (c.data_length > 0) put(request, 16, map.map(data));
    put(request, offsetof(hwrm_input_header, resp_addr), map.map_response(reply.response));
    if (c.mutate) c.mutate(request);
    firmware_answer(ctx, request, reply.response, map);
    EXPECT_TRUE(session->save(error)) << error;
    return reply;
}

template <class T>
Bytes firmware_request(uint16_t req_type, T record, uint16_t target = HWRM_TARGET_ID_DEFAULT) {
    record.hdr.req_type = req_type;
    record.hdr.cmpl_ring = HWRM_CMPL_RING_DEFAULT;
    record.hdr.target_id = target;
    return bytes_of(record);
}

Mutation set_u8(size_t at, uint8_t v) { return [=](Bytes& b) { b[at] = v; }; }
Mutation set_u16(size_t at, uint16_t v) { return [=](Bytes& b) { put(b, at, v); }; }
Mutation set_u32(size_t at, uint32_t v) { return [=](Bytes& b) { put(b, at, v); }; }
Mutation set_u64(size_t at, uint64_t v) { return [=](Bytes& b) { put(b, at, v); }; }
Mutation resize_by(int delta) { return [=](Bytes& b) { b.resize(b.size() + delta, 0); }; }

TEST_F(StrictRequestTest, FirmwareRefusesEachBrokenFieldAndChangesNothing) {
    uint16_t fru = 0;
    const zelnvm_directory_entry_t fru_entry = entry_of(81, fru);

    hwrm_nvm_read_input read{};
    read.dir_idx = fru;
    read.len = 16;
    const Bytes rd = firmware_request(HWRM_NVM_READ, read);
    hwrm_nvm_modify_input modify{};
    modify.dir_idx = fru;
    modify.len = 4;
    const Bytes md = firmware_request(HWRM_NVM_MODIFY, modify);
    hwrm_nvm_write_input write{};
    write.dir_type = 49;
    write.dir_data_length = 64;
    write.dir_item_length = 4096;
    const Bytes wr = firmware_request(HWRM_NVM_WRITE, write);
    const Bytes install = firmware_request(HWRM_NVM_INSTALL_UPDATE, hwrm_nvm_install_update_input{}, 0);
    const Bytes flush = firmware_request(HWRM_NVM_FLUSH, hwrm_nvm_flush_input{});
    hwrm_fw_qstatus_input qstatus_in{};
    const Bytes qstatus = firmware_request(HWRM_FW_QSTATUS, qstatus_in);

    const size_t rd_offset = offsetof(hwrm_nvm_read_input, offset);
    const FirmwareCase cases[] = {
        {"read: record one byte short", rd, 16, 0, resize_by(-1)},
        {"read: record one byte long", rd, 16, 0, resize_by(1)},
        {"read: data buffer one byte short", rd, 16, -1, {}},
        {"read: data buffer one byte long", rd, 16, 1, {}},
        {"read: buffer address elsewhere", rd, 16, 0, set_u64(16, DmaMap::kBusBase + 8)},
        {"read: completion ring", rd, 16, 0, set_u16(offsetof(hwrm_input_header, cmpl_ring), 0)},
        {"read: target", rd, 16, 0, set_u16(offsetof(hwrm_input_header, target_id), 1)},
        {"read: target of the installer", rd, 16, 0, set_u16(offsetof(hwrm_input_header, target_id), 0)},
        {"read: reserved byte", rd, 16, 0, set_u8(offsetof(hwrm_nvm_read_input, unused_1), 1)},
        {"read: offset past the item", rd, 16, 0, set_u32(rd_offset, fru_entry.item_length)},
        {"read: no such entry", rd, 16, 0, set_u16(offsetof(hwrm_nvm_read_input, dir_idx), 0x7FFF)},
        {"read: response address", rd, 16, 0, set_u64(offsetof(hwrm_input_header, resp_addr), 0x1000), false},
        {"modify: flags", md, 4, 0, set_u16(offsetof(hwrm_nvm_modify_input, flags), 1)},
        {"modify: data buffer one byte long", md, 4, 1, {}},
        {"modify: range past the item", md, 4, 0,
         set_u32(offsetof(hwrm_nvm_modify_input, offset), fru_entry.item_length - 3)},
        {"write: unknown attribute bit", wr, 64, 0, set_u16(offsetof(hwrm_nvm_write_input, dir_attr), 0x0100)},
        {"write: no type", wr, 64, 0, set_u16(offsetof(hwrm_nvm_write_input, dir_type), 0)},
        {"write: reserved byte", wr, 64, 0, set_u8(offsetof(hwrm_nvm_write_input, unused_0) + 11, 1)},
        {"install: target of the firmware", install, 0, 0,
         set_u16(offsetof(hwrm_input_header, target_id), HWRM_TARGET_ID_DEFAULT)},
        {"install: unknown flag", install, 0, 0, set_u16(offsetof(hwrm_nvm_install_update_input, flags), 0x8000)},
        {"flush: record one byte long", flush, 0, 0, resize_by(1)},
        {"status query: record one byte short", qstatus, 0, 0, resize_by(-1)},
    };
    for (const FirmwareCase& c : cases) {
        const std::string before = snapshot();
        const HwrmReply r = firmware_exchange(root(), c);
        if (c.answered) {
            EXPECT_EQ(r.error_code(), kFwErrInvalidParams) << c.name;
            EXPECT_EQ(r.response[15], 1) << c.name;  // an answer, in the error form
        } else {
            EXPECT_EQ(r.response, Bytes(64, 0)) << c.name;
        }
        EXPECT_TRUE(snapshot() == before) << c.name;
    }

    // The same requests unbroken are answered.
    for (const FirmwareCase& c : {unbroken("read", rd, 16), unbroken("modify", md, 4), unbroken("write", wr, 64),
                                  unbroken("flush", flush), unbroken("status query", qstatus),
                                  unbroken("install", install)}) {
        EXPECT_EQ(firmware_exchange(root(), c).error_code(), 0) << c.name;
    }
}

// An answer echoes the request's sequence id, in the success and in the error form.
TEST_F(StrictRequestTest, FirmwareEchoesTheSequenceId) {
    Bytes ok = firmware_request(HWRM_FW_QSTATUS, hwrm_fw_qstatus_input{});
    put<uint16_t>(ok, offsetof(hwrm_input_header, seq_id), 0x1234);
    Bytes bad = ok;
    bad.resize(bad.size() + 1);
    for (const Bytes& request : {ok, bad}) {
        const HwrmReply r = firmware_exchange(root(), unbroken("status", request));
        EXPECT_EQ(r.as<hwrm_err_output>().seq_id, 0x1234);
    }
}

// ---- the firmware-channel driver ------------------------------------------------

TEST_F(StrictRequestTest, ChannelDriverRefusesBrokenRecordsWithEinval) {
    uint16_t fru = 0;
    entry_of(81, fru);
    struct Case {
        const char* name;
        std::function<void(zelt_lfc_req&, zlfc_fw_msg&, dma_info&, hwrm_nvm_read_input&)> mutate;
    } cases[] = {
        {"request version", [](auto& req, auto&, auto&, auto&) { req.hdr.ver = 2; }},
        {"request shorter than a header", [](auto&, auto& msg, auto&, auto&) { msg.len_req = 15; }},
        {"request longer than a record can be", [](auto&, auto& msg, auto&, auto&) { msg.len_req = 8193; }},
        {"response shorter than an error answer", [](auto&, auto& msg, auto&, auto&) { msg.len_resp = 15; }},
        {"too many buffers", [](auto&, auto& msg, auto&, auto&) { msg.num_dma_indications = 5; }},
        {"buffer address inside the header", [](auto&, auto&, auto& d, auto&) { d.offset = 8; }},
        {"buffer address past the request", [](auto&, auto&, auto& d, auto&) { d.offset = 33; }},
        {"buffer direction", [](auto&, auto&, auto& d, auto&) { d.read_or_write = 2; }},
        {"buffer spare byte", [](auto&, auto&, auto& d, auto&) { d.unused = 1; }},
        {"response address filled in", [](auto&, auto&, auto&, auto& in) { in.hdr.resp_addr[0] = 0x1000; }},
    };
    for (const Case& c : cases) {
        const std::string before = snapshot();
        hwrm_nvm_read_input in = zeroed_request<hwrm_nvm_read_input>(HWRM_NVM_READ);
        in.hdr.cmpl_ring = HWRM_CMPL_RING_DEFAULT;
        in.hdr.target_id = HWRM_TARGET_ID_DEFAULT;
        in.dir_idx = fru;
        in.len = 16;
        Bytes data(16), response(sizeof(hwrm_nvm_read_output)), msg_bytes(zlfcDmaInfoOffset(6), 0);
        zlfc_fw_msg msg{reinterpret_cast<uintptr_t>(&in), reinterpret_cast<uintptr_t>(response.data()),
                        sizeof in, static_cast<uint32_t>(response.size()), 1000, 1};
        dma_info d{reinterpret_cast<uintptr_t>(data.data()), 16, HWRM_DMA_ADDR_OFFSET, ZELT_LFC_DMA_DEVICE_TO_HOST, 0};
        zelt_lfc_req req{};
        req.hdr = {ZELT_LFC_REQ_VERSION, 0x03, zeltLfcDevfn(0, 0), ZELT_LFC_GENERIC_HWRM_REQ};
        req.req.hreq = reinterpret_cast<uintptr_t>(msg_bytes.data());
        c.mutate(req, msg, d, in);
        std::memcpy(msg_bytes.data(), &msg, sizeof msg);
        std::memcpy(msg_bytes.data() + zlfcDmaInfoOffset(0), &d, sizeof d);

        const int fd = host().device_open(ZELT_LFC_DEVICE_PATH, 2);
        ASSERT_GE(fd, 0);
        zelt_lfc_generic_msg sel{ZELT_LFC_SELECT_DOMAIN_KEY, {0, 0, 0}, 0};
        ASSERT_EQ(host().device_write(fd, &sel, sizeof sel), 8);
        const int rc = host().device_ioctl(fd, ZELT_LFC_IOCTL_REQ, &req);
        const int err = errno;
        host().device_close(fd);
        EXPECT_EQ(rc, -1) << c.name;
        EXPECT_EQ(err, EINVAL) << c.name;
        EXPECT_EQ(response, Bytes(response.size(), 0)) << c.name;
        EXPECT_TRUE(snapshot() == before) << c.name;
    }
}

// ---- the Ethernet driver's NVM encodings -----------------------------------------

TEST_F(StrictRequestTest, EthtoolNvmEncodingsAreExact) {
    uint16_t fru = 0;
    const zelnvm_directory_entry_t fru_entry = entry_of(81, fru);
    struct Case {
        const char* name;
        uint32_t cmd, magic, offset, len;
    } cases[] = {
        {"read: magic", ETHTOOL_GEEPROM, 1, ethtoolNvmReadOffset(fru, 0), 16},
        {"read: no index", ETHTOOL_GEEPROM, 0, 16, 16},
        {"read: no such entry", ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(200, 0), 16},
        {"read: nothing", ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(fru, 0), 0},
        {"read: one byte past a page", ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(fru, 0), ZELT_ETHTOOL_NVM_PIECE + 1},
        {"read: past the item", ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(fru, fru_entry.item_length - 8), 16},
        {"erase: four bytes long", ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(fru), ethtoolNvmEraseOffset(fru), 4},
        {"erase: no bytes", ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(fru), ethtoolNvmEraseOffset(fru), 0},
        {"erase: offset not the complement", ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(fru), 0, 1},
        {"erase: index byte 0", ETHTOOL_SEEPROM, ZELT_ETHTOOL_ERASE_MAGIC_BASE, ~ZELT_ETHTOOL_ERASE_MAGIC_BASE, 1},
        {"erase: empty entry", ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(250), ethtoolNvmEraseOffset(250), 1},
        {"write: no type", ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(0, 0), ethtoolNvmWriteOffset(0, 0), 8},
        {"write: unknown attribute bit", ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(49, 0), ethtoolNvmWriteOffset(0, 0x0100),
         8},
        {"write: nothing", ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(49, 0), ethtoolNvmWriteOffset(0, 0), 0},
    };
    for (const Case& c : cases) {
        const std::string before = snapshot();
        Bytes buf(sizeof(ethtool_eeprom) + std::max<uint32_t>(c.len, 8), 0);
        const ethtool_eeprom e{c.cmd, c.magic, c.offset, c.len};
        std::memcpy(buf.data(), &e, sizeof e);
        struct ifreq ifr {};
        std::strncpy(ifr.ifr_name, "zen0", IFNAMSIZ - 1);
        ifr.ifr_data = reinterpret_cast<char*>(buf.data());
        const int rc = host().interface_ioctl(SIOCETHTOOL, &ifr);
        EXPECT_EQ(rc, -1) << c.name;
        EXPECT_EQ(errno, EINVAL) << c.name;
        EXPECT_TRUE(snapshot() == before) << c.name;
    }

    // A write carries ordinal and attributes in the offset's halves, and the item keeps
    // them: ordinal 0x0100 in the top half, attribute "No-Chksum" in the bottom one.
    Bytes buf(sizeof(ethtool_eeprom) + 8, 0x11);
    const ethtool_eeprom w{ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(49, 0), ethtoolNvmWriteOffset(0x0100, 0x0001), 8};
    std::memcpy(buf.data(), &w, sizeof w);
    struct ifreq ifr {};
    std::strncpy(ifr.ifr_name, "zen0", IFNAMSIZ - 1);
    ifr.ifr_data = reinterpret_cast<char*>(buf.data());
    ASSERT_EQ(host().interface_ioctl(SIOCETHTOOL, &ifr), 0);
    std::string error;
    auto session = SimSession::open(root(), error);
    FlashModel flash(session->flash("adapter0"));
    const int index = flash.find(49, 0x0100, 0);
    ASSERT_GE(index, 0);
    EXPECT_EQ(flash.entry(static_cast<uint32_t>(index)).attr, 0x0001);
}

}  // namespace
}  // namespace zelt::sim::test
