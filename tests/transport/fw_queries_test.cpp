#include <cerrno>
#include <cstring>

#include "common/hvxretval.h"
#include "tests/transport/transport_fixture.h"
#include "transport/fw_queries.h"
#include "transport/host_queries.h"
#include "wire/hwrm_messages.h"
#include "tests/support/installed_host.h"

namespace zelt::test {
namespace {

class FwQueries : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        uevent("eth0", "0000:3b:00.1");
    }
    // The firmware answers every message of `req_type` with `record`.
    template <class Out>
    void answer(uint16_t req_type, const Out& record) {
        auto prev = host->firmware;
        host->firmware = [=](const FakeAdapterHost::Message& m, uint8_t* resp, uint32_t len, uint8_t* data,
                             uint32_t dlen) {
            if (m.req_type() != req_type) return prev(m, resp, len, data, dlen);
            writeAnswer(resp, len, record);
            return 0;
        };
    }
    // The firmware refuses every message.
    void refuse(uint16_t error_code) {
        host->firmware = [error_code](const FakeAdapterHost::Message&, uint8_t* resp, uint32_t len, uint8_t*,
                                      uint32_t) {
            writeErrorAnswer(resp, len, error_code, 0);
            return EIO;
        };
    }
};

TEST_F(FwQueries, DirectRegisterAddressDependsOnTheChip) {
    host->firmware = [](const FakeAdapterHost::Message& m, uint8_t*, uint32_t, uint8_t* data, uint32_t dlen) {
        if (m.req_type() == HWRM_DBG_READ_DIRECT && dlen == 4) {
            const uint32_t value = 0xC0FFEE00u | m.as<hwrm_dbg_read_direct_input>().read_len32;
            std::memcpy(data, &value, 4);
        }
        return 0;
    };
    const struct {
        int device_type;
        uint32_t fw_addr;
    } cases[] = {{1, 0x00001000}, {7, 0x00001000}, {8, 0xCF001000}, {9, 0xCF001000}};
    for (const auto& c : cases) {
        uint32_t value = 0;
        ASSERT_EQ(zelt_read_direct_reg(named("eth0"), 0x4F001000, &value, c.device_type).code(), 0);
        const auto& m = host->messages.back();
        auto req = m.as<hwrm_dbg_read_direct_input>();
        EXPECT_EQ(req.read_addr, c.fw_addr) << c.device_type;
        EXPECT_EQ(req.read_len32, 1u);
        ASSERT_EQ(m.dma.size(), 1u);
        EXPECT_EQ(m.dma[0].length, 4u);
        EXPECT_EQ(m.dma[0].offset, 16);
        EXPECT_EQ(m.dma[0].read_or_write, 1);
        EXPECT_EQ(value, 0xC0FFEE01u);

        ASSERT_EQ(zelt_write_direct_reg(named("eth0"), 0x4F001000, 0x1234, c.device_type).code(), 0);
        auto w = host->messages.back().as<hwrm_dbg_write_direct_input>();
        EXPECT_EQ(w.write_addr, c.fw_addr) << c.device_type;
        EXPECT_EQ(w.write_len32, 1u);
        EXPECT_EQ(w.write_data[0], 0x1234u);
        EXPECT_TRUE(host->messages.back().dma.empty());
    }
}

TEST_F(FwQueries, HostTypeOnlySetsFlags) {
    const struct {
        uint16_t flags;
        int multi_host, multi_root;
    } cases[] = {{0, 5, 5}, {0x0020, 1, 5}, {0x2000, 5, 1}, {0x2020, 1, 1}, {0xDFDF, 5, 5}};
    for (const auto& c : cases) {
        hwrm_func_qcfg_output out{};
        out.flags = c.flags;
        answer(HWRM_FUNC_QCFG, out);
        int mh = 5, mr = 5;
        ASSERT_EQ(zelt_query_host_type(named("eth0"), &mh, &mr).code(), 0);
        EXPECT_EQ(mh, c.multi_host) << std::hex << c.flags;
        EXPECT_EQ(mr, c.multi_root) << std::hex << c.flags;
        EXPECT_EQ(host->messages.back().as<hwrm_func_qcfg_input>().fid, 0xFFFF);
        EXPECT_EQ(host->messages.back().msg.len_resp, 128u);
    }
}

