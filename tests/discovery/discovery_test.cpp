// Discovery over a host tree built in a temporary directory: which functions become
// records, how they are named, and how they group into adapters.
#include "device/discovery.h"

#include <gtest/gtest.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/discovery_lookup.h"
#include "device/reset/device_reset.h"
#include "host/linux_host.h"
#include "tests/support/fake_channel.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"
#include "wire/nvm_option_values.h"
#include "tests/support/run_program.h"

using namespace zelt;

namespace {

using zelt::device::PciAddress;

struct FakeFunction {
    zelt::host::PciFunction pci;
    std::string ifname;      // empty: no interface
    std::string driver;      // bound PCI driver
    std::string serial;      // empty: the serial number cannot be read
    uint8_t mac[6];
};

std::string key(const PciAddress& a) {
    char b[32];
    std::snprintf(b, sizeof b, "%x:%x:%x.%x", a.domain, a.bus, a.device, a.function);
    return b;
}

// The fake functions by PCI address ("d:b:dv.f") and the interfaces' addresses.
struct FakeBus {
    std::map<std::string, FakeFunction> by_addr;
    std::map<std::string, std::string> if_addr;  // interface -> "d:b:dv.f"
};

// A host whose files live under a temporary root, with a scripted PCI bus and
// interface ioctls.
class TreeHost : public zelt::host::LinuxHost {
public:
    explicit TreeHost(std::string root) : LinuxHost(std::move(root)) {}
    std::vector<zelt::host::PciFunction> bus;
    std::map<std::string, std::array<uint8_t, 6>> hwaddr;
    bool scan_pci(std::vector<zelt::host::PciFunction>& out) override {
        out = bus;
        return true;
    }
    int interface_ioctl(unsigned long request, struct ifreq* ifr) override {
        auto it = hwaddr.find(ifr->ifr_name);
        if (it == hwaddr.end()) {
            errno = ENODEV;
            return -1;
        }
        if (request == SIOCGIFHWADDR) std::memcpy(ifr->ifr_hwaddr.sa_data, it->second.data(), 6);
        if (request == SIOCGIFMTU) ifr->ifr_mtu = 9000;
        if (request == SIOCETHTOOL) reinterpret_cast<ethtool_value*>(ifr->ifr_data)->data = 1;
        return 0;
    }
    int device_open(std::string_view, int) override {
        errno = ENOENT;
        return -1;
    }
    bool module_loaded(std::string_view) override { return true; }
    // The device serial number capability of the fake functions.
    bool read_pci_config(const zelt::host::PciFunction& fn, unsigned offset, void* out, size_t size) override {
        if (offset != 0x140 || size != 8 || !bus_) return LinuxHost::read_pci_config(fn, offset, out, size);
        auto it = bus_->by_addr.find(key(PciAddress{fn.domain, fn.bus, fn.dev, fn.func}));
        if (it == bus_->by_addr.end() || it->second.serial.empty()) return false;
        std::string digits = it->second.serial;
        digits.resize(16, '0');
        auto* bytes = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
        return true;
    }
    const struct FakeBus* bus_ = nullptr;
};

// A channel whose firmware answers the MAC addresses and link speed of the fake
// functions, and whose driver knows their interfaces.
std::shared_ptr<zelt::test::FakeChannel> fake_channel(zelt::host::Host& host, const FakeBus& bus) {
    auto channel = std::make_shared<zelt::test::FakeChannel>(host);
    // The base MAC address option of function 0 (MAC bytes 0 to 4 and a zero).
    channel->messages[HWRM_NVM_GET_VARIABLE] = [&bus](const zelt::transport::Function& f,
                                                      const zelt::transport::Message& msg) {
        const auto& fn = bus.by_addr.at(key(f.address));
        uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES] = {};
        value[1] = fn.mac[0];
        value[0] = fn.mac[1];
        value[7] = fn.mac[2];
        value[6] = fn.mac[3];
        value[5] = fn.mac[4];
        std::memcpy(msg.data->data, value, std::min<size_t>(sizeof value, msg.data->length));
        return zelt::Result();
    };
    channel->answer<hwrm_func_qcfg_output>(HWRM_FUNC_QCFG, [&bus](const zelt::transport::Function& f, auto& out) {
        std::memcpy(out.mac_address, bus.by_addr.at(key(f.address)).mac, 6);
        return zelt::Result();
    });
    channel->answer<hwrm_port_phy_qcfg_output>(HWRM_PORT_PHY_QCFG, [](const zelt::transport::Function&, auto& out) {
        out.link_speed = 250;
        return zelt::Result();
    });
    return channel;
}

