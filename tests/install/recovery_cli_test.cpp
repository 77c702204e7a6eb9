// install -recovery from the command line against simulated hosts: the runs refused
// before the adapter is touched, and what the report says of the recovery.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/install/install_host.h"

using namespace zelt::test;
using Json = nlohmann::json;

namespace {

// A package that applies to every adapter and has no configuration section.
constexpr const char* kNoConfigSection =
    R"({"properties": {"version": "229.0.1.0"},
        "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})";

// A package whose configuration section lets -force through, but without the staging
// item's record, which the erased NVM would need.
constexpr const char* kNoStagingRecord =
    R"({"properties": {"version": "229.0.1.0"},
        "items": [{"type": 40, "filler": 2048}, {"type": 41, "filler": 1024}, {"type": 42, "filler": 1024}]})";

// Refused before the adapter is touched: the driver still holds it and its NVM is as
// it was.
TEST(RecoveryCli, RefusedBeforeTheAdapterIsTouched) {
    struct Case {
        const char* name;
        std::string dev;  // the adapter the run is about
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {"no -dev=", "zen2", {"-recovery", "install", "plain.pkg"}, 255,
         "Please specify \"-dev=\" option for recovery to perform."},
        {"-online", "zen2", {"-dev=zen2", "-online", "-recovery", "install"}, 14,
         "online option is not supported along with recovery options."},
        {"-force with a package without configuration section", "zen2",
         {"-dev=zen2", "-recovery", "-force", "install", "plain.pkg"}, 59,
         "Recovery -force option will erase the complete NVM. But package file does not contians the "
         "configuration section."},
        {"-force with a package without the staging record", "zen2",
         {"-dev=zen2", "-recovery", "-force", "install", "nostaging.pkg"}, 1,
         "package file does not contain the update directory."},
        {"package for another CRID", "zen0", {"-dev=zen0", "-recovery", "install", "crid.pkg"}, 70,
         "Anti-rollback FW is installed. Device recovery is not supported for the current configuration."},
    };
    InstallHost original;
    original.package("plain.pkg", kNoConfigSection);
    original.package("nostaging.pkg", kNoStagingRecord);
    original.example("crid.pkg", "229.0.1.0", {"--crid", "0x00B3"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host(SimulatedHost::CopyOf{original});
        const std::string nvm_before = host.zeltnvm({"-dev=" + c.dev, "list"}).out;
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        EXPECT_FALSE(contains(r.out, "Entering recovery mode"));
        const RunResult listed = host.zeltnvm({"listdev"});
        EXPECT_TRUE(contains(listed.out, c.dev)) << listed.out;
        EXPECT_EQ(host.zeltnvm({"-dev=" + c.dev, "list"}).out, nvm_before);
    }
}

// The document says which recovery steps ran and what the administrator must do next.
TEST(RecoveryCli, JsonSaysWhatRanAndWhatToDoNext) {
    InstallHost host;
    host.package("plain.pkg", kNoConfigSection);
    const RunResult r = host.zeltnvm({"-dev=zen2", "-recovery", "-force", "install", "plain.pkg", "-json"});
    EXPECT_EQ(r.status, 59) << r.out << r.err;
    const Json doc = Json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    ASSERT_EQ(doc["adapters"].size(), 1u) << r.out;
    const Json& a = doc["adapters"][0];
    EXPECT_EQ(a["decision"], "refused");
    ASSERT_TRUE(a["recovery"].is_object()) << r.out;
    EXPECT_EQ(a["recovery"]["steps"], Json::array());
    EXPECT_TRUE(a["recovery"]["next_action"].is_string());
    EXPECT_EQ(a["recovery"]["reached_as"], nullptr);
}

}  // namespace
