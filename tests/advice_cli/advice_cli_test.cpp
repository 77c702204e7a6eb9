// The advice lines the install and reset commands end with, driven by what the
// simulated firmware reports: its self-reset status, its pending boot action and the
// PCIe item versions of package and flash.
//
// The default host has adapter0 (zen0, zen1: device type 8) and adapter1 (zen2, zen3:
// device type 5).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunResult;
using zelt::test::run_program;

namespace {

constexpr const char* kReboot = "A system reboot is needed for firmware update to take effect.\n";
constexpr const char* kColdBoot = "A system cold boot is needed for firmware update to take effect.\n";
constexpr const char* kConfigColdBoot = "A system cold boot is needed for configuration package update to take effect.\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Host : public zelt::test::SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // A package built from the JSON `description` as `name` in the working directory.
    void package(const std::string& name, const std::string& description) const {
        zelt::test::write_text_file(work_file(name + ".json"), description);
        const RunResult r = run_program({ZELT_PROGRAM("zeltpkg"), "build", work_file(name + ".json"), work_file(name)});
        ASSERT_EQ(r.status, 0) << r.err;
    }
};

// A firmware package; with `pcie` it also carries a PCIe table of that version, placed
// by `directive`.
std::string firmware_package(const std::string& pcie = "", const std::string& directive = "Install") {
    std::string items = R"([{"type": 2, "directive": "Install", "item_length": 65536})";
    if (!pcie.empty())
        items += R"(, {"type": 8, "directive": ")" + directive + R"(", "trailer": {"version": [)" + pcie +
                 R"(], "body_size": 256}})";
    return R"({"properties": {"version": "229.0.1.0"}, "items": )" + items + "]}";
}

// The advice after a firmware install. A Kestra adapter reporting a self-reset status
// of 3 needs a cold boot. An older adapter ignores that status; it needs a cold boot
// when the package's PCIe table is not the one its flash holds after the install (the
// package's table was not placed, or the flash keeps another).
TEST(InstallAdvice, ColdBootOrReboot) {
    struct Case {
        const char* name;
        std::string config;              // empty: the default host
        std::vector<std::string> fault;  // zeltsim fault before the install
        const char* dev;
        std::string before;              // a package installed first, when given
        std::string package;
        const char* advice;
    } cases[] = {
        {"kestra", "", {}, "zen0", "", firmware_package(), kReboot},
        {"kestra, self-reset status set by fault", "", {"self_reset_status", "--adapter", "adapter0", "--value", "3"},
         "zen0", "", firmware_package(), kColdBoot},
        {"kestra, self-reset status set by configuration",
         R"({"adapters": [{"device_type": 8, "ports": 1, "self_reset_status": 3}]})", {}, "zen0", "",
         firmware_package(), kColdBoot},
        {"kestra, PCIe tables are not compared", "", {}, "zen0", "", firmware_package("1, 2, 3, 0", "Replace"),
         kReboot},
        {"older adapter ignores the self-reset status", "", {"self_reset_status", "--value", "3"}, "zen2", "",
         firmware_package(), kReboot},
        {"older adapter, package PCIe table installed", "", {}, "zen2", "", firmware_package("1, 2, 3, 0"), kReboot},
        {"older adapter, package PCIe table not placed", "", {}, "zen2", "", firmware_package("1, 2, 3, 0", "Replace"),
         kColdBoot},
        {"older adapter, flash keeps another PCIe table", "", {}, "zen2", firmware_package("1, 2, 3, 0"),
         firmware_package("1, 2, 4, 0", "Create"), kColdBoot},
        {"older adapter, flash keeps the same PCIe table", "", {}, "zen2", firmware_package("1, 2, 3, 0"),
         firmware_package("1, 2, 3, 0", "Create"), kReboot},
        {"older adapter, factory PCIe table set by configuration",
         R"({"adapters": [{"device_type": 5, "ports": 1, "pcie_version": "1.2.3.0"}]})", {}, "zen0", "",
         firmware_package("1, 2, 4, 0", "Create"), kColdBoot},
        {"older adapter, the same factory PCIe table", R"({"adapters": [{"device_type": 5, "ports": 1,
         "pcie_version": "1.2.3.0"}]})", {}, "zen0", "", firmware_package("1, 2, 3, 0", "Create"), kReboot},
    };
    for (const Case& c : cases) {
        Host host(c.config);
        const std::string dev = std::string("-dev=") + c.dev;
        if (!c.before.empty()) {
            host.package("before.pkg", c.before);
            const RunResult first = host.zeltnvm({dev, "-y", "-force", "install", "before.pkg"});
            ASSERT_EQ(first.status, 0) << c.name << first.out << first.err;
        }
        host.package("fw.pkg", c.package);
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm({dev, "-y", "-force", "install", "fw.pkg"});
        ASSERT_EQ(r.status, 0) << c.name << r.out << r.err;
        EXPECT_TRUE(contains(r.out, c.advice)) << c.name << r.out;
        for (const char* other : {kReboot, kColdBoot, kConfigColdBoot}) {
            if (other != c.advice) {
                EXPECT_FALSE(contains(r.out, other)) << c.name << r.out;
            }
        }
    }
}

// A configuration package on either family ends with the configuration cold-boot
// advice, whatever the self-reset status.
TEST(InstallAdvice, ConfigurationPackageNeedsAColdBoot) {
    struct Case {
        const char* dev;
        const char* items;
    } cases[] = {
        {"zen0", R"([{"type": "systemCfg", "directive": "Install", "filler": 256}])"},
        {"zen2", R"([{"type": "sharedCfg", "directive": "Install", "filler": 256},
                     {"type": "portCfg", "directive": "Install", "filler": 256},
                     {"type": "funcCfg", "directive": "Install", "filler": 256}])"},
    };
    for (const Case& c : cases) {
        Host host;
        host.package("cfg.pkg", std::string(R"({"properties": {"version": "229.0.1.0"}, "items": )") + c.items + "}");
        const RunResult r = host.zeltnvm({std::string("-dev=") + c.dev, "-y", "-force", "install", "cfg.pkg"});
        ASSERT_EQ(r.status, 0) << c.dev << r.out << r.err;
        EXPECT_TRUE(contains(r.out, kConfigColdBoot)) << c.dev << r.out;
        EXPECT_FALSE(contains(r.out, kReboot)) << c.dev << r.out;
    }
}

// A pending boot action reported by the firmware stops the reset before anything is
// reset; clearing it lets the reset through.
TEST(ResetAdvice, PendingBootActionSetByFault) {
    struct Case {
        const char* value;
        const char* line;
    } cases[] = {
        {"2", "System reboot is pending. Please reboot the system before resetting the device.\n"},
        {"3", "System cold boot is pending. Please cold boot the system before resetting the device.\n"},
    };
    for (const Case& c : cases) {
        Host host;
        host.fault({"boot_status", "--adapter", "adapter0", "--value", c.value});
        RunResult r = host.zeltnvm({"-dev=zen0", "reset"});
        EXPECT_EQ(r.status, 0) << c.value << r.out << r.err;
        EXPECT_TRUE(contains(r.out, c.line)) << c.value << r.out;
        EXPECT_FALSE(contains(r.out, "Device reset")) << c.value << r.out;

        host.fault({"boot_status", "--adapter", "adapter0", "--value", "0"});
        r = host.zeltnvm({"-dev=zen0", "reset"});
        EXPECT_EQ(r.status, 0) << c.value << r.out << r.err;
        EXPECT_FALSE(contains(r.out, c.line)) << c.value << r.out;
    }
}

}  // namespace