class DiscoveryTest : public testing::Test {
protected:
    zelt::test::TempDir root;
    TreeHost host{root.path()};
    FakeBus queries;
    std::shared_ptr<zelt::test::FakeChannel> channel = fake_channel(host, queries);
    std::shared_ptr<zelt::test::FakeChannel> window = fake_channel(host, queries);
    zelt::device::Roads roads{channel, window};

    void SetUp() override { host.bus_ = &queries; }
    zelt::device::Inventory inventory;
    std::string proc_net_dev = "Inter-|   Receive\n face |bytes\n    lo: 0 0\n";

    std::string path(const std::string& p) { return root.path() + p; }
    void mkdirs(const std::string& p) { ASSERT_TRUE(host.make_directories(p)); }

    void add(const FakeFunction& fn) {
        host.bus.push_back(fn.pci);
        char addr[32];
        std::snprintf(addr, sizeof addr, "%04x:%02x:%02x.%x", fn.pci.domain, fn.pci.bus, fn.pci.dev, fn.pci.func);
        const std::string dir = std::string("/sys/bus/pci/devices/") + addr;
        mkdirs(dir);
        uint8_t cfg[256] = {};
        cfg[0] = fn.pci.vendor_id & 0xFF;
        cfg[1] = fn.pci.vendor_id >> 8;
        cfg[2] = fn.pci.device_id & 0xFF;
        cfg[3] = fn.pci.device_id >> 8;
        cfg[0x08] = 0x11;
        cfg[0x2E] = 0x01;
        cfg[0x2F] = 0xa1;
        cfg[0xB8] = 0x83;  // width 8, speed 3
        ASSERT_TRUE(host.write_file(dir + "/config", std::string_view(reinterpret_cast<char*>(cfg), sizeof cfg)));
        ASSERT_TRUE(host.write_file(dir + "/sriov_numvfs", "2\n"));
        ASSERT_TRUE(host.write_file(dir + "/sriov_totalvfs", "8\n"));
        if (!fn.driver.empty()) {
            mkdirs("/sys/bus/pci/drivers/" + fn.driver);
            ASSERT_EQ(::symlink(path("/sys/bus/pci/drivers/" + fn.driver).c_str(), path(dir + "/driver").c_str()), 0);
        }
        char key[32];
        std::snprintf(key, sizeof key, "%x:%x:%x.%x", fn.pci.domain, fn.pci.bus, fn.pci.dev, fn.pci.func);
        queries.by_addr[key] = fn;
        if (!fn.ifname.empty()) {
            const std::string net = "/sys/class/net/" + fn.ifname;
            mkdirs(net + "/device/driver/module/drivers/pci:zelt_en");
            char id[8];
            std::snprintf(id, sizeof id, "0x%04x\n", fn.pci.device_id);
            ASSERT_TRUE(host.write_file(net + "/device/device", id));
            queries.if_addr[fn.ifname] = key;
            channel->drivers[fn.ifname] = zelt::transport::DriverInfo{
                PciAddress{fn.pci.domain, fn.pci.bus, fn.pci.dev, fn.pci.func}, "1.2.3", "zelt_en"};
            host.hwaddr[fn.ifname] = {fn.mac[0], fn.mac[1], fn.mac[2], fn.mac[3], fn.mac[4], fn.mac[5]};
            proc_net_dev += "  " + fn.ifname + ": 100 2 0 0\n";
        }
    }

    int discover() {
        mkdirs("/proc/net");
        EXPECT_TRUE(host.write_file("/proc/net/dev", proc_net_dev));
        return zelt::device::zelt_nvm_discover(host, roads, inventory).code();
    }

