// The Ethernet driver's socket ioctls: driver information, link, address and MTU, the
// NVM encodings of the EEPROM commands, package flashing, dumps and module EEPROM.
#include <net/if.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "tests/sim/sim_test_support.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"
#include "wire/ethtool_nvm.h"

namespace zelt::sim::test {
namespace {

class EthtoolDriverTest : public SimHostTest {
protected:
    void SetUp() override { create(); }

    // Issues SIOCETHTOOL on `ifname` with `arg` as the command buffer; returns errno or 0.
    int ethtool(const char* ifname, void* arg) {
        struct ifreq ifr {};
        std::strncpy(ifr.ifr_name, ifname, IFNAMSIZ - 1);
        ifr.ifr_data = static_cast<char*>(arg);
        return host().interface_ioctl(SIOCETHTOOL, &ifr) == 0 ? 0 : errno;
    }

    // The directory index of an item, read through the firmware channel's view of the flash.
    int index_of(uint16_t type) {
        std::string out;
        EXPECT_EQ(run_zeltsim({"show", root(), "--directory"}, &out), 0);
        std::istringstream in(out);
        std::string line;
        while (std::getline(in, line)) {
            unsigned idx, t;
            if (std::sscanf(line.c_str(), " %u %u", &idx, &t) == 2 && t == type) return static_cast<int>(idx);
        }
        return -1;
    }

