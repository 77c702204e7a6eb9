// listdev, -dev=?, device_info, devid, pkgver and the -dev= selectors, run as programs
// against simulated hosts.
//
// The default simulated host has adapter0 (zen0, zen1 at 0000:03:00.x, device type 8)
// and adapter1 (zen2, zen3 at 0000:13:00.x, device type 5).
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunOptions;
using zelt::test::RunResult;
using zelt::test::run_program;
using zelt::test::TempDir;

namespace {

using SimHost = zelt::test::SimulatedHost;

// One adapter of device type 5 whose function 0 has interface eth2, function 1 no
// driver, and function 2 the pass-through driver.
constexpr const char* kMixedHost = R"({"adapters":[{"device_type":5,"ports":2,"functions":[
  {"address":"0000:3b:00.0","ifname":"eth2","driver":"zelt_en","mac":"00:0a:f7:12:34:56"},
  {"address":"0000:3b:00.1","driver":"","mac":"00:0a:f7:12:34:57"},
  {"address":"0000:3b:00.2","driver":"vfio-pci","mac":"00:0a:f7:12:34:58"}]}]})";

// The labels of a listing's "%-27s : %s" lines, in order.
std::vector<std::string> labels(const std::string& out) {
    std::vector<std::string> result;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > 30 && line.compare(27, 3, " : ") == 0) {
            std::string label = line.substr(0, 27);
            label.erase(label.find_last_not_of(' ') + 1);
            result.push_back(label);
        }
    }
    return result;
}

// The value of a listing line, or "<missing>".
std::string value_of(const std::string& out, const std::string& label) {
    std::string padded = label + std::string(27 - label.size(), ' ') + " : ";
    size_t at = out.find(padded);
    if (at == std::string::npos) return "<missing>";
    at += padded.size();
    return out.substr(at, out.find('\n', at) - at);
}

// Adapters are numbered in the PCI library's scan order, which follows the order in
// which the file system lists the PCI directory. Output made of two per-adapter
// parts, `first(n)` and `second(n)`, is therefore accepted in either order.
using Part = std::function<std::string(int)>;
void expect_two_adapters(const std::string& out, const Part& first, const Part& second, const std::string& what) {
    const std::string in_order = first(1) + second(2);
    const std::string swapped = second(1) + first(2);
    EXPECT_TRUE(out == in_order || out == swapped) << what << ":\n" << out << "expected:\n" << in_order;
}

std::string short_part(const char* ifname, const char* mac, const char* pci, int n) {
    return "\nOrvanta factory package #" + std::to_string(n) + "\nDevice Interface Name       : " + ifname +
           "\nMACAddress                  : " + mac + "\nPCI Device Name             : " + pci + "\n\n";
}

TEST(ListingCli, ListdevAndQuestionMarkListEveryAdapterShort) {
    SimHost host;
    for (const char* arg : {"listdev", "-dev=?"}) {
        const RunResult r = host.zeltnvm({arg});
        EXPECT_EQ(r.status, 0) << arg << r.err;
        expect_two_adapters(
            r.out, [](int n) { return short_part("zen0", "02:5a:0b:00:01:00", "0000:03:00.0", n); },
            [](int n) { return short_part("zen2", "02:5a:0b:00:02:00", "0000:13:00.0", n); }, arg);
    }
}