    static FakeFunction pf(uint8_t bus, uint8_t func, uint16_t device_id, std::string ifname, std::string serial) {
        FakeFunction f{};
        f.pci.bus = bus;
        f.pci.func = func;
        f.pci.vendor_id = ZELT_PCI_VENDOR_ID;
        f.pci.device_id = device_id;
        f.ifname = std::move(ifname);
        f.driver = f.ifname.empty() ? "" : "zelt_en";
        f.serial = std::move(serial);
        uint8_t mac[6] = {0x00, 0x0a, 0xf7, bus, func, 0x56};
        std::memcpy(f.mac, mac, 6);
        return f;
    }
};

TEST_F(DiscoveryTest, NoAdapterIsSuccess) {
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inventory.functions.size(), 0u);
    EXPECT_EQ(inventory.adapters.size(), 0u);
    EXPECT_EQ(zelt::device::zeltnvm_first_device_name(inventory), nullptr);
}

TEST_F(DiscoveryTest, MissingProcNetDevFails) {
    EXPECT_EQ(zelt::device::zelt_nvm_discover(host, roads, inventory).code(), ZELT_RC_DEVICE_NOT_FOUND);
}

TEST_F(DiscoveryTest, FunctionsBecomeRecordsAndAdapters) {
    add(pf(0x3b, 0, 0x9803, "eth2", "a1b2c3d4e5f6071"));
    add(pf(0x3b, 1, 0x9803, "eth3", "a1b2c3d4e5f6071"));
    add(pf(0x5e, 0, 0x7402, "", "0011223344556677"));  // no interface; serial longer than 15
    add(pf(0x5e, 1, 0x7402, "", ""));                  // serial cannot be read
    FakeFunction vfio = pf(0x60, 0, 0x7402, "", "ffff");
    vfio.driver = "vfio-pci";
    add(vfio);
    add(pf(0x61, 0, 0x98f1, "", "eeee"));  // a VF id
    FakeFunction other = pf(0x62, 0, 0x9803, "", "dddd");
    other.pci.vendor_id = 0x1234;
    add(other);

    ASSERT_EQ(discover(), 0);
    ASSERT_EQ(inventory.functions.size(), 4u);
    EXPECT_TRUE(inventory.pci_window_functions);

    const zelt::device::zelt_nvm_device_info_t& eth2 = inventory.functions[0].facts;
    EXPECT_STREQ(eth2.nic_info.dev_name, "eth2");
    EXPECT_STREQ(eth2.nic_info.driver_name, "zelt_en");
    EXPECT_EQ(eth2.nic_info.driver_loaded, 1u);
    EXPECT_EQ(eth2.nic_info.driver_type, zelt::device::ZELT_DRIVER_MODULE);
    EXPECT_STREQ(eth2.nic_info.current_mac_addr, "00:0a:f7:3b:00:56");
    EXPECT_STREQ(eth2.nic_info.base_mac_addr, "00:0a:f7:3b:00:00");
    EXPECT_EQ(eth2.pci_info.sub_system_device_id, 0xa101);
    EXPECT_EQ(eth2.pci_info.revision, 0x11);
    EXPECT_EQ(eth2.pci_info.chip_rev_id, 0x98030011u);
    EXPECT_EQ(eth2.pci_info.pcie_width, 8u);
    EXPECT_EQ(eth2.pci_info.pcie_speed, 3u);
    EXPECT_EQ(eth2.pci_info.valid, 0);
    EXPECT_EQ(eth2.link_info.mtu, 9000u);
    EXPECT_EQ(eth2.link_info.link_status, 1u);
    EXPECT_EQ(eth2.link_info.link_speed, 250);
    EXPECT_EQ(eth2.sriov.Active_VFs, 2);
    EXPECT_EQ(eth2.sriov.Max_VFs, 8);

    const zelt::device::zelt_nvm_device_info_t& nodrv = inventory.functions[2].facts;
    EXPECT_STREQ(nodrv.nic_info.dev_name, "zelt_pci_dev:0:5e:0.0");
    EXPECT_EQ(nodrv.nic_info.driver_loaded, 0u);
    EXPECT_EQ(nodrv.nic_info.driver_type, zelt::device::ZELT_DRIVER_NONE);
    EXPECT_STREQ(nodrv.nic_info.current_mac_addr, nodrv.nic_info.permanent_mac_addr);
    EXPECT_STREQ(nodrv.nic_info.serial_number, "001122334455667");
    EXPECT_EQ(inventory.functions[3].facts.nic_info.valid, 1);  // serial number missing
    // A function with an interface is reached through its driver, one without through
    // its PCI window: discovery hands each the channel of its road.
    EXPECT_EQ(inventory.functions[0].function.name, "eth2");
    EXPECT_EQ(inventory.functions[0].function.channel, roads.driver);
    EXPECT_EQ(inventory.functions[2].function.name, "zelt_pci_dev:0:5e:0.0");
    EXPECT_EQ(inventory.functions[2].function.channel, roads.pci_window);
    EXPECT_EQ(inventory.functions[2].function.address, (PciAddress{0, 0x5e, 0, 0}));
    EXPECT_EQ(inventory.functions[0].adapter_pf_count, 2);

    // eth2 and eth3 share a serial number; the unreadable serial forms its own adapter.
    ASSERT_EQ(inventory.adapters.size(), 3u);
    EXPECT_STREQ(inventory.adapters[0].serial_number, "a1b2c3d4e5f6071");
    EXPECT_EQ(inventory.adapters[0].active_pf_count, 2);
    EXPECT_EQ(inventory.adapters[1].active_pf_count, 1);
    EXPECT_STREQ(inventory.adapters[2].serial_number, "");
    EXPECT_EQ(inventory.adapters[2].active_pf_count, 1);
    EXPECT_STREQ(zelt::device::zeltnvm_first_device_name(inventory), "eth2");

    const device::InventoryFunction* eth3 = device::find_function(inventory, "eth3");
    ASSERT_NE(eth3, nullptr);
    EXPECT_EQ(device::device_type_of(*eth3), 8);
    const device::InventoryFunction* window = device::find_function(inventory, "zelt_pci_dev:0:5e:0.1");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(device::device_type_of(*window), 4);
    EXPECT_EQ(device::find_function(inventory, "eth9"), nullptr);
}

