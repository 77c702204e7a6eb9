// The simulated host's sysfs and procfs tree, as file readers and libpci see it.
#include <algorithm>
#include <cstring>

#include "common/supported_devices.h"
#include "host/linux_host.h"
#include "sim/tree/config_space.h"
#include "tests/sim/sim_test_support.h"

namespace zelt::sim::test {
namespace {

TEST(HostTree, LibpciListsTheSimulatedFunctionsWithTheirIds) {
    SimHostTestHost t(R"({"adapters":[{"device_type":8,"ports":2},
                                      {"device_type":5,"ports":1,"total_vfs":4,"num_vfs":2}]})");
    host::LinuxHost linux_view(t.root());
    std::vector<host::PciFunction> fns;
    ASSERT_TRUE(linux_view.scan_pci(fns));
    ASSERT_EQ(fns.size(), 5u);  // 2 + 1 PFs, 2 VFs
    std::sort(fns.begin(), fns.end(), [](const auto& a, const auto& b) {
        return std::tie(a.bus, a.dev, a.func) < std::tie(b.bus, b.dev, b.func);
    });
    struct Expect {
        uint8_t bus, dev, func;
        uint16_t device_id, subsys_id;
    };
    const Expect want[] = {{0x03, 0, 0, 0x9801, 0xa101}, {0x03, 0, 1, 0x9801, 0xa101}, {0x13, 0, 0, 0x7501, 0xa101},
                           {0x13, 1, 0, zeltnvm_vf_device_id(0x7501), 0xa101}, {0x13, 1, 1, zeltnvm_vf_device_id(0x7501), 0xa101}};
    for (size_t i = 0; i < fns.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fns[i].bus, want[i].bus);
        EXPECT_EQ(fns[i].dev, want[i].dev);
        EXPECT_EQ(fns[i].func, want[i].func);
        EXPECT_EQ(fns[i].vendor_id, ZELT_PCI_VENDOR_ID);
        EXPECT_EQ(fns[i].device_id, want[i].device_id);
        EXPECT_EQ(fns[i].subsys_vendor_id, ZELT_PCI_VENDOR_ID);
        EXPECT_EQ(fns[i].subsys_id, want[i].subsys_id);
        EXPECT_EQ(fns[i].class_code, 0x020000u);
    }
}

TEST(HostTree, ConfigSpaceCarriesLinkWordAndDeviceSerialNumber) {
    SimHostTestHost t(R"({"adapters":[{"device_type":8,"dsn":"0x5566778811223344"}]})");
    std::string cfg = zelt::test::read_text_file(t.root() + "/sys/bus/pci/devices/0000:03:00.0/config");
    ASSERT_EQ(cfg.size(), kConfigSpaceBytes);
    uint32_t lo, hi;
    uint16_t link;
    std::memcpy(&lo, cfg.data() + 0x140, 4);
    std::memcpy(&hi, cfg.data() + 0x144, 4);
    std::memcpy(&link, cfg.data() + 0xB8, 2);
    EXPECT_EQ(lo, 0x11223344u);
    EXPECT_EQ(hi, 0x55667788u);
    EXPECT_EQ(link & 0xF, 4);           // speed
    EXPECT_EQ((link >> 4) & 0x3F, 16);  // width
    // The same bytes through the procfs fallback, 256 of them.
    EXPECT_EQ(zelt::test::read_text_file(t.root() + "/proc/bus/pci/03/00.0"), cfg.substr(0, 256));
}

TEST(HostTree, InterfacesDriversAndModulesAreLinkedAsOnLinux) {
    SimHostTestHost t(R"({"adapters":[{"device_type":8}]})");
    SimHost& h = t.host();
    std::string uevent;
    ASSERT_TRUE(h.read_file("/sys/class/net/zen1/device/uevent", uevent));
    EXPECT_NE(uevent.find("PCI_SLOT_NAME=0000:03:00.1\n"), std::string::npos);
    std::vector<std::string> names;
    ASSERT_TRUE(h.list_directory("/sys/class/net/zen1/device/driver/module/drivers", names));
    EXPECT_EQ(names, std::vector<std::string>{"pci:zelt_en"});
    std::string id;
    ASSERT_TRUE(h.read_file("/sys/class/net/zen1/device/device", id));
    EXPECT_EQ(id, "0x9801\n");
    EXPECT_TRUE(h.module_loaded("zelt_en"));
    EXPECT_TRUE(h.exists("/dev/zelt_lfc"));

    // A function handed to the pass-through driver loses its interface.
    ASSERT_EQ(t.run_zeltsim({"fault", t.root(), "vfio", "--function", "0000:03:00.1"}), 0);
    std::string target;
    ASSERT_TRUE(h.read_link("/sys/bus/pci/devices/0000:03:00.1/driver", target));
    EXPECT_EQ(target, "../../drivers/vfio-pci");
    EXPECT_FALSE(h.exists("/sys/class/net/zen1"));
    EXPECT_TRUE(h.exists("/sys/class/net/zen0"));
}

TEST(HostTree, HostActionsChangeTheTree) {
    SimHostTestHost t(R"({"adapters":[{"device_type":5,"ports":1,"total_vfs":4,"num_vfs":0}]})");
    SimHost& h = t.host();
    ASSERT_EQ(h.set_vf_count("0000:03:00.0", 3), 0);
    std::string n;
    ASSERT_TRUE(h.read_file("/sys/bus/pci/devices/0000:03:00.0/sriov_numvfs", n));
    EXPECT_EQ(n, "3\n");
    EXPECT_TRUE(h.exists("/sys/bus/pci/devices/0000:03:01.0/physfn"));
    EXPECT_NE(h.set_vf_count("0000:03:00.0", 5), 0);  // above sriov_totalvfs
    ASSERT_EQ(h.set_vf_count("0000:03:00.0", 0), 0);
    EXPECT_FALSE(h.exists("/sys/bus/pci/devices/0000:03:01.0"));

    ASSERT_EQ(h.unbind_driver("0000:03:00.0", "zelt_en"), 0);
    EXPECT_FALSE(h.exists("/sys/bus/pci/devices/0000:03:00.0/driver"));
    EXPECT_FALSE(h.module_loaded("zelt_en"));
    EXPECT_NE(h.unbind_driver("0000:03:00.0", "zelt_en"), 0);  // nothing bound any more
}

}  // namespace
}  // namespace zelt::sim::test