TEST(ListingCli, HostWithoutAdaptersListsNothing) {
    SimHost host(R"({"adapters":[]})");
    const RunResult r = host.zeltnvm({"listdev"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(ListingCli, DeviceInfoPrintsEveryLineInOrder) {
    const std::vector<std::string> common = {
        "Device Interface Name", "MACAddress", "Base MACAddress", "Device Serial Number", "Chip Number",
        "Part Number", "Description", "PCI Vendor Id", "PCI Device Id", "PCI Subsys Vendor Id",
        "PCI Subsys Device Id", "PCI Device Name", "Adapter Rev", "Active Package version",
        "Package version on NVM", "Firmware version", "Active NVM config version", "NVM config version",
        "Firmware Reset Counter", "Error Recovery Counter", "Crash Dump Timestamp", "Reboot Required",
        "Secure Boot", "Secure Firmware Update"};
    std::vector<std::string> newest = common;
    newest.insert(newest.end(), {"FW Image Status", "Crash Dump Available in DDR"});

    // A fresh host: every value read, NVM and running configuration alike, nothing on
    // standard error, and board data fields without their blank padding.
    struct Case {
        const char* device;
        const std::vector<std::string>* lines;
        const char* pci_name;
        const char* version;
        const char* base_mac;
        const char* serial;
        const char* part;
        const char* description;
        const char* cfg_version;
    };
    const Case cases[] = {
        {"zen0", &newest, "0000:03:00.0", "228.1.107.0", "02:5a:0b:00:01:00", "HX0100004100", "OA801",
         "Orvanta OA801-2P200G-B", "2.5.1"},
        {"zen2", &common, "0000:13:00.0", "224.0.150.0", "02:5a:0b:00:02:00", "HX0200004117", "OA501",
         "Orvanta OA501-2P100G-B", "1.9.0"},
    };
    SimHost host;
    for (const Case& c : cases) {
        const RunResult r = host.zeltnvm({std::string("-dev=") + c.device, "device_info"});
        EXPECT_EQ(r.status, 0) << c.device << r.err;
        EXPECT_EQ(r.err, "") << c.device;
        EXPECT_EQ(value_of(r.out, "Base MACAddress"), c.base_mac);
        EXPECT_EQ(value_of(r.out, "Device Serial Number"), c.serial);
        EXPECT_EQ(value_of(r.out, "Part Number"), c.part);
        EXPECT_EQ(value_of(r.out, "Description"), c.description);
        EXPECT_EQ(value_of(r.out, "Adapter Rev"), "A01");
        EXPECT_EQ(value_of(r.out, "Active NVM config version"), c.cfg_version);
        EXPECT_EQ(value_of(r.out, "NVM config version"), c.cfg_version);
        EXPECT_EQ(value_of(r.out, "Crash Dump Timestamp"), "N/A");
        EXPECT_EQ(value_of(r.out, "Reboot Required"), "No");
        EXPECT_EQ(r.out.substr(0, 1), "\n") << c.device;
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n") << c.device;
        EXPECT_EQ(labels(r.out), *c.lines) << c.device;
        EXPECT_EQ(value_of(r.out, "Device Interface Name"), c.device);
        EXPECT_EQ(value_of(r.out, "PCI Device Name"), c.pci_name);
        EXPECT_EQ(value_of(r.out, "Active Package version"), c.version);
        EXPECT_EQ(value_of(r.out, "Package version on NVM"), c.version);
        EXPECT_EQ(value_of(r.out, "Firmware version"), c.version);
        EXPECT_EQ(value_of(r.out, "Secure Firmware Update"), "Enabled");
    }
}

// The base MAC address is function 0's MAC address option: setting it from another
// function of the adapter shows in that adapter's listing only.
TEST(ListingCli, BaseMacFollowsTheMacAddressOption) {
    SimHost host;
    const RunResult set = host.zeltnvm({"-dev=zen1", "setoption=mac_address:0#02-5a-0b-00-09-99"});
    ASSERT_EQ(set.status, 0) << set.out << set.err;
    struct Case {
        const char* device;
        const char* base_mac;
    };
    for (const Case& c : {Case{"zen0", "02:5a:0b:00:09:99"}, Case{"zen1", "02:5a:0b:00:09:99"},
                          Case{"zen2", "02:5a:0b:00:02:00"}}) {
        const RunResult r = host.zeltnvm({std::string("-dev=") + c.device, "device_info"});
        EXPECT_EQ(r.status, 0) << c.device << r.err;
        EXPECT_EQ(value_of(r.out, "Base MACAddress"), c.base_mac) << c.device;
        EXPECT_EQ(value_of(r.out, "Reboot Required"), "No") << c.device;
    }
}

TEST(ListingCli, DeviceSelectors) {
    struct Case {
        const char* selector;
        int status;
        const char* pci_name;  // PCI Device Name of the selected function ("" when refused)
    };
    const Case cases[] = {
        {"eth2", 0, "0000:3b:00.0"},
        {"00:0A:f7:12:34:56", 0, "0000:3b:00.0"},
        {"00-0a-f7-12-34-56", 0, "0000:3b:00.0"},
        {"000af7123456", 0, "0000:3b:00.0"},
        {"0000:3b:00.1", 0, "0000:3b:00.1"},
        {"zelt_pci_dev:0:3b:0.1", 0, "0000:3b:00.1"},
        {"3b:00.1", 8, ""},        // without domain: tried as a name
        {"0000:3b:00.2", 8, ""},   // pass-through function: not discovered
        {"00:0a:f7:12:34:58", 8, ""},
        {"eth9", 8, ""},
    };
    SimHost host(kMixedHost);
    for (const Case& c : cases) {
        const RunResult r = host.zeltnvm({std::string("-dev=") + c.selector, "devid"});
        EXPECT_EQ(r.status, c.status) << c.selector << r.err;
        if (c.status == 0) {
            EXPECT_NE(r.out.find(std::string("PCI Device Name      : ") + c.pci_name + "\n"), std::string::npos)
                << c.selector << r.out;
        } else {
            EXPECT_EQ(r.err, std::string("Invalid or unsupported device selector: '") + c.selector + "'\n");
        }
    }
}

TEST(ListingCli, FunctionWithoutDriverIsListedByAddress) {
    SimHost host(kMixedHost);
    const RunResult r = host.zeltnvm({"-dev=0000:3b:00.1", "device_info"});
    EXPECT_EQ(value_of(r.out, "Device Interface Name"), "N/A") << r.out;
    EXPECT_EQ(value_of(r.out, "PCI Device Name"), "0000:3b:00.1");
    EXPECT_EQ(value_of(r.out, "Chip Number"), "HVX7L5010");
}

TEST(ListingCli, ImplicitDevice) {
    {
        SimHost two;
        const RunResult r = two.zeltnvm({"device_info"});
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Please provide \"-dev=\" option.\n");
    }
    SimHost one(R"({"adapters":[{"device_type":5,"ports":1}]})");
    const RunResult r = one.zeltnvm({"device_info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(value_of(r.out, "Device Interface Name"), "zen0");
}

TEST(ListingCli, BusyFirmwareStopsTheListing) {
    // The running configuration version query (hwrm_nvm_get_dev_info) answers busy.
    SimHost host(R"({"adapters":[{"device_type":5,"ports":2}],
                     "faults":[{"kind":"busy","req_type":65526}]})");
    const RunResult r = host.zeltnvm({"-dev=zen0", "device_info"});
    EXPECT_EQ(r.status, 21);
    const std::vector<std::string> printed = labels(r.out);
    ASSERT_FALSE(printed.empty()) << r.out;
    EXPECT_EQ(printed.back(), "Firmware version");
    EXPECT_NE(r.out.find("Adapter is busy. Please try again after some time"), std::string::npos) << r.out;
}

TEST(ListingCli, DevidAndPkgverOnADeviceAndOnEveryAdapter) {
    SimHost host;
    const std::string zen0_devid =
        "PCI VendorID         : 2b1d\n"
        "PCI DeviceID         : 9801\n"
        "PCI Subsys VendorID  : 2b1d\n"
        "PCI Subsys DeviceID  : a101\n"
        "PCI Device Name      : 0000:03:00.0\n\n";
    const std::string zen2_devid =
        "PCI VendorID         : 2b1d\n"
        "PCI DeviceID         : 7501\n"
        "PCI Subsys VendorID  : 2b1d\n"
        "PCI Subsys DeviceID  : a101\n"
        "PCI Device Name      : 0000:13:00.0\n\n";
    const std::string zen2_pkgver =
        "Active Package version    : 224.0.150.0\n"
        "Package version on NVM    : 224.0.150.0\n\n";

    RunResult r = host.zeltnvm({"-dev=zen0", "devid"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, zen0_devid);

    auto header = [](int n, const char* dev) {
        return "\nDevice #" + std::to_string(n) + "\n---------\nDevice: " + dev + "\n";
    };
    r = host.zeltnvm({"devid"});
    EXPECT_EQ(r.status, 0) << r.err;
    expect_two_adapters(
        r.out, [&](int n) { return header(n, "zen0") + zen0_devid; },
        [&](int n) { return header(n, "zen2") + zen2_devid; }, "devid");

    r = host.zeltnvm({"-dev=zen2", "pkgver"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, zen2_pkgver);

    // The newest family also shows the secure-boot image versions it holds.
    const std::string zen0_pkgver = host.zeltnvm({"-dev=zen0", "pkgver"}).out;
    EXPECT_EQ(zen0_pkgver.rfind("Active Package version    : 228.1.107.0\n"
                                "Package version on NVM    : 228.1.107.0\n",
                                0),
              0u)
        << zen0_pkgver;
    EXPECT_NE(zen0_pkgver.find("Primary SRT Version       : 228.1.107.0\n"), std::string::npos) << zen0_pkgver;

    r = host.zeltnvm({"pkgver"});
    EXPECT_EQ(r.status, 0) << r.err;
    expect_two_adapters(
        r.out, [&](int n) { return header(n, "zen0") + zen0_pkgver; },
        [&](int n) { return header(n, "zen2") + zen2_pkgver; }, "pkgver");
}

}  // namespace
