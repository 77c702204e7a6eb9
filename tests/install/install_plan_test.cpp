// install -plan: the install's decisions for every adapter, and what each update would
// need, with nothing written to any adapter; the decisions are the ones the install then
// makes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/install/install_plan.h"
#include "tests/install/install_document.h"
#include "tests/install/install_host.h"

namespace {

using zelt::test::contains;
using zelt::test::adapter_at;
using zelt::test::install_document;
using zelt::test::InstallHost;
using zelt::test::read_text_file;
using zelt::test::RunResult;
using Json = nlohmann::json;

constexpr const char* kAdapter0 = "0000:03:00.0";  // zen0, device type 8, 228.1.107.0
constexpr const char* kAdapter1 = "0000:13:00.0";  // zen2, device type 5, 224.0.150.0

// Everything of the simulated host a plan could change: the NVM directories, install
// logs, options and adapter states as zeltsim shows them, and the flash images and
// state file byte for byte.
std::string host_snapshot(const InstallHost& host) {
    std::string all = host.zeltsim("show", {"--directory", "--log", "--adapters", "--options"}).out;
    for (const char* file : {"adapter0.flash", "adapter1.flash", "state.json"})
        all += std::string("\n== ") + file + "\n" + read_text_file(host.root() + "/sim/" + file);
    return all;
}

TEST(InstallPlan, ListsBothAdaptersAndWritesNothing) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    host.zeltnvm({"listdev"});  // the first run writes the default configuration
    const std::string before = host_snapshot(host);

    // No -y, and nothing on standard input: a plan asks nothing.
    const RunResult text = host.zeltnvm({"-plan", "install", "new.pkg"});
    EXPECT_EQ(text.status, 0) << text.out << text.err;
    EXPECT_FALSE(contains(text.out, "Do you want to continue")) << text.out;
    EXPECT_FALSE(contains(text.out, "is being updated")) << text.out;
    EXPECT_TRUE(contains(text.out, "Install plan (nothing has been written to any adapter)")) << text.out;
    EXPECT_TRUE(contains(text.out, "\nAdapter 1 (zen0, 0000:03:00.0)\n")) << text.out;
    EXPECT_TRUE(contains(text.out, "\nAdapter 2 (zen2, 0000:13:00.0)\n")) << text.out;

    const RunResult r = host.zeltnvm({"-json", "install", "new.pkg", "-plan"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const Json doc = install_document(host, r);
    EXPECT_EQ(doc["plan"], true);
    ASSERT_EQ(doc["adapters"].size(), 2u) << r.out;
    struct Expected {
        const char* pci_address;
        const char* interface;
        const char* installed;
    } expected[] = {{kAdapter0, "zen0", "228.1.107.0"}, {kAdapter1, "zen2", "224.0.150.0"}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.pci_address);
        const Json a = adapter_at(doc, e.pci_address);
        ASSERT_TRUE(a.is_object()) << r.out;
        EXPECT_EQ(a["interface"], e.interface);
        EXPECT_EQ(a["decision"], "update");
        EXPECT_EQ(a["status"], 0);
        EXPECT_EQ(a["versions"]["running"], e.installed);
        EXPECT_EQ(a["versions"]["nvm"], e.installed);
        EXPECT_EQ(a["versions"]["package"], "229.0.1.0");
        EXPECT_EQ(a["flags"], (Json{{"downgrade", false},
                                    {"staged_not_active", false},
                                    {"nvm_differs_from_running", false}}));
        EXPECT_EQ(a["room"]["fits"], true) << a.dump();
        EXPECT_EQ(a["action"], "reboot");
    }
    EXPECT_EQ(host_snapshot(host), before);
}

// -plan belongs to install alone, once, and not with -recovery (whose preparation
// writes); another command given it refuses the line rather than run for real.
TEST(InstallPlan, OptionIsRefusedWhereItCannotHold) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    host.zeltnvm({"listdev"});
    const std::string before = host_snapshot(host);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {"setoption", {"-dev=zen0", "setoption=mba_link_speed:0#1", "-plan"}, 255, "Invalid syntax"},
        {"listdev", {"-plan", "listdev"}, 255, "Invalid syntax"},
        {"twice", {"-plan", "install", "new.pkg", "--plan"}, 255, "Invalid syntax"},
        {"with -recovery", {"-dev=zen2", "-recovery", "-plan", "install", "new.pkg"}, 14,
         "plan option is not supported along with recovery options"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.err)) << r.out << r.err;
    }
    EXPECT_EQ(host_snapshot(host), before);
    // Before the command word or after it, with -dev=: the install's own rule holds.
    EXPECT_EQ(host.zeltnvm({"-plan", "-dev=zen2", "install", "new.pkg"}).status, 0);
}

