// The firmware-channel driver and the firmware behind it: the records the driver
// decodes, the data buffers it moves, the answers and the scheduled faults.
#include <array>
#include <cerrno>

#include "tests/sim/sim_test_support.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/nvm_option_values.h"

namespace zelt::sim::test {
namespace {

class LfcDriverTest : public SimHostTest {
protected:
    void SetUp() override { create(); }

    uint8_t install_cmd_err() {
        auto install = zeroed_request<hwrm_nvm_install_update_input>(HWRM_NVM_INSTALL_UPDATE);
        return send_kestra<hwrm_nvm_install_update_input, hwrm_nvm_install_update_output>(install).cmd_err();
    }

    void add_fault(std::vector<std::string> args) {
        args.insert(args.begin(), {"fault", root()});
        ASSERT_EQ(run_zeltsim(args), 0);
    }
};

TEST_F(LfcDriverTest, VersionQueryAnswersFromTheRunningFirmware) {
    auto in = zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET);
    in.hwrm_intf_maj = HWRM_INTF_MAJ;
    HwrmReply r = send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(in);
    ASSERT_EQ(r.rc, 0) << r.err;
    auto out = r.as<hwrm_ver_get_output>();
    EXPECT_EQ(out.hdr.req_type, HWRM_VER_GET);
    EXPECT_EQ(out.valid, 1);
    EXPECT_EQ(out.hwrm_fw_maj_8b, 228);
    EXPECT_EQ(out.hwrm_fw_bld_8b, 107);
    EXPECT_STREQ(out.active_pkg_name, "228.1.107.0");
    EXPECT_EQ(out.chip_num, 0x9801);

    // The driver saw the selection, the address and the message's time-out.
    auto log = read_request_log(root());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back()["function"], "0000:03:00.0");
    EXPECT_EQ(log.back()["target_id"], HWRM_TARGET_ID_DEFAULT);
    EXPECT_EQ(log.back()["timeout"], HWRM_DEFAULT_TIMEOUT_MS);
}

TEST_F(LfcDriverTest, DirectoryAndItemReadTravelByDma) {
    auto info = send_kestra<hwrm_nvm_get_dir_info_input, hwrm_nvm_get_dir_info_output>(
        zeroed_request<hwrm_nvm_get_dir_info_input>(HWRM_NVM_GET_DIR_INFO));
    ASSERT_EQ(info.rc, 0);
    auto dir_info = info.as<hwrm_nvm_get_dir_info_output>();
    ASSERT_GT(dir_info.entries, 10u);
    ASSERT_GE(dir_info.entry_length, sizeof(zelnvm_directory_entry_t));

    std::vector<uint8_t> dir(dir_info.entries * dir_info.entry_length);
    auto entries = send_kestra<hwrm_nvm_get_dir_entries_input, hwrm_nvm_get_dir_entries_output>(
        zeroed_request<hwrm_nvm_get_dir_entries_input>(HWRM_NVM_GET_DIR_ENTRIES), {&dir});
    ASSERT_EQ(entries.rc, 0);
    // Find the FRU item and read its serial number field.
    int fru = -1;
    zelnvm_directory_entry_t e{};
    for (uint32_t i = 0; i < dir_info.entries; ++i) {
        std::memcpy(&e, dir.data() + i * dir_info.entry_length, sizeof e);
        if (e.type == 81) {
            fru = static_cast<int>(i);
            break;
        }
    }
    ASSERT_GE(fru, 0);
    auto rd = zeroed_request<hwrm_nvm_read_input>(HWRM_NVM_READ);
    rd.dir_idx = static_cast<uint16_t>(fru);
    rd.offset = 52;
    rd.len = 12;
    std::vector<uint8_t> serial(12);
    ASSERT_EQ((send_kestra<hwrm_nvm_read_input, hwrm_nvm_read_output>(rd, {&serial}).rc), 0);
    EXPECT_EQ(std::string(serial.begin(), serial.end()), "HX0100004100");
}

