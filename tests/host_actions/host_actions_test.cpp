// Unbinding an adapter's functions and setting their VF count, against a simulated host:
// what the kernel's sysfs tree (and so the next discovery) shows afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/discovery.h"
#include "device/discovery_lookup.h"
#include "device/host_actions.h"
#include "log/print.h"
#include "sim/create/host_setup.h"
#include "sim/host/sim_host.h"
#include "tests/support/run_program.h"
#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

// A Lumo adapter with two PFs (zen0 at 0000:03:00.0, zen1 at 0000:03:00.1) beside
// another one (zen2 at 0000:13:00.0); every PF may have up to 4 VFs.
constexpr const char* kHost =
    R"({"adapters":[{"device_type":5,"ports":2,"total_vfs":4},{"device_type":5,"ports":1,"total_vfs":4}]})";

constexpr const char* kPf0 = "0000:03:00.0";
constexpr const char* kPf1 = "0000:03:00.1";
constexpr const char* kOther = "0000:13:00.0";

// Hears which PFs have their VFs turned off.
class Heard final : public device::HostActionObserver {
public:
    void turning_off_vfs(const PciAddress& pf) override {
        char text[32];
        std::snprintf(text, sizeof text, "%04x:%02x:%02x.%u", pf.domain, pf.bus, pf.device, pf.function);
        pfs.emplace_back(text);
    }
    std::vector<std::string> pfs;
};