TEST_F(FwQueries, FunctionConfigurationFields) {
    hwrm_func_qcfg_output out{};
    out.flags = HWRM_FUNC_QCFG_FLAGS_SECURE_MODE_ENABLED;
    out.port_pf_cnt = 4;
    out.registered_vfs = 12;
    const uint8_t mac[6] = {0x00, 0x0a, 0xf7, 0x12, 0x34, 0x56};
    std::memcpy(out.mac_address, mac, 6);
    answer(HWRM_FUNC_QCFG, out);
    int secure = 0, pfs = 0;
    uint16_t vfs = 0;
    uint8_t got[6] = {};
    EXPECT_EQ(zelt_query_device_secure_mode(named("eth0"), &secure).code(), 0);
    EXPECT_EQ(secure, 1);
    EXPECT_EQ(zelt_get_port_pf_count(named("eth0"), &pfs).code(), 0);
    EXPECT_EQ(pfs, 4);
    EXPECT_EQ(zelt_nvm_get_reg_vf_count(at("eth0", 0, 0x3b, 0, 1), &vfs).code(), 0);
    EXPECT_EQ(vfs, 12);
    EXPECT_EQ(zelt_nvm_get_permanent_mac(at("eth0", 0, 0x3b, 0, 1), got).code(), 0);
    EXPECT_EQ(std::memcmp(got, mac, 6), 0);

    refuse(4);
    pfs = 9;
    EXPECT_EQ(zelt_get_port_pf_count(named("eth0"), &pfs).code(), -1);
    EXPECT_EQ(pfs, 9);
}

TEST_F(FwQueries, CapabilityBits) {
    hwrm_func_qcaps_output caps{};
    caps.flags = HWRM_FUNC_QCAPS_FLAGS_ADMIN_PF;
    caps.flags_ext = HWRM_FUNC_QCAPS_FLAGS_EXT_REBOOT_CAP_ENABLED;
    caps.first_vf_id = 128;
    answer(HWRM_FUNC_QCAPS, caps);
    hwrm_ver_get_output ver{};
    ver.dev_caps_cfg = HWRM_VER_GET_DEV_CAPS_CFG_SECURE_BOOT;
    answer(HWRM_VER_GET, ver);

    int admin = 0, cap = 0, secure_boot = 0, secure_fw = 7;
    uint16_t first = 0;
    EXPECT_EQ(zelt_query_admin_pf_status(at("eth0", 0, 0x3b, 0, 1), &admin).code(), 0);
    EXPECT_EQ(admin, 1);
    EXPECT_EQ(zeltnvm_query_reboot_capability_enabled(named("eth0"), &cap).code(), 0);
    EXPECT_EQ(cap, 1);
    EXPECT_EQ(zelt_get_pf_start_vf_id(at("", 0, 0x3b, 0, 1), &first).code(), 0);
    EXPECT_EQ(first, 128);
    EXPECT_EQ(zelt_check_secure_fw_boot_status(named("eth0"), &secure_boot, &secure_fw).code(), 0);
    EXPECT_EQ(secure_boot, 1);
    EXPECT_EQ(secure_fw, 0);

    caps.flags = 0;
    answer(HWRM_FUNC_QCAPS, caps);
    EXPECT_EQ(zelt_query_admin_pf_status(at("eth0", 0, 0x3b, 0, 1), &admin).code(), 0);
    EXPECT_EQ(admin, 0);
}

