// install -json: standard output is one document that its schema (docs/schema/install.json)
// accepts, whose status is the exit status, and that reports every adapter considered:
// what was decided for it, how its installation ended and what it still needs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/install/install_document.h"
#include "tests/install/install_host.h"

using zelt::test::contains;
using zelt::test::adapter_at;
using zelt::test::install_document;
using zelt::test::InstallHost;
using zelt::test::RunResult;
using Json = nlohmann::json;

namespace {

constexpr const char* kAdapter0 = "0000:03:00.0";  // zen0, device type 8, 228.1.107.0
constexpr const char* kAdapter1 = "0000:13:00.0";  // zen2, device type 5, 224.0.150.0

TEST(InstallJson, BothAdaptersUpdatedOnTheDefaultHost) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    const RunResult r = host.zeltnvm({"-json", "-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const Json doc = install_document(host, r);
    EXPECT_EQ(doc["ok"], true);
    ASSERT_EQ(doc["adapters"].size(), 2u) << r.out;
    struct Expected {
        const char* pci_address;
        const char* interface;
        int controller;
        const char* before;
    } expected[] = {{kAdapter0, "zen0", 1, "228.1.107.0"}, {kAdapter1, "zen2", 2, "224.0.150.0"}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.pci_address);
        const Json a = adapter_at(doc, e.pci_address);
        ASSERT_TRUE(a.is_object()) << r.out;
        EXPECT_EQ(a["adapter"], e.controller);
        EXPECT_EQ(a["interface"], e.interface);
        EXPECT_EQ(a["controller"], e.controller);
        EXPECT_EQ(a["package"], (Json{{"file", "new.pkg"}, {"version", "229.0.1.0"}}));
        EXPECT_EQ(a["versions"]["before"], e.before);
        EXPECT_EQ(a["versions"]["after"], "229.0.1.0");
        EXPECT_EQ(a["decision"], "updated");
        EXPECT_EQ(a["status"], 0);
        EXPECT_EQ(a["action"], "reboot");
    }
    // The text form's lines are the document's messages, and nothing else is printed.
    bool completed = false;
    for (const Json& m : doc["messages"]) completed = completed || contains(m["text"], "Firmware update is completed.");
    EXPECT_TRUE(completed) << r.out;
}

// What was decided for an adapter that was not updated, with the run ending well.
TEST(InstallJson, AdaptersLeftAsTheyWere) {
    struct Case {
        const char* version;  // of the package offered to zen2 (224.0.150.0)
        const char* answer;   // to the confirmation
        const char* decision;
    } cases[] = {{"224.0.100.0", "", "up_to_date"}, {"229.0.1.0", "n\n", "not_installed"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decision);
        InstallHost host;
        host.example("new.pkg", c.version);
        const RunResult r = host.zeltnvm({"-json", "-dev=zen2", "install", "new.pkg"}, c.answer);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const Json doc = install_document(host, r);
        ASSERT_EQ(doc["adapters"].size(), 1u) << r.out;
        const Json& a = doc["adapters"][0];
        EXPECT_EQ(a["pci_address"], kAdapter1);
        EXPECT_EQ(a["decision"], c.decision);
        EXPECT_EQ(a["versions"]["before"], "224.0.150.0");
        EXPECT_EQ(a["versions"]["after"], nullptr);
        EXPECT_EQ(a["action"], nullptr);
        // Standard output holds the document: the question, when asked, is on standard error.
        EXPECT_EQ(contains(r.err, "Do you want to continue (Y/N)?"), *c.answer != '\0') << r.err;
    }
}

// Two adapters whose first one fails: both are reported, the second as updated, and the
// run ends with the first one's status.
TEST(InstallJson, TwoAdaptersWhoseFirstFails) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    host.fault({"ethtool_errno", "--ethtool-cmd", "51", "--errno", "30", "--function", "zen0"});
    const RunResult r = host.zeltnvm({"-y", "install", "new.pkg", "-json"});
    EXPECT_EQ(r.status, 57) << r.out << r.err;
    const Json doc = install_document(host, r);
    EXPECT_EQ(doc["ok"], false);
    EXPECT_EQ(doc["message"], "Package installation failed. Because Firmware resources are locked.");
    ASSERT_EQ(doc["adapters"].size(), 2u) << r.out;
    const Json& first = doc["adapters"][0];
    const Json& second = doc["adapters"][1];
    EXPECT_EQ(first["pci_address"], kAdapter0);
    EXPECT_EQ(first["decision"], "failed");
    EXPECT_EQ(first["status"], 57);
    EXPECT_EQ(first["action"], nullptr);
    ASSERT_TRUE(first["result"].is_object()) << r.out;
    EXPECT_EQ(second["pci_address"], kAdapter1);
    EXPECT_EQ(second["decision"], "updated");
    EXPECT_EQ(second["status"], 0);
    EXPECT_EQ(second["versions"]["after"], "229.0.1.0");
    EXPECT_EQ(second["action"], "reboot");
}