class HostActions : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }
    // A new host as kHost describes it, with the tool's log open on it.
    void fresh() {
        zeltnvm_close_log_file();
        dir_ = std::make_unique<TempDir>();
        inventory_ = device::Inventory{};
        sim::HostSetup setup;
        std::string error;
        ASSERT_TRUE(sim::setup_from_json(nlohmann::json::parse(kHost), setup, error)) << error;
        ASSERT_TRUE(sim::create_host(root(), setup, error)) << error;
        host_ = std::make_unique<sim::SimHost>(root());
        // The first open only writes the configuration file (every level logged).
        zeltnvm_open_log_file(*host_);
        zeltnvm_close_log_file();
        zeltnvm_open_log_file(*host_);
    }
    void TearDown() override { zeltnvm_close_log_file(); }

    std::string root() const { return dir_->path(); }
    void discover() { ASSERT_EQ(device::zelt_nvm_init(*host_, inventory_).code(), 0); }
    const device::InventoryFunction& fn(const char* name) {
        const device::InventoryFunction* f = device::find_function(inventory_, name);
        EXPECT_NE(f, nullptr) << name;
        return f ? *f : inventory_.functions.front();
    }
    // zeltsim fault <root> <args...>
    void fault(std::vector<std::string> args) {
        args.insert(args.begin(), {ZELT_PROGRAM("zeltsim"), "fault", root()});
        const RunResult r = run_program(args);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    std::string numvfs(const char* pf) {
        std::string n;
        EXPECT_TRUE(host_->read_file(std::string("/sys/bus/pci/devices/") + pf + "/sriov_numvfs", n));
        return n;
    }
    std::string driver(const char* address) {
        std::string target;
        if (!host_->read_link(std::string("/sys/bus/pci/devices/") + address + "/driver", target)) return "";
        return target.substr(target.rfind('/') + 1);
    }
    std::string log() {
        zeltnvm_close_log_file();
        std::ifstream in(root() + "/var/log/zeltnvm.log");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<sim::SimHost> host_;
    device::Inventory inventory_;
};

TEST_F(HostActions, UnbindReleasesEveryFunctionOfTheAdapterOnly) {
    discover();
    ASSERT_TRUE(device::zeltnvm_unbind_driver(*host_, inventory_, fn("zen1")).ok());
    EXPECT_EQ(driver(kPf0), "");
    EXPECT_EQ(driver(kPf1), "");
    EXPECT_FALSE(host_->exists("/sys/class/net/zen0"));
    EXPECT_FALSE(host_->exists("/sys/class/net/zen1"));
    EXPECT_EQ(driver(kOther), "zelt_en");
    EXPECT_TRUE(host_->exists("/sys/class/net/zen2"));
    const std::string text = log();
    EXPECT_TRUE(has(text, "DEBUG:cmd = echo 0000:03:00.0 > /sys/bus/pci/drivers/zelt_en/unbind\n")) << text;
    EXPECT_TRUE(has(text, "DEBUG:cmd = echo 0000:03:00.1 > /sys/bus/pci/drivers/zelt_en/unbind\n")) << text;
    EXPECT_TRUE(has(text, "DEBUG:active_pf_count = 2\n")) << text;

    // The next discovery finds the adapter's functions without a driver.
    device::Inventory after;
    ASSERT_EQ(device::zelt_nvm_init(*host_, after).code(), 0);
    for (const auto& f : after.functions) {
        const bool released = f.facts.pci_info.bus_no == 0x03;
        EXPECT_EQ(f.facts.nic_info.driver_type == device::ZELT_DRIVER_NONE, released) << f.name();
    }
}

// A failing write ends the host action at that function; the functions before it keep
// what was done to them.
TEST_F(HostActions, FailingWriteStopsAtThatFunction) {
    discover();
    fault({"vfio", "--function", kPf1});  // another driver took the second PF since discovery
    const Result unbound = device::zeltnvm_unbind_driver(*host_, inventory_, fn("zen0"));
    EXPECT_EQ(unbound.code(), device::kUnbindFailed);
    EXPECT_EQ(driver(kPf0), "");
    EXPECT_EQ(driver(kPf1), "vfio-pci");
}

// A function of the adapter that no driver held when the run began (a run before this
// one released it) has nothing to release: the rest of the adapter is still unbound.
TEST_F(HostActions, FunctionAlreadyReleasedIsPassedOver) {
    ASSERT_EQ(host_->unbind_driver(kPf1, "zelt_en"), 0);
    discover();
    ASSERT_EQ(fn("zen0").adapter_pf_count, 2);  // the released function is still one of the adapter's
    ASSERT_TRUE(device::zeltnvm_unbind_driver(*host_, inventory_, fn("zen0")).ok());
    EXPECT_EQ(driver(kPf0), "");
    EXPECT_FALSE(has(log(), "0000:03:00.1 > /sys/bus/pci/drivers/zelt_en/unbind"));
}

TEST_F(HostActions, FailingVfWriteStopsAtThatFunction) {
    ASSERT_EQ(host_->set_vf_count(kPf0, 2), 0);
    ASSERT_EQ(host_->set_vf_count(kPf1, 3), 0);
    discover();
    fault({"driver_unloaded", "--function", kPf1});  // only the PF's driver can change its VFs
    Heard heard;
    const Result rc = device::zeltnvm_disable_enable_driver_num_vf(*host_, inventory_, fn("zen0"), 0, heard);
    EXPECT_EQ(rc.code(), device::kVfControlFailed);
    EXPECT_EQ(numvfs(kPf0), "0\n");
    EXPECT_EQ(numvfs(kPf1), "3\n");
    EXPECT_EQ(heard.pfs, (std::vector<std::string>{kPf0, kPf1}));
}

TEST_F(HostActions, VfCountChangesOnlyThePfsWithActiveVfs) {
    struct Case {
        const char* name;
        unsigned count;
        const char* pf1_after;
        std::vector<std::string> heard;
    } cases[] = {
        {"turned off", 0, "0\n", {kPf1}},
        {"set to another count", 1, "1\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        ASSERT_EQ(host_->set_vf_count(kPf1, 2), 0);
        ASSERT_EQ(host_->set_vf_count(kOther, 2), 0);
        discover();
        Heard heard;
        ASSERT_TRUE(device::zeltnvm_disable_enable_driver_num_vf(*host_, inventory_, fn("zen0"), c.count, heard).ok());
        EXPECT_EQ(numvfs(kPf0), "0\n");
        EXPECT_EQ(numvfs(kPf1), c.pf1_after);
        EXPECT_EQ(numvfs(kOther), "2\n");
        EXPECT_EQ(heard.pfs, c.heard);
        const std::string text = log();
        EXPECT_FALSE(has(text, "/sys/bus/pci/devices/0000:03:00.0/sriov_numvfs")) << text;
        EXPECT_TRUE(has(text, "DEBUG:cmd = echo " + std::to_string(c.count) +
                                  " > /sys/bus/pci/devices/0000:03:00.1/sriov_numvfs\n"))
            << text;
    }
}

// A function no driver holds leaves both host actions with nothing to do.
TEST_F(HostActions, DriverlessFunctionLeavesTheHostAlone) {
    ASSERT_EQ(host_->set_vf_count(kPf1, 2), 0);
    ASSERT_EQ(host_->unbind_driver(kPf0, "zelt_en"), 0);
    discover();
    const device::InventoryFunction* driverless = nullptr;
    for (const auto& f : inventory_.functions)
        if (f.address() == PciAddress{0, 0x03, 0, 0}) driverless = &f;
    ASSERT_NE(driverless, nullptr);
    ASSERT_EQ(driverless->facts.nic_info.driver_type, device::ZELT_DRIVER_NONE);

    Heard heard;
    EXPECT_TRUE(device::zeltnvm_unbind_driver(*host_, inventory_, *driverless).ok());
    EXPECT_TRUE(device::zeltnvm_disable_enable_driver_num_vf(*host_, inventory_, *driverless, 0, heard).ok());
    EXPECT_EQ(driver(kPf1), "zelt_en");
    EXPECT_EQ(numvfs(kPf1), "2\n");
    EXPECT_TRUE(heard.pfs.empty());
    EXPECT_FALSE(has(log(), "cmd = "));
}

// The tool's next run lists the released function without its interface; zeltsim
// binds it again the way an administrator would.
TEST_F(HostActions, ReleasedFunctionIsListedWithoutInterfaceUntilBoundAgain) {
    discover();
    ASSERT_TRUE(device::zeltnvm_unbind_driver(*host_, inventory_, fn("zen0")).ok());
    zeltnvm_close_log_file();
    RunOptions o;
    o.env = {{"ZELTNVM_SIM", root()}};
    o.cwd = root();
    const auto interfaces = [&] {
        const RunResult r = run_program({ZELT_PROGRAM("zeltnvm"), "listdev", "-json"}, o);
        EXPECT_EQ(r.status, 0) << r.err;
        std::map<std::string, nlohmann::json> by_address;
        const nlohmann::json doc = nlohmann::json::parse(r.out);
        for (const auto& d : doc["devices"]) by_address[d["pci_address"].get<std::string>()] = d["interface"];
        return by_address;
    };
    std::map<std::string, nlohmann::json> listed = interfaces();
    EXPECT_TRUE(listed[kPf0].is_null()) << listed[kPf0];
    EXPECT_EQ(listed[kOther], "zen2");

    for (const char* address : {kPf0, kPf1}) {
        const RunResult r = run_program({ZELT_PROGRAM("zeltsim"), "bind", root(), address});
        EXPECT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(driver(kPf0), "zelt_en");
    EXPECT_TRUE(host_->exists("/sys/class/net/zen1"));
    listed = interfaces();
    EXPECT_EQ(listed[kPf0], "zen0");
    // A function a driver holds is not bound twice.
    EXPECT_NE(run_program({ZELT_PROGRAM("zeltsim"), "bind", root(), kPf0}).status, 0);
}

}  // namespace
}  // namespace zelt::test