TEST_F(DiscoveryTest, LongInterfaceNameIsQueriedByItsFirst15Characters) {
    add(pf(0x3b, 0, 0x9803, "enp59s0f0np0abcd", "a1"));
    host.hwaddr.erase("enp59s0f0np0abcd");
    host.hwaddr["enp59s0f0np0abc"] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(discover(), 0);
    ASSERT_EQ(inventory.functions.size(), 1u);
    EXPECT_STREQ(inventory.functions[0].facts.nic_info.dev_name, "enp59s0f0np0abcd");
    EXPECT_STREQ(inventory.functions[0].facts.nic_info.current_mac_addr, "01:02:03:04:05:06");
}

TEST_F(DiscoveryTest, InterfacesOfOtherDriversAreSkipped) {
    add(pf(0x3b, 0, 0x9803, "eth2", "a1"));
    host.remove_file("/sys/class/net/eth2/device/driver/module/drivers/pci:zelt_en");
    ASSERT_TRUE(host.make_directories("/sys/class/net/eth2/device/driver/module/drivers/pci:other"));
    ::rmdir(path("/sys/class/net/eth2/device/driver/module/drivers/pci:zelt_en").c_str());
    ASSERT_EQ(discover(), 0);
    ASSERT_EQ(inventory.functions.size(), 1u);
    EXPECT_STREQ(inventory.functions[0].facts.nic_info.dev_name, "zelt_pci_dev:0:3b:0.0");
}

