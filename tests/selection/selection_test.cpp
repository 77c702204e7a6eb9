// Selector resolution, the listings and the listing parsers, over in-memory function
// records and scripted adapter answers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "cli/device_queries.h"
#include "cli/device_selection.h"
#include "cli/report/output.h"
#include "common/hvxretval.h"
#include "host/linux_host.h"
#include "tests/support/fake_channel.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "device/discovery.h"
#include "tests/support/installed_host.h"

using namespace zelt::cli;

using namespace zelt;

namespace {

using zelt::device::PciAddress;

// Configuration-space offsets of the firmware's reset and error recovery counters.
constexpr uint32_t kResetCounterReg = 0x200;
constexpr uint32_t kRecoveryCounterReg = 0x204;

// A host whose PCI configuration space holds the functions' ids and the firmware's
// counter registers (reset counter 4, error recovery counter 0).
class CounterHost : public zelt::host::LinuxHost {
public:
    bool read_pci_config(const zelt::host::PciFunction& fn, unsigned offset, void* out, size_t size) override {
        uint32_t word = 0;
        if (offset == 0) word = 0x2b1du | (fn.bus == 0x3b ? 0x9803u : 0x7402u) << 16;
        else if (offset == kResetCounterReg) word = 4;
        else if (offset != kRecoveryCounterReg) return false;
        std::memcpy(out, &word, std::min(size, sizeof word));
        return true;
    }
};

// The firmware and driver answers of one function: its install log holds one entry
// naming it ("Orvanta board of <name>") without a package version.
std::shared_ptr<zelt::test::FakeChannel> scripted_channel(zelt::host::Host& host, const std::string& name,
                                                          const bool& busy_at_counter) {
    using zelt::Result;
    using zelt::transport::Function;
    auto channel = std::make_shared<zelt::test::FakeChannel>(host);
    const std::string log = "t\tOrvanta board of " + name + "\n";
    channel->items[{1, 0, 0}] = std::vector<uint8_t>(log.begin(), log.end());
    channel->pkg_version = "230.1.2.0";
    channel->fw_version = "230.1.9.0";
    channel->messages[HWRM_NVM_GET_VARIABLE] = [](const Function&, const zelt::transport::Message& msg) {
        hwrm_nvm_get_variable_input req;
        std::memcpy(&req, msg.req, sizeof req);
        if (req.option_num != 602) return Result::tool(HVXRETVAL_FAILURE);
        const uint8_t value[3] = {3, 2, 1};  // stored least significant byte first
        std::memcpy(msg.data->data, value, std::min<size_t>(sizeof value, msg.data->length));
        return Result();
    };
    channel->answer<hwrm_nvm_get_dev_info_output>(HWRM_NVM_GET_DEV_INFO, [](const Function&, auto& out) {
        out.nvm_cfg_ver_maj = 1, out.nvm_cfg_ver_min = 2, out.nvm_cfg_ver_upd = 3;
        return Result();
    });
    channel->answer<hwrm_error_recovery_qcfg_output>(
        HWRM_ERROR_RECOVERY_QCFG, [&busy_at_counter](const Function&, auto& out) {
            if (busy_at_counter) return Result::tool(ZELT_RC_BUSY);
            out.fw_reset_cnt_reg = kResetCounterReg;
            out.err_recovery_cnt_reg = kRecoveryCounterReg;
            return Result();
        });
    channel->answer<hwrm_ver_get_output>(HWRM_VER_GET, [](const Function&, auto& out) {
        out.dev_caps_cfg = HWRM_VER_GET_DEV_CAPS_CFG_SECURE_FW;
        return Result();
    });
    channel->answer<hwrm_fw_health_check_output>(HWRM_FW_HEALTH_CHECK, [](const Function&, auto& out) {
        out.fw_status = 0x80;
        return Result();
    });
    channel->answer<hwrm_dbg_qcaps_output>(HWRM_DBG_QCAPS, [](const Function&, auto&) { return Result(); });
    channel->answer<hwrm_func_qcaps_output>(HWRM_FUNC_QCAPS, [](const Function&, auto&) { return Result(); });
    channel->answer<hwrm_func_qcfg_output>(HWRM_FUNC_QCFG, [](const Function&, auto& out) {
        out.flags = HWRM_FUNC_QCFG_FLAGS_SECURE_MODE_ENABLED;
        return Result();
    });
    return channel;
}

// Two two-port adapters: a Kestra one named by interfaces (function 1 listed first) and
// an older one whose functions have no driver.
class SelectionTest : public testing::Test {
protected:
    bool busy_at_counter = false;  // the reset counter query answers busy
    // The listings write into a report; its text form prints as it goes.
    zelt::cli::report::Output output{zelt::cli::report::Format::kText};
    zelt::cli::report::Report report = output.report("listdev");
    zelt::cli::report::Json device;
    zelt::device::Inventory inventory;
    void SetUp() override {
        auto host = std::make_unique<CounterHost>();
        host_ = host.get();
        zelt::test::install_host(std::move(host));
        add_function("eth3", "00:0a:f7:12:34:57", 0x3b, 1, 0x9803, "aaaa");
        add_function("eth2", "00:0a:f7:12:34:56", 0x3b, 0, 0x9803, "aaaa");
        add_function("zelt_pci_dev:0:5e:0.0", "00:0a:f7:aa:bb:00", 0x5e, 0, 0x7402, "bbbb");
        add_function("zelt_pci_dev:0:5e:0.1", "00:0a:f7:aa:bb:01", 0x5e, 1, 0x7402, "bbbb");
        inventory.group_adapters();
    }
    void TearDown() override { zelt::test::install_host(std::make_unique<zelt::host::LinuxHost>()); }

