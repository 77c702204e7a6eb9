// Selector resolution, the listings and the listing parsers, over in-memory function
// records and scripted adapter answers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "cli/device_queries.h"
#include "cli/device_selection.h"
#include "cli/report/output.h"
#include "common/hvxretval.h"
#include "device/adapter_queries.h"
#include "device/discovery.h"

namespace {

using zelt::device::PciAddress;

class ScriptedQueries : public zelt::device::AdapterQueries {
public:
    int busy_at_counter = 0;  // nonzero: the reset counter query answers busy
    std::map<int, std::vector<uint8_t>> items;  // by directory type
    int drv_info(const std::string&, PciAddress&, std::string&, std::string&) override { return -41; }
    int base_mac(const zelt::transport::Function&, std::string&) override { return -1; }
    int permanent_mac(const zelt::transport::Function&, uint8_t*) override { return -1; }
    int serial_number(const zelt::transport::Function&, std::string&) override { return -1; }
    int link_speed(const zelt::transport::Function&, double&, uint16_t&) override { return -1; }
    int find_item(const std::string&, uint16_t type, uint16_t, uint16_t, uint32_t& length) override {
        auto it = items.find(type);
        if (it == items.end()) return HVXRETVAL_ITEM_NOT_FOUND;
        length = static_cast<uint32_t>(it->second.size());
        return 0;
    }
    int read_item(const std::string&, uint16_t type, uint16_t, uint16_t, std::vector<uint8_t>& data) override {
        auto it = items.find(type);
        if (it == items.end()) return HVXRETVAL_ITEM_NOT_FOUND;
        data = it->second;
        return 0;
    }
    int item_version(const std::string& name, uint16_t type, uint16_t, uint16_t, int selector,
                     std::string& text) override {
        if (type != 1) return HVXRETVAL_ITEM_NOT_FOUND;
        text = selector == 3 ? "Orvanta board of " + name : "230.1.2.0";
        return 0;
    }
    int option_get(const zelt::transport::Function&, uint16_t, uint16_t option, std::vector<uint8_t>& value,
                   size_t) override {
        if (option != 602) return -1;
        value = {3, 2, 1};  // stored least significant byte first
        return 0;
    }
    int port_count_of_mode(uint8_t, int&) override { return -1; }
    int active_package_version(const std::string&, std::string& text) override {
        text = "230.1.2.0";
        return 0;
    }
    int firmware_version(const std::string&, std::string& text) override {
        text = "230.1.9.0";
        return 0;
    }
    int active_cfg_version(const std::string&, uint8_t v[3]) override {
        v[0] = 1, v[1] = 2, v[2] = 3;
        return 0;
    }
    int fw_reset_counter(const zelt::transport::Function&, int, uint32_t& value) override {
        if (busy_at_counter) return ZELT_RC_BUSY;
        value = 4;
        return 0;
    }
    int error_recovery_counter(const zelt::transport::Function&, int, uint32_t& value) override {
        value = 0;
        return 0;
    }
    int crashdump_timestamp(const std::string&, uint64_t& s) override {
        s = 0;
        return 0;
    }
    int secure_boot_status(const std::string&, bool& sb, bool& sf) override {
        sb = false, sf = true;
        return 0;
    }
    int fw_image_status(const std::string&, uint32_t& status) override {
        status = 0x80;
        return 0;
    }
    int crashdump_in_ddr(const std::string&, bool& a) override {
        a = false;
        return 0;
    }
    int device_secure_mode(const std::string&, bool& s) override {
        s = true;
        return 0;
    }
    int admin_pf_status(const zelt::transport::Function&, bool& admin) override {
        admin = false;
        return 0;
    }
};

void add_function(zelt::device::Inventory& inventory, const char* name, const char* mac, uint32_t bus, uint32_t func,
                  uint16_t device_id, const char* serial) {
    zelt_nvm_device_info_t r{};
    std::snprintf(r.nic_info.dev_name, sizeof r.nic_info.dev_name, "%s", name);
    std::snprintf(r.nic_info.current_mac_addr, sizeof r.nic_info.current_mac_addr, "%s", mac);
    std::snprintf(r.nic_info.serial_number, sizeof r.nic_info.serial_number, "%s", serial);
    r.pci_info.bus_no = bus;
    r.pci_info.function_no = func;
    r.pci_info.vendor_id = 0x2b1d;
    r.pci_info.device_id = device_id;
    inventory.add(r);
}

// Two two-port adapters: a Kestra one named by interfaces (function 1 listed first) and
// an older one whose functions have no driver.
class SelectionTest : public testing::Test {
protected:
    ScriptedQueries queries;
    // The listings write into a report; its text form prints as it goes.
    zelt::cli::report::Output output{zelt::cli::report::Format::kText};
    zelt::cli::report::Report report = output.report("listdev");
    zelt::cli::report::Json device;
    zelt::device::Inventory inventory;
    void SetUp() override {
        zelt::device::set_adapter_queries(&queries);
        add_function(inventory, "eth3", "00:0a:f7:12:34:57", 0x3b, 1, 0x9803, "aaaa");
        add_function(inventory, "eth2", "00:0a:f7:12:34:56", 0x3b, 0, 0x9803, "aaaa");
        add_function(inventory, "zelt_pci_dev:0:5e:0.0", "00:0a:f7:aa:bb:00", 0x5e, 0, 0x7402, "bbbb");
        add_function(inventory, "zelt_pci_dev:0:5e:0.1", "00:0a:f7:aa:bb:01", 0x5e, 1, 0x7402, "bbbb");
        inventory.group_adapters();
    }
    void TearDown() override { zelt::device::set_adapter_queries(nullptr); }
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
    EXPECT_EQ(list_devices(inventory, ListingForm::kShort, report), 0);
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
    EXPECT_EQ(list_devices(inventory, ListingForm::kFull, report), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(SelectionTest, FullListing) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(list_device(inventory, "eth2", ListingForm::kFull, report, device), 0);
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
    EXPECT_EQ(list_device(inventory, "eth9", ListingForm::kFull, report, device), ZELT_RC_DEVICE_NOT_FOUND);
}

TEST_F(SelectionTest, BusyStopsTheListing) {
    queries.busy_at_counter = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(list_device(inventory, "eth2", ListingForm::kFull, report, device), ZELT_RC_BUSY);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("NVM config version          : 1.2.3\n"), std::string::npos);
    EXPECT_EQ(out.find("Firmware Reset Counter"), std::string::npos);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(zeltnvm_device_info_command(inventory, report), 21);
    testing::internal::GetCapturedStderr();
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Hardware not responding to list the device properties\n"), std::string::npos);
}

TEST_F(SelectionTest, AdapterQueries) {
    int count = -7;
    EXPECT_EQ(zelt_get_function_count(inventory, "eth3", &count, false), 0);
    EXPECT_EQ(count, 2);
    count = -7;
    EXPECT_EQ(zelt_get_function_count(inventory, "eth9", &count, false), 0);
    EXPECT_EQ(count, -7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(zeltnvm_check_device_mode(inventory, "eth2"), ZELT_RC_NO_ADMIN);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(zeltnvm_check_device_mode(inventory, "eth9"), 13);
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
