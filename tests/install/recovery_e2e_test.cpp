// An adapter whose firmware no longer boots, recovered from the command line against a
// simulated host: each family with and without -force, the failures that must leave
// the NVM as it was, a healthy adapter, and a recovery interrupted with SIGINT.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/install/flash_check.h"
#include "sim/state/sim_store.h"
#include "tests/install/install_host.h"
#include "wire/fastboot_registers.h"

using namespace zelt::test;

namespace {

namespace wf = zelt::wire::fastboot;

struct Adapter {
    const char* sim_name;  // zeltsim's name of the adapter
    const char* dev;       // its first interface while the driver holds it
    const char* window;    // its first function's name once the driver let it go
    std::vector<std::string> functions;  // PCI addresses, for zeltsim bind
    const char* image;     // its recovery image file
};

const Adapter kKestra{"adapter0", "zen0", "zelt_pci_dev:0:3:0.0", {"0000:03:00.0", "0000:03:00.1"}, nullptr};
const Adapter kLumo{"adapter1", "zen2", "zelt_pci_dev:0:13:0.0", {"0000:13:00.0", "0000:13:00.1"},
                    wf::kRecoveryImageTypes4And5};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The VPD as `view` shows it: the product name and every read-only field.
std::string vpd_fields(const InstallHost& host, const std::string& dev) {
    static const std::regex field(R"(^VPD Resource Tag ID |^\s+[0-9A-Z]{2}: ")");
    std::string out;
    for (const std::string& line : lines_of(host.zeltnvm({"-dev=" + dev, "view", "-type=VPD"}).out))
        if (std::regex_search(line, field)) out += line + "\n";
    return out;
}

// What must survive a recovery apart from the VPD: the MAC addresses, and the FRU,
// certificate and onboard configuration items (type, instance, length and checksum;
// their place and order in the NVM may change).
std::string identity_items(const InstallHost& host, const std::string& dev) {
    std::string out;
    for (const std::string& line : lines_of(host.zeltnvm({"-dev=" + dev, "device_info"}).out))
        if (contains(line, "MACAddress")) out += line + "\n";
    static const std::regex item(
        R"(^\s*\d+\s+(FRU|CertChain|CertAlias|OnboardCfg)\s+(\S+)\s+(\S+).*\s([0-9A-F]{8})\s+[0-9A-F]{8}\s)");
    std::vector<std::string> items;
    for (const std::string& line : lines_of(host.zeltnvm({"-dev=" + dev, "list", "-vvv"}).out)) {
        std::smatch m;
        if (std::regex_search(line, m, item)) items.push_back(m[1].str() + " " + m[2].str() + " " + m[3].str() + " " + m[4].str() + "\n");
    }
    std::sort(items.begin(), items.end());
    for (const std::string& i : items) out += i;
    return out;
}

// Everything that must survive a recovery.
std::string identity(const InstallHost& host, const std::string& dev) {
    return identity_items(host, dev) + vpd_fields(host, dev);
}

// The adapter's simulated NVM, byte by byte.
std::vector<uint8_t> nvm_bytes(const InstallHost& host, const Adapter& a) {
    return read_bytes(host.root() + "/sim/" + a.sim_name + ".flash");
}

void bind_again(const InstallHost& host, const Adapter& a) {
    for (const std::string& f : a.functions) {
        const RunResult r = host.zeltsim("bind", {f});
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

class RecoveryE2e : public testing::Test {
protected:
    static void SetUpTestSuite() {
        original_ = new InstallHost();
        original_->example("ex.pkg", "229.0.1.0");
    }
    static void TearDownTestSuite() {
        delete original_;
        original_ = nullptr;
    }
    static InstallHost* original_;
};
InstallHost* RecoveryE2e::original_ = nullptr;

TEST_F(RecoveryE2e, EachFamilyIsRecoveredWithItsIdentity) {
    for (const Adapter* a : {&kKestra, &kLumo}) {
        SCOPED_TRACE(a->dev);
        InstallHost host(SimulatedHost::CopyOf{*original_});
        const std::string before = identity(host, a->dev);
        ASSERT_FALSE(before.empty());
        host.fault({"brick", "--adapter", a->sim_name});
        const RunResult r = host.zeltnvm({"-dev=" + std::string(a->dev), "-recovery", "install", "ex.pkg"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "Entering recovery mode")) << r.out;
        EXPECT_TRUE(contains(r.out, "recovered successfully.")) << r.out;
        bind_again(host, *a);
        EXPECT_TRUE(contains(host.zeltnvm({"-dev=" + std::string(a->dev), "pkgver"}).out, "229.0.1.0"));
        EXPECT_EQ(identity(host, a->dev), before);
    }
}

// A healthy adapter is taken from its driver, recovered without -force (its NVM is
// defragmented, not erased) and gets the package, its identity unchanged.
TEST_F(RecoveryE2e, HealthyAdapterIsRecoveredToo) {
    for (const Adapter* a : {&kLumo, &kKestra}) {
        SCOPED_TRACE(a->dev);
        InstallHost host(SimulatedHost::CopyOf{*original_});
        const std::string before = identity(host, a->dev);
        const RunResult r = host.zeltnvm({"-dev=" + std::string(a->dev), "-recovery", "install", "ex.pkg", "-json"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "\"defragmented\"")) << r.out;
        EXPECT_TRUE(contains(r.out, std::string("\"reached_as\": \"") + a->window)) << r.out;
        bind_again(host, *a);
        EXPECT_TRUE(contains(host.zeltnvm({"-dev=" + std::string(a->dev), "pkgver"}).out, "229.0.1.0"));
        EXPECT_EQ(identity(host, a->dev), before);
    }
}

// -force erases the NVM, rebuilds it from a package with a configuration section and
// writes the adapter's own data back: MAC addresses, FRU, certificates, onboard
// configuration and the VPD. Without a VPD in the package the board's own VPD item
// goes back whole; a package's VPD template gets the board's serial number (and with
// the onboard configuration required, its product name, part and manufacturer
// numbers), and what it could not bring back is named in the next step.
TEST_F(RecoveryE2e, ForceRebuildsTheNvmWithTheAdaptersIdentity) {
    struct Case {
        const char* name;
        const Adapter* adapter;
        std::vector<std::string> package;  // zeltpkg example options
        bool brick;                        // the adapter is bricked first
        bool whole_vpd;                    // every VPD field reads as before
        const char* lost;                  // named in the next step; nullptr: nothing is lost
    } cases[] = {
        {"Kestra", &kKestra, {"--with-config"}, true, true, nullptr},
        {"Lumo: the saved VPD item goes back", &kLumo, {"--with-config"}, true, true, nullptr},
        {"Lumo: VPD template, serial number only", &kLumo, {"--with-config", "--with-vpd"}, true, false,
         R"(VPD part number "OA501-2P100G-B" (now "TEMPLATE"))"},
        // The selection looks for the onboard configuration in the NVM, which a bricked
        // adapter's silent firmware cannot show: this one runs on a healthy adapter.
        {"Lumo: VPD template, onboard configuration required", &kLumo,
         {"--with-config", "--with-vpd", "--require-onboard-cfg"}, false, false,
         R"(VPD engineering change level "A1" (now "TEMPLATE"))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host(SimulatedHost::CopyOf{*original_});
        host.example("full.pkg", "229.0.1.0", c.package);
        const std::string dev = c.adapter->dev;
        const std::string items_before = identity_items(host, dev);
        const std::string vpd_before = vpd_fields(host, dev);
        ASSERT_TRUE(contains(vpd_before, "SN: ")) << vpd_before;
        if (c.brick) host.fault({"brick", "--adapter", c.adapter->sim_name});
        const RunResult r = host.zeltnvm({"-dev=" + dev, "-recovery", "-force", "install", "full.pkg", "-json"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_FALSE(doc.is_discarded()) << r.out;
        ASSERT_EQ(doc["adapters"].size(), 1u) << r.out;
        const nlohmann::json& recovery = doc["adapters"][0]["recovery"];
        const std::vector<std::string> steps = recovery["steps"];
        EXPECT_NE(std::find(steps.begin(), steps.end(), "nvm_erased"), steps.end()) << r.out;
        const std::string next = recovery["next_action"].is_string() ? recovery["next_action"].get<std::string>() : "";
        if (c.lost)
            EXPECT_TRUE(contains(next, c.lost)) << next;
        else
            EXPECT_FALSE(contains(next, "could not bring back")) << next;
        bind_again(host, *c.adapter);
        EXPECT_TRUE(contains(host.zeltnvm({"-dev=" + dev, "pkgver"}).out, "229.0.1.0"));
        EXPECT_EQ(identity_items(host, dev), items_before);
        const std::string vpd_after = vpd_fields(host, dev);
        if (c.whole_vpd) {
            EXPECT_EQ(vpd_after, vpd_before);
        } else {
            for (const std::string& line : lines_of(vpd_before)) {
                if (contains(line, "SN: ")) {
                    EXPECT_TRUE(contains(vpd_after, line)) << vpd_after;
                }
            }
        }
    }
}

// A piece the -force recovery cannot write back (its NVM write fails: the writes after
// the erase come in this order) is told at once and named, with its value where it has
// one, in the next step; the recovery itself still succeeds.
TEST_F(RecoveryE2e, ForceNamesWhatItCouldNotBringBack) {
    struct Case {
        const char* nth;      // the failing NVM write
        const char* message;  // told when it fails
        const char* lost;     // in the next step
    } cases[] = {
        {"1", "Failed to restore \"OnboardCfg\" directory.", "could not bring back: the onboard configuration."},
        {"2", "Failed to restore the certificate chain.", "could not bring back: the certificate chain."},
        {"4", "Failed to restore the FRU directory.", "could not bring back: the FRU record."},
        {"5", "Failed to restore the VPD directory.", R"(VPD serial number "HX0200004117")"},
    };
    InstallHost full(SimulatedHost::CopyOf{*original_});
    full.example("full.pkg", "229.0.1.0", {"--with-config"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nth);
        InstallHost host(SimulatedHost::CopyOf{full});
        host.fault({"brick", "--adapter", kLumo.sim_name});
        host.fault({"hwrm_error", "--adapter", kLumo.sim_name, "--req-type", "65534", "--nth", c.nth,
                    "--error-code", "2"});
        const RunResult r = host.zeltnvm({"-dev=zen2", "-recovery", "-force", "install", "full.pkg"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, "recovered successfully.")) << r.out;
        EXPECT_TRUE(contains(r.out + r.err, c.lost)) << r.out << r.err;
    }
}

// A -force run that stops after the erase (here: the staging item cannot be created)
// still puts back what it saved and needs no package, so the run it asks for finds the
// identity to save again and brings all of it back.
TEST_F(RecoveryE2e, ForceRunStoppedAfterTheEraseLeavesTheIdentityForTheNextRun) {
    InstallHost host(SimulatedHost::CopyOf{*original_});
    host.example("full.pkg", "229.0.1.0", {"--with-config"});
    const std::string before = identity(host, kLumo.dev);
    host.fault({"brick", "--adapter", kLumo.sim_name});
    host.fault({"hwrm_error", "--adapter", kLumo.sim_name, "--req-type", "65534", "--nth", "3", "--error-code", "2"});
    const RunResult failed = host.zeltnvm({"-dev=zen2", "-recovery", "-force", "install", "full.pkg"});
    EXPECT_NE(failed.status, 0) << failed.out << failed.err;
    EXPECT_TRUE(contains(failed.out + failed.err, "Device recovery process failed.")) << failed.out << failed.err;
    EXPECT_FALSE(contains(failed.out + failed.err, "could not bring back")) << failed.out << failed.err;
    host.fault({"--clear"});
    const RunResult again = host.zeltnvm({"-dev=" + std::string(kLumo.window), "-recovery", "-force", "install", "full.pkg"});
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    bind_again(host, kLumo);
    EXPECT_EQ(identity(host, kLumo.dev), before);
}

// The older family polls for its recovery image 200 times, 100 ms apart: on the
// simulated host's clock, so the 20 s it gives the image pass in an instant.
TEST_F(RecoveryE2e, OlderFamilyGivesUpOnAnImageThatNeverRunsOnTheVirtualClock) {
    InstallHost host(SimulatedHost::CopyOf{*original_});
    host.fault({"brick", "--adapter", kLumo.sim_name});
    write_text_file(host.root() + kLumo.image, std::string(4096, 'Z'));
    const auto clock_us = [&host] { return zelt::sim::read_clock_offset(host.root()); };
    const int64_t virtual_before = clock_us();
    const auto wall_before = std::chrono::steady_clock::now();
    const RunResult r = host.zeltnvm({"-dev=zen2", "-recovery", "install", "ex.pkg"});
    const auto wall = std::chrono::steady_clock::now() - wall_before;
    EXPECT_EQ(r.status, 55) << r.out << r.err;
    EXPECT_TRUE(contains(r.out + r.err, "time out!! mode: 0x5")) << r.out << r.err;
    EXPECT_GE(clock_us() - virtual_before, int64_t{20'000'000});
    EXPECT_LT(wall, std::chrono::seconds(20));
}

// A bricked adapter still bound to its driver: the driver remembers the version it last
// saw, but pkgver must not make the adapter look healthy.
TEST_F(RecoveryE2e, PkgverOnABrickedAdapterFails) {
    InstallHost host(SimulatedHost::CopyOf{*original_});
    host.fault({"brick", "--adapter", kLumo.sim_name});
    const RunResult r = host.zeltnvm({"-dev=zen2", "pkgver"});
    EXPECT_EQ(r.status, 256 - 159) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Active Package version    : N/A")) << r.out;
    EXPECT_TRUE(contains(r.out + r.err, "Firmware not responding. The driver last saw package version 224.0.150.0."))
        << r.out << r.err;
    const RunResult json = host.zeltnvm({"-dev=zen2", "pkgver", "-json"});
    const nlohmann::json doc = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << json.out;
    EXPECT_EQ(doc["devices"][0]["firmware_responding"], false) << json.out;
    EXPECT_EQ(doc["devices"][0]["driver_package_version"], "224.0.150.0") << json.out;
    EXPECT_TRUE(contains(doc["message"].get<std::string>(), "Firmware not responding")) << json.out;
    // The healthy adapter of the same host reads as before.
    const RunResult healthy = host.zeltnvm({"-dev=zen0", "pkgver"});
    EXPECT_EQ(healthy.status, 0) << healthy.out;
    EXPECT_TRUE(contains(healthy.out, "Active Package version    : 228.1.107.0")) << healthy.out;
}

// Recovery images that do not bring the firmware up: the run ends with 55 and the NVM
// is exactly as it was.
TEST_F(RecoveryE2e, ImageThatDoesNotComeUpLeavesTheNvmAsItWas) {
    struct Case {
        const char* name;
        const Adapter* adapter;
        std::vector<uint8_t> image;  // written over the recovery image; empty: the image is removed
        const char* message;
    } cases[] = {
        {"missing image", &kLumo, {}, "Failed open recovery firmware image"},
        {"corrupt image", &kLumo, std::vector<uint8_t>(4096, 0x5A), "time out!!"},
        {"no image in the header", &kKestra, {'C', 'F', 'B', 0, 0, 0, 0, 0}, "Invalid number of images"},
        {"five images in the header", &kKestra, {'C', 'F', 'B', 0, 5, 0, 0, 0}, "Invalid number of images"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host(SimulatedHost::CopyOf{*original_});
        host.fault({"brick", "--adapter", c.adapter->sim_name});
        std::string image;
        if (c.adapter->image) {
            image = host.root() + c.adapter->image;
        } else {
            // The Kestra image is named by the chip's CRID: every such file is replaced.
            for (const auto& entry : std::filesystem::directory_iterator(host.root() + wf::kRecoveryImageDir))
                if (contains(entry.path().filename().string(), ".fastboot")) image = entry.path().string();
        }
        ASSERT_FALSE(image.empty());
        if (c.image.empty()) {
            std::filesystem::remove(image);
        } else {
            c.image.resize(std::max<size_t>(c.image.size(), 100), 0);
            write_text_file(image, std::string(c.image.begin(), c.image.end()));
        }
        const std::vector<uint8_t> before = nvm_bytes(host, *c.adapter);
        ASSERT_FALSE(before.empty());
        const RunResult r = host.zeltnvm({"-dev=" + std::string(c.adapter->dev), "-recovery", "install", "ex.pkg"});
        EXPECT_EQ(r.status, 55) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, "Failed to enter into recovery mode.")) << r.out;
        EXPECT_TRUE(nvm_bytes(host, *c.adapter) == before);
    }
}

// SIGINT while the recovery runs: the run ends, the adapter is free for the next
// command and a second run recovers it.
TEST_F(RecoveryE2e, InterruptedRecoveryIsRecoveredByASecondRun) {
    for (int delay_ms : {50, 300}) {
        SCOPED_TRACE(delay_ms);
        InstallHost host(SimulatedHost::CopyOf{*original_});
        host.fault({"brick", "--adapter", kLumo.sim_name});
        const pid_t pid = spawn_zeltnvm(host, {"-dev=zen2", "-recovery", "install", "ex.pkg"}, -1, -1);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms * kSlowdown));
        kill(pid, SIGINT);
        EXPECT_GE(wait_or_kill(pid, std::chrono::steady_clock::now() + std::chrono::seconds(20 * kSlowdown)), 0);
        // Bound or not, the adapter is reached by its PCI window name once a run took it.
        std::string dev = kLumo.window;
        if (contains(host.zeltnvm({"listdev"}).out, "zen2")) dev = kLumo.dev;
        const RunResult again = host.zeltnvm({"-dev=" + dev, "-recovery", "install", "ex.pkg"});
        EXPECT_EQ(again.status, 0) << again.out << again.err;
        bind_again(host, kLumo);
        EXPECT_TRUE(contains(host.zeltnvm({"-dev=zen2", "pkgver"}).out, "229.0.1.0"));
    }
}

}  // namespace