    // The discovered function of that name (the test stops when there is none).
    const zelt::device::InventoryFunction& function(const char* name) {
        const zelt::device::InventoryFunction* found = zelt::device::find_function(inventory, name);
        if (!found) throw std::runtime_error(std::string("no function ") + name);
        return *found;
    }

    void add_function(const char* name, const char* mac, uint32_t bus, uint32_t func, uint16_t device_id,
                      const char* serial) {
        zelt::device::zelt_nvm_device_info_t r{};
        std::snprintf(r.nic_info.dev_name, sizeof r.nic_info.dev_name, "%s", name);
        std::snprintf(r.nic_info.current_mac_addr, sizeof r.nic_info.current_mac_addr, "%s", mac);
        std::snprintf(r.nic_info.serial_number, sizeof r.nic_info.serial_number, "%s", serial);
        r.nic_info.driver_loaded = std::strncmp(name, "zelt_pci_dev", 12) != 0;
        r.pci_info.bus_no = bus;
        r.pci_info.function_no = func;
        r.pci_info.vendor_id = 0x2b1d;
        r.pci_info.device_id = device_id;
        inventory.add(r, zelt::transport::Function{name, PciAddress{0, bus, 0, func},
                                                   scripted_channel(*host_, name, busy_at_counter)});
    }