// Two adapters may report the same serial number or none: functions are one adapter
// only when their serial numbers and their PCI domain and bus all match.
TEST_F(DiscoveryTest, AdaptersNeedOneSerialNumberAndOneBus) {
    add(pf(0x3b, 0, 0x9803, "eth0", "aaaa"));
    add(pf(0x3b, 1, 0x9803, "eth1", "aaaa"));
    add(pf(0x4c, 0, 0x9803, "eth2", "aaaa"));  // the serial number of the adapter on bus 3b
    add(pf(0x5e, 0, 0x7402, "", ""));          // no serial number
    add(pf(0x5e, 1, 0x7402, "", ""));
    add(pf(0x6f, 0, 0x7402, "", ""));
    ASSERT_EQ(discover(), 0);
    ASSERT_EQ(inventory.functions.size(), 6u);

    struct Case {
        const char* name;
        int adapter;
        uint16_t pfs;
        std::vector<std::string> reset_pfs;  // the functions a reset of `name` waits for
    } cases[] = {
        {"eth0", 0, 2, {"eth0", "eth1"}},
        {"eth1", 0, 2, {"eth0", "eth1"}},
        {"eth2", 1, 1, {"eth2"}},
        {"zelt_pci_dev:0:5e:0.0", 2, 2, {"zelt_pci_dev:0:5e:0.0", "zelt_pci_dev:0:5e:0.1"}},
        {"zelt_pci_dev:0:6f:0.0", 3, 1, {"zelt_pci_dev:0:6f:0.0"}},
    };
    ASSERT_EQ(zeltnvm_adapter_count(inventory), 4);
    for (const Case& c : cases) {
        const zelt::device::InventoryFunction* f = zelt::device::find_function(inventory, c.name);
        ASSERT_NE(f, nullptr) << c.name;
        EXPECT_EQ(zelt::device::zeltnvm_adapter_of(inventory, &f->facts), c.adapter) << c.name;
        EXPECT_EQ(f->adapter_pf_count, c.pfs) << c.name;
        EXPECT_EQ(inventory.adapters[static_cast<size_t>(c.adapter)].active_pf_count, c.pfs) << c.name;
        const zelt::device::InventoryFunction* rep = zelt::device::zeltnvm_adapter_representative(inventory, c.adapter);
        ASSERT_NE(rep, nullptr) << c.name;
        EXPECT_STREQ(rep->name(), c.reset_pfs.front().c_str()) << c.name;

        zelt::device::zelt_nvm_pci_info info;
        zelt::device::zelt_fill_reset_info(inventory, *f, &info);
        std::vector<std::string> names;
        for (const auto& fn : info.adapter_pfs) names.push_back(fn.c_name());
        EXPECT_EQ(names, c.reset_pfs) << c.name;
    }
}

// Functions of different adapters listed in turn, two of them bricked (no driver, no
// serial number): each function joins its own adapter, whichever adapter came last.
TEST_F(DiscoveryTest, InterleavedFunctionsJoinTheirOwnAdapter) {
    add(pf(0x3b, 0, 0x9803, "eth0", "aaaa"));
    add(pf(0x5e, 0, 0x7402, "", ""));
    add(pf(0x4c, 0, 0x9803, "eth2", "bbbb"));
    add(pf(0x6f, 0, 0x7402, "", ""));
    add(pf(0x3b, 1, 0x9803, "eth1", "aaaa"));
    add(pf(0x5e, 1, 0x7402, "", ""));
    add(pf(0x4c, 1, 0x9803, "eth3", "bbbb"));
    ASSERT_EQ(discover(), 0);
    ASSERT_EQ(zeltnvm_adapter_count(inventory), 4);
    const struct {
        const char* name;
        const char* same_adapter_as;
    } cases[] = {
        {"eth1", "eth0"},
        {"eth3", "eth2"},
        {"zelt_pci_dev:0:5e:0.1", "zelt_pci_dev:0:5e:0.0"},
    };
    for (const auto& c : cases) {
        const auto* f = zelt::device::find_function(inventory, c.name);
        const auto* g = zelt::device::find_function(inventory, c.same_adapter_as);
        ASSERT_TRUE(f && g) << c.name;
        EXPECT_EQ(zelt::device::zeltnvm_adapter_of(inventory, &f->facts),
                  zelt::device::zeltnvm_adapter_of(inventory, &g->facts))
            << c.name;
        EXPECT_EQ(f->adapter_pf_count, 2) << c.name;
    }
    // The two bricked adapters stay apart.
    const auto* bricked = zelt::device::find_function(inventory, "zelt_pci_dev:0:5e:0.0");
    const auto* other = zelt::device::find_function(inventory, "zelt_pci_dev:0:6f:0.0");
    ASSERT_TRUE(bricked && other);
    EXPECT_NE(zelt::device::zeltnvm_adapter_of(inventory, &bricked->facts),
              zelt::device::zeltnvm_adapter_of(inventory, &other->facts));
    EXPECT_EQ(other->adapter_pf_count, 1);
}

}  // namespace
