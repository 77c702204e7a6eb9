// An adapter whose firmware no longer boots, recovered from the command line against a
// simulated host: each family with and without -force, the failures that must leave
// the NVM as it was, a healthy adapter, and a recovery interrupted with SIGINT.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

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

// What must survive a recovery: the MAC addresses, the VPD serial and part numbers,
// and the FRU and certificate items (type, instance, length and checksum; their place
// in the NVM may change).
std::string identity(const InstallHost& host, const std::string& dev) {
    std::string out;
    for (const std::string& line : lines_of(host.zeltnvm({"-dev=" + dev, "device_info"}).out))
        if (contains(line, "MACAddress")) out += line + "\n";
    for (const std::string& line : lines_of(host.zeltnvm({"-dev=" + dev, "-vv", "view", "-type=VPD"}).out))
        if (contains(line, "SN:") || contains(line, "PN:")) out += line + "\n";
    static const std::regex item(R"(^\s*\d+\s+(FRU|CertChain|CertAlias)\s+(\S+)\s+(\S+).*\s([0-9A-F]{8})\s+[0-9A-F]{8}\s)");
    for (const std::string& line : lines_of(host.zeltnvm({"-dev=" + dev, "list", "-vvv"}).out)) {
        std::smatch m;
        if (std::regex_search(line, m, item)) out += m[1].str() + " " + m[2].str() + " " + m[3].str() + " " + m[4].str() + "\n";
    }
    return out;
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