TEST_F(LfcDriverTest, BufferAddressMustSitInTheFieldTheMessageDefines) {
    auto in = zeroed_request<hwrm_pcie_qstats_input>(HWRM_PCIE_QSTATS);
    in.pcie_stat_size = HWRM_PCIE_QSTATS_STAT_SIZE;
    std::vector<uint8_t> counters(HWRM_PCIE_QSTATS_STAT_SIZE);
    HwrmReply right = send_kestra<hwrm_pcie_qstats_input, hwrm_pcie_qstats_output>(
        in, {&counters, HWRM_PCIE_QSTATS_DMA_ADDR_OFFSET});
    ASSERT_EQ(right.rc, 0);
    EXPECT_EQ(right.as<hwrm_pcie_qstats_output>().pcie_stat_size, HWRM_PCIE_QSTATS_STAT_SIZE);
    EXPECT_NE(counters[0], 0);
    // The usual offset 16 is the wrong field for this message: the firmware finds no buffer.
    HwrmReply wrong = send_kestra<hwrm_pcie_qstats_input, hwrm_pcie_qstats_output>(in, {&counters, 16});
    EXPECT_EQ(wrong.rc, -1);
    EXPECT_NE(wrong.error_code(), 0);
}

TEST_F(LfcDriverTest, DirectRegisterReadSeesTheFirmwareAddress) {
    // The error recovery counter is at the address the recovery query names; a direct
    // read of (address - chip base) returns it.
    auto q = send_older<hwrm_error_recovery_qcfg_input, hwrm_error_recovery_qcfg_output>(
        zeroed_request<hwrm_error_recovery_qcfg_input>(HWRM_ERROR_RECOVERY_QCFG));
    ASSERT_EQ(q.rc, 0);
    uint32_t reg = q.as<hwrm_error_recovery_qcfg_output>().err_recovery_cnt_reg;
    ASSERT_NE(reg, 0u);
    auto rd = zeroed_request<hwrm_dbg_read_direct_input>(HWRM_DBG_READ_DIRECT);
    rd.read_addr = hwrmDirectRegAddress(reg & 0xFFFFFFFCu, 5);
    rd.read_len32 = 1;
    std::vector<uint8_t> value(4, 0xEE);
    ASSERT_EQ((send_older<hwrm_dbg_read_direct_input, hwrm_dbg_read_direct_output>(rd, {&value}).rc), 0);
    EXPECT_EQ(value, std::vector<uint8_t>(4, 0));
    auto log = read_request_log(root());
    EXPECT_EQ(log.back()["request"].get<std::string>().substr(48, 8), "10000a00");  // read_addr 0x000A0010
}

TEST_F(LfcDriverTest, VariablesExistUnlessTheAdapterLacksThem) {
    auto set = zeroed_request<hwrm_nvm_set_variable_input>(HWRM_NVM_SET_VARIABLE);
    set.option_num = 157;
    set.data_len = 8;
    set.dimensions = 1;
    set.index_0 = 1;
    std::vector<uint8_t> value{3};
    ASSERT_EQ((send_kestra<hwrm_nvm_set_variable_input, hwrm_nvm_set_variable_output>(
                   set, {&value, 16, ZELT_LFC_DMA_HOST_TO_DEVICE})
                   .rc),
              0);
    auto get = zeroed_request<hwrm_nvm_get_variable_input>(HWRM_NVM_GET_VARIABLE);
    get.option_num = 157;
    get.data_len = 8;
    get.dimensions = 1;
    get.index_0 = 1;
    std::vector<uint8_t> back{0};
    ASSERT_EQ((send_kestra<hwrm_nvm_get_variable_input, hwrm_nvm_get_variable_output>(get, {&back}).rc), 0);
    EXPECT_EQ(back[0], 3);
    get.index_0 = 0;  // another port still reads its default
    ASSERT_EQ((send_kestra<hwrm_nvm_get_variable_input, hwrm_nvm_get_variable_output>(get, {&back}).rc), 0);
    EXPECT_EQ(back[0], ZELT_MF_MODE_FACTORY);
}