// Runs that end in a failure: the document carries the status, the result code's name
// and text and the message the text form prints, and the adapter says why.
TEST(InstallJson, FailuresCarryTheStatusResultAndMessage) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        const char* package;             // package description, or nullptr for the example package
        int status;
        const char* message;
        const char* decision;  // zen2's decision, or nullptr when no adapter is reported
    } cases[] = {
        {"the driver refuses the flash", {"ethtool_errno", "--ethtool-cmd", "51", "--errno", "30"}, nullptr, 57,
         "Package installation failed. Because Firmware resources are locked.", "failed"},
        {"no package applies", {}, R"({"properties": {"version": "229.0.1.0", "device_ids": [4660]},
                                        "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})",
         4, "Invalid package file. Package installation failed", "refused"},
        {"no package file", {}, nullptr, 1, "No package files found in the given path. Package installation failed",
         nullptr},
        {"the package fails its verification", {}, R"({"properties": {"version": "229.0.1.0"},
                                        "items": [{"type": 2, "directive": "Install", "item_length": 65536}],
                                        "faults": [{"xor": 255, "offset": -1}]})",
         12, "Package file verification failed. Please provide a valid package file to update the firmware.",
         "refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host;
        if (c.package)
            host.package("new.pkg", c.package);
        else
            host.example("new.pkg", "229.0.1.0");
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r =
            host.zeltnvm({"-dev=zen2", "-y", "install", c.decision ? "new.pkg" : "none*.pkg", "-json"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        const Json doc = install_document(host, r);
        EXPECT_EQ(doc["ok"], false);
        EXPECT_EQ(doc["message"], c.message) << r.out;
        ASSERT_TRUE(doc["result"].is_object()) << r.out;
        EXPECT_EQ(doc["result"]["code"], c.status);
        if (!c.decision) {
            EXPECT_EQ(doc["adapters"], Json::array());
            continue;
        }
        const Json a = adapter_at(doc, kAdapter1);
        ASSERT_TRUE(a.is_object()) << r.out;
        EXPECT_EQ(a["interface"], "zen2");
        EXPECT_EQ(a["decision"], c.decision);
        EXPECT_EQ(a["status"], c.status);
        EXPECT_EQ(a["versions"]["after"], nullptr);
    }
}

// In a run over every adapter, one that no package applies to does not stop the
// others; the document reports it as refused, and why, and the run ends with its status.
TEST(InstallJson, AnAdapterNoPackageAppliesToIsRefused) {
    InstallHost host;
    host.package("zen2.pkg", R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
                                 "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})");
    const RunResult r = host.zeltnvm({"-json", "-y", "install", "zen2.pkg"});
    EXPECT_EQ(r.status, 4) << r.out << r.err;
    const Json doc = install_document(host, r);
    const Json refused = adapter_at(doc, kAdapter0);
    ASSERT_TRUE(refused.is_object()) << r.out;
    EXPECT_EQ(refused["decision"], "refused");
    EXPECT_EQ(refused["reason"], "no package file applies to the adapter");
    EXPECT_EQ(refused["status"], 4);
    EXPECT_EQ(refused["controller"], nullptr);
    EXPECT_EQ(adapter_at(doc, kAdapter1)["decision"], "updated") << r.out;
    EXPECT_EQ(doc["message"],
              "Orvanta-E Controller at PCI Domain:0000 Bus:03 Dev:00 is not updated: no package file applies to the "
              "adapter.")
        << r.out;
}

}  // namespace