TEST_F(FwQueries, LinkSpeedAndSupportedSpeeds) {
    hwrm_func_qcaps_output caps{};
    caps.port_id = 3;
    answer(HWRM_FUNC_QCAPS, caps);
    hwrm_port_phy_qcfg_output phy{};
    phy.link_speed = 250;
    phy.support_speeds = 0x0940;
    phy.support_pam4_speeds = 0x3;
    phy.active_fec_signal_mode = 0x21;
    answer(HWRM_PORT_PHY_QCFG, phy);

    double rate = 0;
    uint16_t speed = 0;
    ASSERT_EQ(zelt_get_link_speed(at("eth0", 0, 0x3b, 0, 1), &rate, &speed).code(), 0);
    EXPECT_EQ(speed, 250);
    EXPECT_EQ(rate, 25781250000.0);

    uint16_t speeds = 0, pam4 = 0;
    uint8_t fec = 0;
    host->messages.clear();
    ASSERT_EQ(zeltnvm_get_supported_speeds(named("eth0"), &speeds, &pam4).code(), 0);
    EXPECT_EQ(speeds, 0x0940);
    EXPECT_EQ(pam4, 0x3);
    ASSERT_EQ(host->messages.size(), 2u);
    EXPECT_EQ(host->messages[1].as<hwrm_port_phy_qcfg_input>().port_id, 3);
    ASSERT_EQ(zeltnvm_get_active_fec_signal_mode(named("eth0"), &fec).code(), 0);
    EXPECT_EQ(fec, 0x21);

    // 5 Gb/s has no line rate: the rate stays as it was.
    phy.link_speed = 50;
    answer(HWRM_PORT_PHY_QCFG, phy);
    rate = 1.0;
    ASSERT_EQ(zelt_get_link_speed(at("eth0", 0, 0x3b, 0, 1), &rate, &speed).code(), 0);
    EXPECT_EQ(speed, 50);
    EXPECT_EQ(rate, 1.0);
}

TEST_F(FwQueries, ErrorRecoveryCounter) {
    hwrm_error_recovery_qcfg_output cfg{};
    cfg.err_recovery_cnt_reg = 0x4F00A00B;
    answer(HWRM_ERROR_RECOVERY_QCFG, cfg);
    hwrm_func_qcaps_output caps{};
    answer(HWRM_FUNC_QCAPS, caps);
    host->firmware = [prev = host->firmware](const FakeAdapterHost::Message& m, uint8_t* resp, uint32_t len,
                                             uint8_t* data, uint32_t dlen) {
        if (m.req_type() != HWRM_DBG_READ_DIRECT) return prev(m, resp, len, data, dlen);
        const uint32_t value = 42;
        std::memcpy(data, &value, 4);
        return 0;
    };
    uint32_t value = 0;
    ASSERT_EQ(zelt_get_error_recovery_counter(at("eth0", 0, 0x3b, 0, 1), &value, 5).code(), 0);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(host->messages.back().as<hwrm_dbg_read_direct_input>().read_addr, 0x0000A008u);

    // Device type 6 needs the capability first.
    EXPECT_EQ(zelt_get_error_recovery_counter(at("eth0", 0, 0x3b, 0, 1), &value, 6).code(), HVXRETVAL_UNSUPPORTED_OPERATION);
    // Newer chips read the register through the configuration window, which this host
    // cannot reach: the function has no configuration space here.
    EXPECT_EQ(zelt_get_error_recovery_counter(at("eth0", 0, 0x3b, 0, 1), &value, 8).code(), HVXRETVAL_REG_READ_FAILED);
    // No counter register.
    cfg.err_recovery_cnt_reg = 0;
    answer(HWRM_ERROR_RECOVERY_QCFG, cfg);
    EXPECT_EQ(zelt_get_error_recovery_counter(at("eth0", 0, 0x3b, 0, 1), &value, 5).code(), 9);
}

TEST_F(FwQueries, StatusAndSynchronisation) {
    hwrm_fw_qstatus_output qs{};
    qs.selfrst_status = 2;
    qs.nvm_option_action_status = 3;
    answer(HWRM_FW_QSTATUS, qs);
    hwrm_fw_health_check_output health{};
    health.fw_status = 0x1E2A;
    answer(HWRM_FW_HEALTH_CHECK, health);
    hwrm_fw_sync_output sync{};
    sync.sync_status = 0x40000001;
    answer(HWRM_FW_SYNC, sync);

    uint8_t status = 0;
    ASSERT_EQ(zeltnvmFwQueryStatus(named("eth0"), 0, 1, &status).code(), 0);
    EXPECT_EQ(status, 3);
    ASSERT_EQ(zeltnvmFwQueryStatus(named("eth0"), 0, 0, &status).code(), 0);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(host->messages.back().as<hwrm_fw_qstatus_input>().embedded_proc_type, 0);
    uint32_t word = 0;
    ASSERT_EQ(zeltnvm_nvm_redundancy_health_check(named("eth0"), &word).code(), 0);
    EXPECT_EQ(word, 0x1E2Au);
    ASSERT_EQ(zelt_sync_fw(named("eth0"), &word).code(), 0);
    EXPECT_EQ(word, 0x40000001u);
    EXPECT_EQ(host->messages.back().as<hwrm_fw_sync_input>().sync_action, 0x8000007Fu);
}