// Options the firmware answers from the adapter while nothing is set: each physical
// function's MAC address, and the configuration version it runs, which a stored one
// replaces only at the next reset.
TEST_F(LfcDriverTest, MacAndConfigurationVersionOptionsStartFromTheAdapter) {
    auto get_option = [&](uint16_t num, uint16_t bits, uint16_t index) {
        auto get = zeroed_request<hwrm_nvm_get_variable_input>(HWRM_NVM_GET_VARIABLE);
        get.option_num = num;
        get.data_len = bits;
        get.dimensions = 1;
        get.index_0 = index;
        std::vector<uint8_t> back(bits / 8, 0xEE);
        EXPECT_EQ((send_kestra<hwrm_nvm_get_variable_input, hwrm_nvm_get_variable_output>(get, {&back}).rc), 0);
        return back;
    };
    struct MacCase {
        uint16_t index;
        std::array<uint8_t, 6> mac;  // zeros: no such function
    };
    for (const MacCase& c : {MacCase{0, {0x02, 0x5a, 0x0b, 0x00, 0x01, 0x00}},
                             MacCase{1, {0x02, 0x5a, 0x0b, 0x00, 0x01, 0x01}}, MacCase{7, {}}}) {
        std::vector<uint8_t> value = get_option(ZELT_OPT_MAC_ADDRESS, 64, c.index);
        std::array<uint8_t, 6> mac;
        zeltOptMacDecode(value.data(), mac.data());
        EXPECT_EQ(mac, c.mac) << c.index;
    }

    auto running = [&] {
        auto in = zeroed_request<hwrm_nvm_get_dev_info_input>(HWRM_NVM_GET_DEV_INFO);
        auto out = send_kestra<hwrm_nvm_get_dev_info_input, hwrm_nvm_get_dev_info_output>(in)
                       .as<hwrm_nvm_get_dev_info_output>();
        return std::vector<uint8_t>{out.nvm_cfg_ver_maj, out.nvm_cfg_ver_min, out.nvm_cfg_ver_upd};
    };
    auto stored = [&] {
        std::vector<uint8_t> value = get_option(ZELT_OPT_NVM_CFG_VERSION, 24, 0), version(3);
        zeltOptCfgVersionDecode(value.data(), version.data());
        return version;
    };
    EXPECT_EQ(running(), (std::vector<uint8_t>{2, 5, 1}));
    EXPECT_EQ(stored(), running());

    const uint8_t next[3] = {3, 0, 2};
    std::vector<uint8_t> value(3);
    zeltOptCfgVersionEncode(next, value.data());
    auto set = zeroed_request<hwrm_nvm_set_variable_input>(HWRM_NVM_SET_VARIABLE);
    set.option_num = ZELT_OPT_NVM_CFG_VERSION;
    set.data_len = 24;
    set.dimensions = 1;
    ASSERT_EQ((send_kestra<hwrm_nvm_set_variable_input, hwrm_nvm_set_variable_output>(
                   set, {&value, 16, ZELT_LFC_DMA_HOST_TO_DEVICE})
                   .rc),
              0);
    ASSERT_EQ((send_kestra<hwrm_nvm_flush_input, hwrm_nvm_flush_output>(
                   zeroed_request<hwrm_nvm_flush_input>(HWRM_NVM_FLUSH))
                   .rc),
              0);
    EXPECT_EQ(stored(), (std::vector<uint8_t>{3, 0, 2}));
    EXPECT_EQ(running(), (std::vector<uint8_t>{2, 5, 1}));

    ASSERT_EQ((send_kestra<hwrm_fw_reset_input, hwrm_fw_reset_output>(zeroed_request<hwrm_fw_reset_input>(HWRM_FW_RESET)).rc), 0);
    auto ver = zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET);
    EXPECT_EQ((send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(ver).err), ETIMEDOUT);  // restarting
    EXPECT_EQ(running(), (std::vector<uint8_t>{3, 0, 2}));
}

TEST(LfcDriverMissingVariable, AnsweredWithCommandError1) {
    SimHostTestHost t(R"({"adapters":[{"device_type":8,"missing_options":[157]}]})");
    auto get = zeroed_request<hwrm_nvm_get_variable_input>(HWRM_NVM_GET_VARIABLE);
    get.option_num = 157;
    get.data_len = 8;
    std::vector<uint8_t> back{0};
    HwrmReply missing = t.send_kestra<hwrm_nvm_get_variable_input, hwrm_nvm_get_variable_output>(get, {&back});
    EXPECT_EQ(missing.rc, -1);
    EXPECT_EQ(missing.error_code(), kFwErrInvalidParams);
    EXPECT_EQ(missing.cmd_err(), HWRM_NVM_VARIABLE_CMD_ERR_VAR_NOT_EXIST);
    get.option_num = 158;
    EXPECT_EQ((t.send_kestra<hwrm_nvm_get_variable_input, hwrm_nvm_get_variable_output>(get, {&back}).rc), 0);
}