    zelt::host::Host* host_ = nullptr;
};

TEST_F(SelectionTest, Selectors) {
    struct Case {
        const char* selector;
        const char* name;  // nullptr: no function
    };
    const Case cases[] = {
        {"00:0A:f7:12:34:56", "eth2"},
        {"00-0a-f7-12-34-56", "eth2"},
        {"000af7123456", "eth2"},  // no separators: colons inserted
        {"000AF7AABB01", "zelt_pci_dev:0:5e:0.1"},
        {"0000:3b:00.1", "eth3"},
        {"0000:5e:00.1", "zelt_pci_dev:0:5e:0.1"},
        {"3b:00.1", nullptr},       // no domain: tried as a name
        {"0000:3b:00.1x", nullptr}, // trailing text: not an address, no such name
        {"0:a:f7:12:34:56", nullptr},  // one-digit groups are no MAC address
        {"eth3", "eth3"},
        {"eth9", nullptr},
        {"00:0a:f7:12:34:99", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        std::string name;
        const zelt::device::InventoryFunction* got = select_device(inventory, c.selector, name);
        if (c.name) {
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(name, c.name);
            // later lookups of the name find the selected function
            EXPECT_EQ(zelt::device::find_function(inventory, name.c_str()), got);
        } else {
            EXPECT_EQ(got, nullptr);
        }
    }
}

TEST_F(SelectionTest, ShortListingOfEveryAdapter) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(list_devices(*host_, inventory, ListingForm::kShort, report), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nOrvanta board of eth2 #1\n"
              "Device Interface Name       : eth2\n"
              "MACAddress                  : 00:0a:f7:12:34:56\n"
              "PCI Device Name             : 0000:3b:00.0\n\n"
              "\nOrvanta board of zelt_pci_dev:0:5e:0.0 #2\n"
              "Device Interface Name       : N/A\n"
              "MACAddress                  : 00:0a:f7:aa:bb:00\n"
              "PCI Device Name             : 0000:5e:00.0\n\n");
}

TEST_F(SelectionTest, NoAdapterListsNothing) {
    inventory = {};
    testing::internal::CaptureStdout();
    EXPECT_EQ(list_devices(*host_, inventory, ListingForm::kFull, report), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(SelectionTest, FullListing) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(list_device(*host_, function("eth2"), ListingForm::kFull, report, device), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Device Interface Name       : eth2\n"
              "MACAddress                  : 00:0a:f7:12:34:56\n"
              "Base MACAddress             : N/A\n"
              "Device Serial Number        : N/A\n"
              "Chip Number                 : HVX9K8032\n"
              "Part Number                 : OA803-2P100G-A\n"  // no FRU, no VPD: the first board row

              "Description                 : Orvanta board of eth2\n"
              "PCI Vendor Id               : 2b1d\n"
              "PCI Device Id               : 9803\n"
              "PCI Subsys Vendor Id        : 0000\n"
              "PCI Subsys Device Id        : 0000\n"
              "PCI Device Name             : 0000:3b:00.0\n"
              "Adapter Rev                 : 00\n"
              "Active Package version      : 230.1.2.0\n"
              "Package version on NVM      : N/A\n"
              "Firmware version            : 230.1.9.0\n"
              "Active NVM config version   : 1.2.3\n"
              "NVM config version          : 1.2.3\n"
              "Firmware Reset Counter      : 4\n"
              "Error Recovery Counter      : 0\n"
              "Crash Dump Timestamp        : N/A\n"
              "Reboot Required             : No\n"
              "Secure Boot                 : Disabled\n"
              "Secure Firmware Update      : Enabled\n"
              "FW Image Status             : Fastbooted\n"
              "Crash Dump Available in DDR : False\n"
              "\n");
}

TEST_F(SelectionTest, BusyStopsTheListing) {
    busy_at_counter = true;
    testing::internal::CaptureStdout();
    EXPECT_EQ(list_device(*host_, function("eth2"), ListingForm::kFull, report, device), ZELT_RC_BUSY);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("NVM config version          : 1.2.3\n"), std::string::npos);
    EXPECT_EQ(out.find("Firmware Reset Counter"), std::string::npos);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(zeltnvm_device_info_command(*host_, inventory, report), 21);
    testing::internal::GetCapturedStderr();
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Hardware not responding to list the device properties\n"), std::string::npos);
}

TEST_F(SelectionTest, AdapterQueries) {
    int count = -7;
    EXPECT_EQ(zelt_get_function_count(inventory, function("eth3"), &count, false), 0);
    EXPECT_EQ(count, 2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(zeltnvm_check_device_mode(function("eth2")), ZELT_RC_NO_ADMIN);
    testing::internal::GetCapturedStdout();
}

TEST(ListingParsers, InstalledPackageVersion) {
    const std::string log =
        "1\tPackage\t220.0.1.0\tx\n"
        "2\tLive Patch\t999.0.0.0\n"
        "3\tPackage\t230.1.2.0\n"
        "short line\n";
    const std::vector<uint8_t> bytes(log.begin(), log.end());
    EXPECT_EQ(zeltnvm_parse_installed_pkg_ver(bytes), "230.1.2.0");
    EXPECT_EQ(zeltnvm_parse_installed_pkg_ver({}), "");
}

TEST(ListingParsers, Fru) {
    std::vector<uint8_t> item(76, 0);
    std::memcpy(&item[19], "Orvanta 2x25G", 13);
    std::memcpy(&item[52], "SN000123456789", 14);  // fills its field, no terminator
    std::memcpy(&item[67], "OA2101", 6);
    std::memcpy(&item[73], "B01", 3);
    zelt_fru_fields f;
    ASSERT_TRUE(zeltnvm_parse_fru(item, f));
    EXPECT_EQ(f.product_name, "Orvanta 2x25G");
    EXPECT_EQ(f.serial, "SN000123456789");
    EXPECT_EQ(f.part_number, "OA2101");
    EXPECT_EQ(f.adapter_rev, "B01");
    item.resize(75);
    EXPECT_FALSE(zeltnvm_parse_fru(item, f));
}

TEST(ListingParsers, VpdField) {
    // Version word, identifier string "AB", read-only resource with PN and SN, end tag.
    std::vector<uint8_t> vpd = {1, 0, 0, 0, 0x82, 2, 0, 'A', 'B', 0x90, 11, 0, 'P', 'N', 2, 'P', '1', 'S', 'N', 3,
                                'S', '0', '1', 0x78};
    std::string text;
    EXPECT_TRUE(zeltnvm_parse_vpd_field(vpd, "SN", text));
    EXPECT_EQ(text, "S01");
    EXPECT_TRUE(zeltnvm_parse_vpd_field(vpd, "PN", text));
    EXPECT_EQ(text, "P1");
    EXPECT_FALSE(zeltnvm_parse_vpd_field(vpd, "MN", text));
    vpd[10] = 40;  // read-only resource longer than the item
    EXPECT_FALSE(zeltnvm_parse_vpd_field(vpd, "SN", text));
}

}  // namespace