// What the plan decides for each adapter is what the install then does, in cases built
// for each flag.
TEST(InstallPlan, DecisionsAreTheInstallsAndFlagsAreRaised) {
    // The package's update record asks for more than the whole NVM of zen2 can give.
    constexpr const char* kHugeStaging = R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
      "items": [{"type": 2, "directive": "Install", "item_length": 4194304},
                {"type": "chimpBoot", "directive": "Install",
                 "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": 1100000}}]})";
    struct Flags {
        bool downgrade, staged, differs;
    };
    struct Expected {
        const char* decision;
        int status;
        Flags flags;
    };
    struct Case {
        const char* name;
        std::function<void(InstallHost&)> setup;  // leaves the package as pkg.pkg
        std::vector<std::string> options;         // before the command word, for both runs
        int status;
        std::map<std::string, Expected> adapters;  // by PCI address
    } cases[] = {
        {"newer package", [](InstallHost& h) { h.example("pkg.pkg", "229.0.1.0"); }, {}, 0,
         {{kAdapter0, {"update", 0, {false, false, false}}}, {kAdapter1, {"update", 0, {false, false, false}}}}},
        {"older package",
         [](InstallHost& h) { h.example("pkg.pkg", "224.0.149.0"); }, {}, 0,
         {{kAdapter0, {"up_to_date", 0, {true, false, false}}}, {kAdapter1, {"up_to_date", 0, {true, false, false}}}}},
        {"older package forced",
         [](InstallHost& h) { h.example("pkg.pkg", "224.0.149.0"); }, {"-force"}, 0,
         {{kAdapter0, {"update", 0, {true, false, false}}}, {kAdapter1, {"update", 0, {true, false, false}}}}},
        {"update staged without a reset",
         [](InstallHost& h) {
             h.example("pkg.pkg", "229.0.1.0");
             ASSERT_EQ(h.zeltnvm({"-y", "-dev=zen2", "install", "pkg.pkg"}).status, 0);
         },
         {}, 0,
         {{kAdapter0, {"update", 0, {false, false, false}}}, {kAdapter1, {"update", 0, {false, true, true}}}}},
        {"running firmware booted another package than the NVM's",
         [](InstallHost& h) {
             h.example("pkg.pkg", "229.0.1.0");
             // The firmware fell back to an older image: nothing waits for a reset.
             const std::string state_file = h.root() + "/sim/state.json";
             Json state = Json::parse(read_text_file(state_file));
             state["adapters"]["adapter0"]["running_pkg_version"] = "228.1.100.0";
             zelt::test::write_text_file(state_file, state.dump(1));
         },
         {}, 0,
         {{kAdapter0, {"update", 0, {false, false, true}}}, {kAdapter1, {"update", 0, {false, false, false}}}}},
        {"no room for the staging item", [](InstallHost& h) { h.package("pkg.pkg", kHugeStaging); }, {"-dev=zen2"},
         20, {{kAdapter1, {"update", 20, {false, false, false}}}}},
        // The first adapter the package does not apply to gives the run's status.
        {"no room, and a package for one adapter", [](InstallHost& h) { h.package("pkg.pkg", kHugeStaging); }, {},
         4, {{kAdapter0, {"refused", 4, {false, false, false}}}, {kAdapter1, {"update", 20, {false, false, false}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host;
        c.setup(host);
        std::vector<std::string> plan = c.options;
        plan.insert(plan.end(), {"-json", "-plan", "install", "pkg.pkg"});
        const RunResult p = host.zeltnvm(plan);
        EXPECT_EQ(p.status, c.status) << p.out << p.err;
        const Json planned = install_document(host, p);

        std::vector<std::string> install = c.options;
        install.insert(install.end(), {"-json", "-y", "install", "pkg.pkg"});
        const RunResult i = host.zeltnvm(install);
        EXPECT_EQ(i.status, p.status) << i.out << i.err;
        const Json done = Json::parse(i.out, nullptr, false);
        ASSERT_FALSE(done.is_discarded()) << i.out;

        for (const auto& [address, e] : c.adapters) {
            SCOPED_TRACE(address);
            const Json a = adapter_at(planned, address);
            ASSERT_TRUE(a.is_object()) << p.out;
            EXPECT_EQ(a["decision"], e.decision) << a.dump();
            EXPECT_EQ(a["status"], e.status) << a.dump();
            EXPECT_EQ(a["flags"]["downgrade"], e.flags.downgrade) << a.dump();
            EXPECT_EQ(a["flags"]["staged_not_active"], e.flags.staged) << a.dump();
            EXPECT_EQ(a["flags"]["nvm_differs_from_running"], e.flags.differs) << a.dump();
            if (e.status == 20) {
                EXPECT_EQ(a["room"]["fits"], false) << a.dump();
            }

            const Json b = adapter_at(done, address);
            ASSERT_TRUE(b.is_object()) << i.out;
            // The install names an update by how it ended.
            const std::string ended = b["decision"];
            const bool updated = ended == "updated" || ended == "failed";
            EXPECT_EQ(updated ? std::string("update") : ended, e.decision) << b.dump();
            EXPECT_EQ(b["status"], e.status) << b.dump();
        }
    }
}

// The flags compare versions by number, with the install's own order.
TEST(InstallPlan, FlagsCompareVersionsByNumber) {
    struct Case {
        const char* running;
        const char* nvm;
        const char* package;
        bool pending;
        bool downgrade, staged, differs;
    } cases[] = {
        {"229.0.10.0", "229.0.10.0", "229.0.9.0", false, true, false, false},  // not by text
        {"229.0.9.0", "229.0.9.0", "229.0.10.0", false, false, false, false},
        {"228.0.0.0", "229.0.0.0", "229.0.0.0", true, false, true, true},
        {"228.0.0.0", "229.0.0.0", "228.0.0.0", false, true, false, true},     // against the NVM's
        {"229.0.0.0", "", "228.0.0.0", true, true, false, false},             // no log: the running one
        {"229.0", "229.0.0.0", "", true, false, false, false},                // missing numbers are 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.running) + " / " + c.nvm + " / " + c.package);
        const zelt::cli::PlanFlags f = zelt::cli::plan_flags(c.running, c.nvm, c.package, c.pending);
        EXPECT_EQ(f.downgrade, c.downgrade);
        EXPECT_EQ(f.staged_not_active, c.staged);
        EXPECT_EQ(f.nvm_differs_from_running, c.differs);
    }
}

}  // namespace