// Every kind of message-path fault, as the driver reports it.
TEST_F(LfcDriverTest, ScheduledFaultsReachTheCaller) {
    struct Case {
        std::vector<std::string> fault;
        int rc;
        int err;
        uint16_t error_code;
        uint8_t cmd_err;
    };
    const Case cases[] = {
        {{"hwrm_error", "--req-type", "0xfff3", "--error-code", "4", "--cmd-err", "1"}, -1, EIO, 4, 1},
        {{"lfc_errno", "--req-type", "0xfff3", "--errno", "22"}, -1, EINVAL, 0, 0},
        {{"busy", "--req-type", "0xfff3"}, -1, EBUSY, 0, 0},
        {{"timeout", "--req-type", "0xfff3"}, -1, ETIMEDOUT, 0, 0},
        // Narrowed to a driver command, a fault leaves the firmware messages alone.
        {{"busy", "--ethtool-cmd", "0x0b"}, 0, 0, 0, 0},
        {{"unresponsive", "--ethtool-cmd", "0x0b"}, 0, 0, 0, 0},
    };
    auto install = zeroed_request<hwrm_nvm_install_update_input>(HWRM_NVM_INSTALL_UPDATE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault[0]);
        ASSERT_EQ(run_zeltsim({"fault", root(), "--clear"}), 0);
        add_fault(c.fault);
        HwrmReply r = send_kestra<hwrm_nvm_install_update_input, hwrm_nvm_install_update_output>(install);
        EXPECT_EQ(r.rc, c.rc);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.error_code(), c.error_code);
        EXPECT_EQ(r.cmd_err(), c.cmd_err);
        // Other messages are untouched.
        EXPECT_EQ((send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(zeroed_request<hwrm_ver_get_input>(0)).rc), 0);
    }
}

TEST_F(LfcDriverTest, FaultOnTheNthRequestFiresOnce) {
    add_fault({"hwrm_error", "--req-type", "0xfff3", "--error-code", "4", "--cmd-err", "1", "--nth", "1"});
    EXPECT_EQ(install_cmd_err(), 1);
    EXPECT_EQ(install_cmd_err(), 0);
}

TEST_F(LfcDriverTest, TimeOutAndResetAdvanceTheVirtualClock) {
    int64_t before = host().now().tv_sec;
    add_fault({"timeout", "--req-type", "0xffec"});
    auto defrag = zeroed_request<hwrm_nvm_defrag_input>(HWRM_NVM_DEFRAG);
    EXPECT_EQ((send_kestra<hwrm_nvm_defrag_input, hwrm_nvm_defrag_output>(defrag).err), ETIMEDOUT);
    EXPECT_GE(host().now().tv_sec - before, 150);  // the defragmentation time-out passed

    // After a reset the firmware does not answer until it has restarted.
    ASSERT_EQ((send_kestra<hwrm_fw_reset_input, hwrm_fw_reset_output>(zeroed_request<hwrm_fw_reset_input>(HWRM_FW_RESET)).rc), 0);
    auto ver = zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET);
    EXPECT_EQ((send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(ver).err), ETIMEDOUT);
    EXPECT_EQ((send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(ver).rc), 0);
}

TEST_F(LfcDriverTest, MissingDevice) {
    ASSERT_EQ(run_zeltsim({"fault", root(), "no_lfc_device"}), 0);
    EXPECT_EQ(host().device_open(ZELT_LFC_DEVICE_PATH, 2), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(LfcDriverTest, MissingRights) {
    ASSERT_EQ(run_zeltsim({"fault", root(), "no_root"}), 0);
    SimHost fresh(root());
    EXPECT_NE(fresh.real_user_id(), 0u);
    EXPECT_EQ(fresh.device_open(ZELT_LFC_DEVICE_PATH, 2), -1);
    EXPECT_EQ(errno, EACCES);
}

}  // namespace
}  // namespace zelt::sim::test