TEST_F(FwQueries, SetTimeSendsLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    host->fixed_now.tv_sec = 1718454245;  // 2024-06-15 12:24:05 UTC
    ASSERT_EQ(zeltnvm_set_fw_time(named("eth0")).code(), 0);
    auto t = host->messages.back().as<hwrm_fw_set_time_input>();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 6);
    EXPECT_EQ(t.day, 15);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 24);
    EXPECT_EQ(t.second, 5);
    EXPECT_EQ(t.millisecond, 0);
    EXPECT_EQ(t.zone, 0);
}

TEST_F(FwQueries, VersionAnswers) {
    hwrm_ver_get_output ver{};
    ver.chip_num = 0x1750;
    ver.chip_rev = 1;
    ver.chip_metal = 2;
    std::memset(ver.active_pkg_name, 'v', sizeof ver.active_pkg_name);  // no terminator
    answer(HWRM_VER_GET, ver);
    hwrm_ver_get_output whole{};
    uint32_t asic = 0;
    ASSERT_EQ(zeltnvm_get_fw_version(at("eth0", 0, 0x3b, 0, 1), &whole, &asic).code(), 0);
    EXPECT_EQ(asic, 0x17500102u);
    EXPECT_EQ(whole.chip_num, 0x1750);

    char buf[64];
    ASSERT_EQ(zeltnvm_linux_GetInstalledPackageVersion(named("eth0"), buf, sizeof buf).code(), 0);
    EXPECT_EQ(std::string(buf), std::string(32, 'v'));
    ASSERT_EQ(zeltnvm_linux_GetInstalledPackageVersion(named("eth0"), buf, 4).code(), 0);
    EXPECT_STREQ(buf, "vvv");
}

TEST_F(FwQueries, FailuresLeaveOutputsAlone) {
    refuse(0x0F);
    uint32_t asic = 77, word = 77;
    int mh = 7, mr = 7;
    uint8_t ver[3] = {7, 7, 7};
    EXPECT_EQ(zelt_query_host_type(named("eth0"), &mh, &mr).code(), 0x0F);
    EXPECT_EQ(zeltnvm_get_fw_version(at("eth0", 0, 0x3b, 0, 1), nullptr, &asic).code(), 0x0F);
    EXPECT_EQ(zelt_check_sync_status(named("eth0"), &word).code(), 0x0F);
    EXPECT_EQ(zeltnvm_get_active_cfg_version(named("eth0"), ver).code(), 0x0F);
    EXPECT_EQ(mh + mr, 14);
    EXPECT_EQ(asic + word, 154u);
    EXPECT_EQ(ver[0] + ver[1] + ver[2], 21);
    // An unresolvable name sends nothing.
    host->messages.clear();
    const transport::Function unknown = eth("nosuch0");
    EXPECT_EQ(unknown.channel->driver_info(unknown).result().code(), HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    EXPECT_TRUE(host->messages.empty());
}

TEST_F(FwQueries, HostFacts) {
    uint32_t major = 0, minor = 0;
    char name[8] = "";
    ASSERT_EQ(transport::zeltnvm_get_os_information(zelt::test::current_host(), &major, &minor, name).code(), 0);
    EXPECT_STREQ(name, "Linux");
    char host_name[transport::ZELT_SYSTEM_NAME_LEN];
    ASSERT_EQ(transport::zeltnvm_get_system_name(zelt::test::current_host(), host_name).code(), 0);
    EXPECT_GT(std::strlen(host_name), 0u);
}

}  // namespace
}  // namespace zelt::test
