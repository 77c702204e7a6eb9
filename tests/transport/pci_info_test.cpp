#include <cerrno>
#include <cstring>

#include "common/hvxretval.h"
#include "tests/transport/transport_fixture.h"
#include "transport/pci_info.h"

namespace zelt::test {
namespace {

using PciInfo = TransportTest;

struct Address {
    uint32_t domain = 99, bus = 99, device = 99, function = 99;
    bool operator==(const Address&) const = default;
};

int32_t drvInfo(const transport::Function& fn, Address& a, std::string* version = nullptr,
                std::string* name = nullptr) {
    const auto info = transport::zeltDrvInfo(fn, version && name);
    if (!info.ok()) return info.result().code();
    a = {info->address.domain, info->address.bus, info->address.device, info->address.function};
    if (version && name) {
        *version = info->driver_version;
        *name = info->driver_name;
    }
    return 0;
}

// Answers the driver information request with the given bus text.
void driverInfo(FakeAdapterHost* host, const char* bus_info, int err = 0) {
    host->driver = [bus_info, err](const FakeAdapterHost::EthtoolCall& call, void* arg) {
        if (err) return err;
        if (call.cmd != ETHTOOL_GDRVINFO) return EOPNOTSUPP;
        auto* info = static_cast<ethtool_drvinfo*>(arg);
        std::strcpy(info->driver, "zelt_en");
        std::strcpy(info->version, "1.10.3");
        std::strcpy(info->bus_info, bus_info);
        return 0;
    };
}

TEST_F(PciInfo, ResolvesNames) {
    uevent("enp59s0f1", "0001:3b:00.1");
    uevent("broken0", "not-a-slot");
    // A line longer than a line buffer comes in pieces; the slot line after it is found.
    hostFile("/sys/class/net/long0/device/uevent",
             "MODALIAS=" + std::string(600, 'x') + "\nPCI_SLOT_NAME=0000:12:00.3\n");
    driverInfo(host, "0000:af:1f.7");
    const struct {
        const char* dev;
        int32_t rc;
        Address address;
    } cases[] = {
        {"enp59s0f1", 0, {1, 0x3b, 0, 1}},                // from sysfs
        {"ens5", 0, {0, 0xaf, 0x1f, 7}},                  // no uevent file: the driver's bus text
        {"broken0", -41, {}},                             // slot line that does not parse
        {"long0", 0, {0, 0x12, 0, 3}},                    // after a line longer than the buffer
        {"../../../etc", -41, {}},                        // not an interface name
    };
    for (const auto& c : cases) {
        Address a;
        EXPECT_EQ(drvInfo(eth(c.dev), a), c.rc) << c.dev;
        EXPECT_EQ(a, c.rc == 0 ? c.address : Address{}) << c.dev;
    }
}

TEST_F(PciInfo, DriverFailuresAndUnparsableBusText) {
    Address a;
    driverInfo(host, "virtual");
    EXPECT_EQ(drvInfo(eth("ens5"), a), HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    driverInfo(host, "", ENODEV);
    EXPECT_EQ(drvInfo(eth("ens5"), a), HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    EXPECT_EQ(a, Address{});
}

TEST_F(PciInfo, CopiesDriverNameAndVersionWhenAsked) {
    uevent("enp59s0f1", "0000:3b:00.1");
    driverInfo(host, "0000:3b:00.1");
    Address a;
    std::string version, name;
    ASSERT_EQ(drvInfo(eth("enp59s0f1"), a, &version, &name), 0);
    EXPECT_EQ(version, "1.10.3");
    EXPECT_EQ(name, "zelt_en");
    EXPECT_EQ(a, (Address{0, 0x3b, 0, 1}));
    // Without the driver texts, sysfs alone answers.
    host->ethtool_calls.clear();
    ASSERT_EQ(drvInfo(eth("enp59s0f1"), a), 0);
    EXPECT_TRUE(host->ethtool_calls.empty());
}

TEST_F(PciInfo, ConfigSpaceFromSysfsOrProcfs) {
    std::string sysfs(256, 's'), procfs(256, 'p');
    hostFile("/proc/bus/pci/3b/00.1", procfs);
    uint8_t cfg[256];
    ASSERT_EQ(transport::zeltnvm_get_pci_cfg_data(*host, PciAddress{0, 0x3b, 0, 1}, cfg).code(), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(cfg), 256), procfs);
    hostFile("/sys/bus/pci/devices/0000:3b:00.1/config", sysfs);
    ASSERT_EQ(transport::zeltnvm_get_pci_cfg_data(*host, PciAddress{0, 0x3b, 0, 1}, cfg).code(), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(cfg), 256), sysfs);
    // A short configuration space, and none at all.
    hostFile("/sys/bus/pci/devices/0000:3b:00.2/config", std::string(64, 'x'));
    EXPECT_EQ(transport::zeltnvm_get_pci_cfg_data(*host, PciAddress{0, 0x3b, 0, 2}, cfg).code(), 4);
    EXPECT_EQ(transport::zeltnvm_get_pci_cfg_data(*host, PciAddress{0, 0x3b, 0, 3}, cfg).code(), 4);
}

}  // namespace
}  // namespace zelt::test
