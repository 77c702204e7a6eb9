#include <cerrno>

#include "common/hvxretval.h"
#include "device/pci_window_channel.h"
#include "tests/transport/transport_fixture.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_channel.h"
#include "transport/nvm_variables.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

namespace zelt::test {
namespace {

using Channel = TransportTest;

// Sends a header-only request of `req_type` to 0002:3b:05.3.
Result sendBareResult(const char* dev, uint16_t req_type, hwrm_err_output& resp) {
    hwrm_nvm_flush_input req{};
    transport::hwrmInitRequest(req.hdr, req_type);
    return transport::send_message(at(dev, 2, 0x3b, 5, 3),
                                   {&req, sizeof req, &resp, sizeof resp, nullptr});
}
int32_t sendBare(const char* dev, uint16_t req_type, hwrm_err_output& resp) {
    return sendBareResult(dev, req_type, resp).code();
}

TEST_F(Channel, FillsTheDeviceRecordsAndClosesTheDevice) {
    host->firmware = [](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t*, uint32_t) {
        hwrm_ver_get_output out{};
        out.hdr.resp_len = sizeof out;
        out.valid = 1;
        writeAnswer(resp, len, out);
        return 0;
    };
    const transport::Function fn = at("eth0", 2, 0x3b, 0x1f, 6);
    // Making the channel looked for the device once; the message opens it once more.
    host->opens = host->closes = 0;
    ASSERT_EQ(zelt_nvm_ver_get_status(fn).code(), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    const auto& m = host->messages[0];
    EXPECT_EQ(m.selected_domain, 2u);
    EXPECT_EQ(m.lfc.hdr.ver, 1u);
    EXPECT_EQ(m.lfc.hdr.bus, 0x3bu);
    EXPECT_EQ(m.lfc.hdr.devfn, 0xFEu);  // device 0x1f, function 6
    EXPECT_EQ(m.lfc.hdr.req_type, static_cast<uint32_t>(ZELT_LFC_GENERIC_HWRM_REQ));
    EXPECT_EQ(m.msg.len_req, 24u);
    EXPECT_EQ(m.msg.len_resp, 176u);
    EXPECT_EQ(m.msg.timeout, 12000u);
    EXPECT_EQ(m.msg.num_dma_indications, 0u);
    auto req = m.as<hwrm_ver_get_input>();
    EXPECT_EQ(req.hdr.req_type, HWRM_VER_GET);
    EXPECT_EQ(req.hdr.cmpl_ring, 0xFFFF);
    EXPECT_EQ(req.hdr.seq_id, 0);
    EXPECT_EQ(req.hdr.target_id, 0xFFFF);
    EXPECT_EQ(req.hdr.resp_addr[0] | req.hdr.resp_addr[1], 0u);
    EXPECT_EQ(req.hwrm_intf_maj, 1);
    EXPECT_EQ(req.hwrm_intf_min, 10);
    EXPECT_EQ(req.hwrm_intf_upd, 2);
    EXPECT_EQ(host->opens, 1);
    EXPECT_EQ(host->closes, 1);
}

TEST_F(Channel, TimeoutFollowsTheMessage) {
    const struct {
        uint16_t req_type;
        uint32_t timeout;
    } cases[] = {{HWRM_PORT_DSC_DUMP, 180000},  {HWRM_NVM_DEFRAG, 150000}, {HWRM_SELFTEST_RETRIEVE_SERDES_DATA, 45000},
                 {HWRM_NVM_INSTALL_UPDATE, 100000}, {HWRM_NVM_FLUSH, 12000},  {HWRM_FUNC_QCFG, 12000}};
    for (const auto& c : cases) {
        hwrm_err_output resp{};
        ASSERT_EQ(sendBare("eth0", c.req_type, resp), 0);
        EXPECT_EQ(host->messages.back().msg.timeout, c.timeout) << std::hex << c.req_type;
    }
}

TEST_F(Channel, DataBufferIsDescribedAndFilled) {
    host->firmware = [](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t* data, uint32_t dlen) {
        for (uint32_t i = 0; i < dlen / 8; ++i) reinterpret_cast<uint64_t*>(data)[i] = 1000 + i;
        hwrm_pcie_qstats_output out{};
        out.pcie_stat_size = 96;
        writeAnswer(resp, len, out);
        return 0;
    };
    uint32_t count = 0;
    uint64_t counters[transport::ZELT_PCIE_COUNTER_COUNT] = {};
    ASSERT_EQ(zeltnvm_pcie_counters(at("eth0", 0, 1, 0, 0), &count, counters, 0).code(), 0);
    const auto& m = host->messages.back();
    ASSERT_EQ(m.msg.num_dma_indications, 1u);
    EXPECT_EQ(m.dma[0].length, 96u);
    EXPECT_EQ(m.dma[0].offset, 24);
    EXPECT_EQ(m.dma[0].read_or_write, ZELT_LFC_DMA_DEVICE_TO_HOST);
    EXPECT_EQ(m.as<hwrm_pcie_qstats_input>().pcie_stat_size, 96);
    EXPECT_EQ(count, 24u);
    EXPECT_EQ(counters[0], 1000u);
    EXPECT_EQ(counters[11], 1011u);
}

// Every row of the error mapping, as the firmware answers through the device.
TEST_F(Channel, ErrorAnswersMapToResults) {
    const struct {
        uint16_t req_type;
        uint16_t error_code;
        uint8_t cmd_err;
        int err;
        int32_t expected;
    } cases[] = {
        {HWRM_NVM_GET_VARIABLE, 2, 1, EIO, 0xFFFF},
        {HWRM_NVM_SET_VARIABLE, 2, 1, EIO, 0xFFFF},
        {HWRM_NVM_INSTALL_UPDATE, 2, 1, EIO, HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_FRAG_ERR},
        {HWRM_NVM_INSTALL_UPDATE, 2, 2, EIO, HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_NO_SPACE},
        {HWRM_NVM_INSTALL_UPDATE, 2, 3, EIO, HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK},
        {HWRM_NVM_INSTALL_UPDATE, 2, 4, EIO, HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT},
        {HWRM_NVM_MODIFY, 2, 5, EIO, HVXRETVAL_NVM_MOD_SECURITY_VIOLATION},
        {HWRM_NVM_WRITE, 2, 1, EIO, HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_FRAG_ERR},
        {HWRM_NVM_WRITE, 2, 2, EIO, HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_NO_SPACE},
        // Other combinations give the raw cmd_err.
        {HWRM_NVM_GET_VARIABLE, 2, 3, EIO, 3},
        {HWRM_NVM_INSTALL_UPDATE, 2, 9, EIO, 9},
        {HWRM_NVM_MODIFY, 2, 1, EIO, 1},
        {HWRM_NVM_WRITE, 2, 5, EIO, 5},
        {HWRM_FUNC_QCFG, 2, 1, EIO, 1},
        // Without cmd_err: the error code, else errno.
        {HWRM_NVM_WRITE, 4, 0, EIO, 4},
        {HWRM_FUNC_QCFG, 0, 0, EACCES, EACCES},
        {HWRM_NVM_INSTALL_UPDATE, 0, 0, EBUSY, EBUSY},
    };
    for (const auto& c : cases) {
        host->firmware = [&c](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t*, uint32_t) {
            writeErrorAnswer(resp, len, c.error_code, c.cmd_err);
            return c.err;
        };
        hwrm_err_output resp{};
        EXPECT_EQ(sendBare("eth0", c.req_type, resp), c.expected)
            << std::hex << c.req_type << " error " << c.error_code << " cmd_err " << int(c.cmd_err);
        EXPECT_EQ(host->opens, host->closes);
    }
}

// A failed exchange says where it failed, so callers ask the answer instead of
// guessing from the integer (a raw cmd_err and an errno can share a value).
TEST_F(Channel, FailuresKeepTheirOrigin) {
    const struct {
        uint16_t req_type;
        uint16_t error_code;
        uint8_t cmd_err;
        int err;
        Origin origin;
        int sys_errno;
    } cases[] = {
        {HWRM_NVM_INSTALL_UPDATE, 2, 1, EIO, Origin::kFirmware, 0},
        {HWRM_FUNC_QCFG, 2, 5, EIO, Origin::kFirmware, 0},
        {HWRM_NVM_WRITE, 4, 0, EIO, Origin::kFirmware, 0},
        {HWRM_FUNC_QCFG, 0, 0, 5, Origin::kSystem, 5},
    };
    for (const auto& c : cases) {
        host->firmware = [&c](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t*, uint32_t) {
            writeErrorAnswer(resp, len, c.error_code, c.cmd_err);
            return c.err;
        };
        hwrm_err_output resp{};
        const Result rc = sendBareResult("eth0", c.req_type, resp);
        EXPECT_EQ(rc.origin(), c.origin) << std::hex << c.req_type << " cmd_err " << int(c.cmd_err);
        EXPECT_EQ(rc.error_code(), c.error_code);
        EXPECT_EQ(rc.cmd_err(), c.cmd_err);
        EXPECT_EQ(rc.sys_errno(), c.sys_errno);
    }
    // The variable-does-not-exist answer is asked of the firmware's cmd_err, not of 0xFFFF.
    EXPECT_TRUE(transport::is_missing_variable(transport::hwrm_error_result(HWRM_NVM_GET_VARIABLE, 2, 1, EIO, false)));
    EXPECT_FALSE(transport::is_missing_variable(Result::tool(0xFFFF)));
}

TEST_F(Channel, FailureIsNeverReadAsSuccess) {
    // The driver copied a firmware error but did not fail the ioctl.
    host->firmware = [](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t*, uint32_t) {
        writeErrorAnswer(resp, len, 7, 0);
        return 0;
    };
    hwrm_err_output resp{};
    EXPECT_EQ(sendBare("eth0", HWRM_FUNC_QCFG, resp), 7);
    // A failed exchange that left neither codes nor errno.
    EXPECT_EQ(transport::hwrm_error_result(HWRM_FUNC_QCFG, 0, 0, 0, false).code(), HVXRETVAL_FAILURE);
}

// A success answer is this request's only when it echoes the request's sequence number.
TEST_F(Channel, AnswerWithAnotherSequenceNumberIsRefused) {
    const struct {
        uint16_t echoed;
        int32_t rc;
    } cases[] = {{0, 0}, {1, HVXRETVAL_UNEXPECTED_DATA}, {0xFFFF, HVXRETVAL_UNEXPECTED_DATA}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.echoed);
        host->firmware = [&c](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t*, uint32_t) {
            hwrm_err_output out{};
            out.req_type = HWRM_FUNC_QCFG;
            out.seq_id = c.echoed;
            out.resp_len = sizeof out;
            out.valid = 1;
            writeAnswer(resp, len, out);
            return 0;
        };
        hwrm_err_output resp{};
        EXPECT_EQ(sendBare("eth0", HWRM_FUNC_QCFG, resp), c.rc);
    }
}

TEST_F(Channel, MailboxKeepsTheModifySecurityCode) {
    EXPECT_EQ(transport::hwrm_error_result(HWRM_NVM_MODIFY, 2, 5, 0, true).code(), 5);
    EXPECT_EQ(transport::hwrm_error_result(HWRM_NVM_MODIFY, 2, 5, EIO, false).code(), HVXRETVAL_NVM_MOD_SECURITY_VIOLATION);
    EXPECT_EQ(transport::hwrm_error_result(HWRM_NVM_WRITE, 2, 1, 0, true).code(), HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_FRAG_ERR);
}

TEST_F(Channel, ShortSelectionWriteFails) {
    host->select_write_result = 4;
    hwrm_err_output resp{};
    EXPECT_EQ(sendBare("eth0", HWRM_FUNC_QCFG, resp), HVXRETVAL_FAILURE);
    EXPECT_TRUE(host->messages.empty());
    EXPECT_EQ(host->closes, host->opens);
}

// The PCI window channel, and the driver channel made while its channel device is
// missing, take the mailbox with the mailbox target id and never open the device.
TEST_F(Channel, MailboxPathTakesOverWithoutTheDevice) {
    const PciAddress address{0, 0x3b, 0, 0};
    host->channel_present = false;
    auto driver = std::make_shared<transport::DriverChannel>(*host);
    EXPECT_TRUE(driver->messages_by_mailbox());
    const struct {
        const char* dev;
        std::shared_ptr<const transport::Channel> channel;
    } cases[] = {{"zelt_pci_dev:0:3b:0.0", std::make_shared<device::PciWindowChannel>(*host)}, {"eth0", driver}};
    for (const auto& c : cases) {
        host->opens = 0;
        hwrm_nvm_flush_input req{};
        transport::hwrmInitRequest(req.hdr, HWRM_NVM_FLUSH);
        hwrm_err_output resp{};
        // The fake host has no chip behind the function's configuration space.
        EXPECT_FALSE(transport::send_message(transport::Function{c.dev, address, c.channel},
                                             {&req, sizeof req, &resp, sizeof resp, nullptr})
                         .ok())
            << c.dev;
        EXPECT_EQ(req.hdr.target_id, HWRM_TARGET_ID_MAILBOX) << c.dev;
        EXPECT_EQ(host->opens, 0) << c.dev;
        EXPECT_TRUE(host->messages.empty());
    }
}

}  // namespace
}  // namespace zelt::test