    std::vector<uint8_t> eeprom_buffer(uint32_t cmd, uint32_t magic, uint32_t offset, uint32_t len) {
        std::vector<uint8_t> buf(sizeof(ethtool_eeprom) + len, 0);
        ethtool_eeprom e{cmd, magic, offset, len};
        std::memcpy(buf.data(), &e, sizeof e);
        return buf;
    }
};

TEST_F(EthtoolDriverTest, DriverInformationCarriesThePackageVersion) {
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ASSERT_EQ(ethtool("zen0", &info), 0);
    EXPECT_STREQ(info.driver, "zelt_en");
    EXPECT_STREQ(info.fw_version, "228.1.107.0/pkg 228.1.107.0");
    EXPECT_STREQ(info.bus_info, "0000:03:00.0");
    EXPECT_EQ(ethtool("nosuch0", &info), ENODEV);
    EXPECT_EQ(ethtool("lo", &info), ENODEV);  // not an interface of the adapter driver
}

TEST_F(EthtoolDriverTest, AddressMtuAndLink) {
    struct ifreq ifr {};
    std::strcpy(ifr.ifr_name, "zen3");
    ASSERT_EQ(host().interface_ioctl(SIOCGIFHWADDR, &ifr), 0);
    EXPECT_EQ(std::memcmp(ifr.ifr_hwaddr.sa_data, "\x02\x5a\x0b\x00\x02\x01", 6), 0);
    ASSERT_EQ(host().interface_ioctl(SIOCGIFMTU, &ifr), 0);
    EXPECT_EQ(ifr.ifr_mtu, 1500);

    ethtool_value link{ETHTOOL_GLINK, 0};
    ASSERT_EQ(ethtool("zen3", &link), 0);
    EXPECT_EQ(link.data, 1u);
    ASSERT_EQ(run_zeltsim({"fault", root(), "link_down", "--function", "zen3"}), 0);
    ASSERT_EQ(ethtool("zen3", &link), 0);
    EXPECT_EQ(link.data, 0u);
    ASSERT_EQ(ethtool("zen2", &link), 0);
    EXPECT_EQ(link.data, 1u);
}

TEST_F(EthtoolDriverTest, ItemReadUsesIndexPlusOneInTheTopByte) {
    int vpd = index_of(5);
    ASSERT_GE(vpd, 0);
    auto buf = eeprom_buffer(ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(vpd, 0), 8);
    ASSERT_EQ(ethtool("zen0", buf.data()), 0);
    EXPECT_EQ(buf[sizeof(ethtool_eeprom)], 1);        // VPD format revision word
    EXPECT_EQ(buf[sizeof(ethtool_eeprom) + 4], 0x82);  // identifier string tag
    // An offset without an index is not an NVM read.
    auto plain = eeprom_buffer(ETHTOOL_GEEPROM, 0, 16, 8);
    EXPECT_EQ(ethtool("zen0", plain.data()), EINVAL);
}

TEST_F(EthtoolDriverTest, ItemWriteAndEraseEncodings) {
    std::vector<uint8_t> data{'h', 'e', 'l', 'l', 'o'};
    auto write = eeprom_buffer(ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(0x30, 0), ethtoolNvmWriteOffset(2, 0x0001), 5);
    std::memcpy(write.data() + sizeof(ethtool_eeprom), data.data(), 5);
    ASSERT_EQ(ethtool("zen1", write.data()), 0);
    int index = index_of(0x30);
    ASSERT_GE(index, 0);

    std::string item;
    ASSERT_EQ(run_zeltsim({"show", root(), "--item", "adapter0", std::to_string(index)}, &item), 0);
    EXPECT_NE(item.find("68 65 6c 6c 6f"), std::string::npos) << item;

    auto erase = eeprom_buffer(ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(index), ethtoolNvmEraseOffset(index), 1);
    ASSERT_EQ(ethtool("zen1", erase.data()), 0);
    EXPECT_EQ(index_of(0x30), -1);
    auto log = read_request_log(root());
    EXPECT_EQ(log.back()["op"], "erase");
    EXPECT_EQ(log.back()["index"], index);
}

TEST_F(EthtoolDriverTest, FlashStagesTheFileAndRecordsTheInstallType) {
    pkgbuild::Bytes package;
    ASSERT_EQ(pkgbuild::build_example_package(pkgbuild::kExamplePackageVersion, pkgbuild::test_signing_key(), &package), 0);
    std::ofstream(root() + "/lib/firmware/hvxupdate.pkg", std::ios::binary)
        .write(reinterpret_cast<const char*>(package.data()), static_cast<std::streamsize>(package.size()));
    ethtool_flash f{};
    f.cmd = ETHTOOL_FLASHDEV;
    f.region = ethtoolFlashPackageRegion(2);
    std::strcpy(f.data, ZELT_FLASH_PACKAGE_NAME);
    ASSERT_EQ(ethtool("zen0", &f), 0);
    auto log = read_request_log(root());
    EXPECT_EQ(log.back()["region"], 0x00020000u);
    EXPECT_EQ(log.back()["install_type"], 2u);
    EXPECT_EQ(log.back()["size"], package.size());
    std::string out;
    ASSERT_EQ(run_zeltsim({"show", root(), "--adapters"}, &out), 0);
    EXPECT_NE(out.find("last install: type 2, result 0"), std::string::npos) << out;
    EXPECT_NE(out.find("reset pending: yes"), std::string::npos);

    // Names that leave the firmware directory, or are not terminated, are refused.
    std::strcpy(f.data, "../../etc/passwd");
    EXPECT_EQ(ethtool("zen0", &f), EINVAL);
    std::memset(f.data, 'x', sizeof f.data);
    EXPECT_EQ(ethtool("zen0", &f), EINVAL);
    std::strcpy(f.data, "absent.pkg");
    EXPECT_EQ(ethtool("zen0", &f), ENOENT);
}

TEST_F(EthtoolDriverTest, ModuleEepromAndDumps) {
    auto id = eeprom_buffer(ETHTOOL_GMODULEEEPROM, 0, 0, 1);
    ASSERT_EQ(ethtool("zen0", id.data()), 0);
    EXPECT_EQ(id[sizeof(ethtool_eeprom)], 0x11);  // QSFP
    auto vendor = eeprom_buffer(ETHTOOL_GMODULEEEPROM, 0, ZELT_MODULE_VENDOR_NAME, ZELT_MODULE_VENDOR_NAME_LEN);
    ASSERT_EQ(ethtool("zen0", vendor.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(vendor.data()) + sizeof(ethtool_eeprom), 13), "HALVEX OPTICS");
    auto past = eeprom_buffer(ETHTOOL_GMODULEEEPROM, 0, 600, 100);
    EXPECT_EQ(ethtool("zen0", past.data()), EINVAL);

    // No crash dump held: the flag reads back with length 0.
    ethtool_dump d{ETHTOOL_SET_DUMP, 0, ZELT_ETHTOOL_DUMP_FLAG_CRASH, 0};
    ASSERT_EQ(ethtool("zen0", &d), 0);
    d = {ETHTOOL_GET_DUMP_FLAG, 0, 0, 0};
    ASSERT_EQ(ethtool("zen0", &d), 0);
    EXPECT_EQ(d.flag, ZELT_ETHTOOL_DUMP_FLAG_CRASH);
    EXPECT_EQ(d.len, 0u);
}

// Faults on the ethtool path come back as the errno values the utility maps.
TEST_F(EthtoolDriverTest, FaultsBecomeErrnoValues) {
    struct Case {
        std::vector<std::string> fault;
        int err;
    };
    const Case cases[] = {
        {{"ethtool_errno", "--ethtool-cmd", "0x0b", "--errno", "30"}, EROFS},
        {{"ethtool_errno", "--ethtool-cmd", "0x0b", "--errno", "95"}, EOPNOTSUPP},
        {{"busy"}, EAGAIN},
        {{"unresponsive"}, ETIMEDOUT},
        {{"busy", "--ethtool-cmd", "0x0b"}, EAGAIN},
        {{"unresponsive", "--ethtool-cmd", "0x0b"}, ETIMEDOUT},
        {{"busy", "--ethtool-cmd", "0x0c"}, 0},  // narrowed to another command
        {{"busy", "--req-type", "0xfff1"}, 0},   // narrowed to a firmware message
    };
    auto read = eeprom_buffer(ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(0, 0), 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault[0]);
        ASSERT_EQ(run_zeltsim({"fault", root(), "--clear"}), 0);
        std::vector<std::string> args{"fault", root()};
        args.insert(args.end(), c.fault.begin(), c.fault.end());
        ASSERT_EQ(run_zeltsim(args), 0);
        EXPECT_EQ(ethtool("zen0", read.data()), c.err);
        ethtool_drvinfo info{};
        info.cmd = ETHTOOL_GDRVINFO;
        EXPECT_EQ(ethtool("zen0", &info), 0);  // driver information still answers
    }
}

TEST_F(EthtoolDriverTest, UnloadedDriverTakesTheInterfacesAway) {
    ASSERT_EQ(run_zeltsim({"fault", root(), "driver_unloaded", "--adapter", "adapter1"}), 0);
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    EXPECT_EQ(ethtool("zen2", &info), ENODEV);
    EXPECT_EQ(ethtool("zen0", &info), 0);
    std::string dev = zelt::test::read_text_file(root() + "/proc/net/dev");
    EXPECT_EQ(dev.find("zen2"), std::string::npos);
    EXPECT_NE(dev.find("zen0"), std::string::npos);
    EXPECT_FALSE(host().exists("/sys/class/net/zen2"));
}

}  // namespace
}  // namespace zelt::sim::test
