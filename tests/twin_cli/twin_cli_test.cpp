// The rehearsal twin: a simulated host made by `zeltsim create --from-backup` from a
// backup of each default adapter must list the same NVM items, take an update and a
// reset as the adapter would, keep the saved option values, and leave the original
// alone. A damaged backup makes no twin.
//
// The default simulated host has adapter0 (zen0, zen1, device type 8) and adapter1
// (zen2, zen3, device type 5); a twin's adapter is zen0, zen1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

using nlohmann::json;

// Types a backup leaves out (install log, crash-dump data, certificate alias,
// configuration CRC); the twin starts an install log of its own.
bool not_backed_up(unsigned type) { return type == 1 || type == 67 || type == 84 || type == 86; }

// The items `list -vvv` shows, without their place in the directory and on the flash.
// The items of a `-json -vvv list` run that a backup keeps, without their places.
std::vector<json> items_listed(const RunResult& r) {
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const json doc = json::parse(r.out);
    std::vector<json> items;
    for (json item : doc["items"]) {
        if (not_backed_up(item["type"].get<unsigned>())) continue;
        item.erase("item");
        item.erase("location");
        items.push_back(item);
    }
    return items;
}

std::vector<json> listed_items(const SimulatedHost& host, const std::string& dev) {
    return items_listed(host.zeltnvm({"-dev=" + dev, "-json", "-vvv", "list"}));
}

std::string without_pci_address(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("PCI Device Name", 0) != 0) out += line + "\n";
    return out;
}

struct AdapterCase {
    const char* dev;  // the adapter's first function on the default host
};
constexpr AdapterCase kAdapters[] = {{"zen0"}, {"zen2"}};

class TwinCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pristine_ = new SimulatedHost(); }
    static void TearDownTestSuite() {
        delete pristine_;
        pristine_ = nullptr;
    }
    // The original host, its backup of `dev` as backup.pkg, and the twin of that backup.
    std::unique_ptr<SimulatedHost> twin_of(const std::string& dev, const std::string& options = "") {
        const RunResult r = original_.zeltnvm({"-dev=" + dev, "backup=backup.pkg"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        return std::make_unique<SimulatedHost>(SimulatedHost::FromBackup{
            original_.work_file("backup.pkg"), options.empty() ? "" : original_.work_file(options)});
    }

    SimulatedHost original_{SimulatedHost::CopyOf{*pristine_}};
    static SimulatedHost* pristine_;
};
SimulatedHost* TwinCliTest::pristine_ = nullptr;

TEST_F(TwinCliTest, TwinListsTheBackedUpItemsAndTheAdapterIdentity) {
    for (const AdapterCase& a : kAdapters) {
        SCOPED_TRACE(a.dev);
        const auto twin = twin_of(a.dev);
        const std::vector<json> original = listed_items(original_, a.dev);
        ASSERT_FALSE(original.empty());
        EXPECT_EQ(listed_items(*twin, "zen0"), original);
        // The NVM checks out as a whole, and the ids, version and VPD are the adapter's.
        EXPECT_EQ(twin->zeltnvm({"-dev=zen0", "verify"}).status, 0);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"devid"}, {"pkgver"}, {"view", "-type=VPD"}}) {
            std::vector<std::string> args = {"-dev=" + std::string(a.dev)};
            args.insert(args.end(), command.begin(), command.end());
            const RunResult expected = original_.zeltnvm(args);
            args[0] = "-dev=zen0";
            const RunResult got = twin->zeltnvm(args);
            EXPECT_EQ(got.status, 0) << got.err;
            // The twin's functions sit at its own PCI addresses.
            EXPECT_EQ(without_pci_address(got.out), without_pci_address(expected.out)) << command[0];
        }
    }
}

TEST_F(TwinCliTest, UpdateAndResetOnTheTwinLeaveTheOriginalUntouched) {
    RunResult r = run_program({ZELT_PROGRAM("zeltpkg"), "example", original_.work_file("new.pkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const AdapterCase& a : kAdapters) {
        SCOPED_TRACE(a.dev);
        const auto twin = twin_of(a.dev);
        const std::string original_state = original_.zeltsim("show", {"--directory", "--log", "--adapters"}).out;
        const std::string original_version = original_.zeltnvm({"-dev=" + std::string(a.dev), "pkgver"}).out;

        std::filesystem::copy_file(original_.work_file("new.pkg"), twin->work_file("new.pkg"));
        r = twin->zeltnvm({"-dev=zen0", "-y", "install", "new.pkg"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        r = twin->zeltnvm({"-dev=zen0", "reset"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        r = twin->zeltnvm({"-dev=zen0", "pkgver"});
        EXPECT_NE(r.out, original_version);
        EXPECT_EQ(twin->zeltnvm({"-dev=zen0", "verify"}).status, 0);

        EXPECT_EQ(original_.zeltsim("show", {"--directory", "--log", "--adapters"}).out, original_state);
        EXPECT_EQ(original_.zeltnvm({"-dev=" + std::string(a.dev), "pkgver"}).out, original_version);
    }
}

// With the adapter's saveoptions script, every saved option reads on the twin as it
// reads on the adapter.
TEST_F(TwinCliTest, TwinTakesTheOptionValuesOfTheScript) {
    for (const char* set : {"setoption=an_protocol:0#2", "setoption=mba_vlan_value:0#77",
                            "setoption=mac_address:1#02-5a-0b-00-09-09", "setoption=cos_precedence_order#3:2:1:0"}) {
        const RunResult r = original_.zeltnvm({"-dev=zen0", set});
        ASSERT_EQ(r.status, 0) << set << "\n" << r.out << r.err;
    }
    RunResult r = original_.zeltnvm({"-dev=zen0", "saveoptions", "saved.sh"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto twin = twin_of("zen0", "saved.sh");

    std::istringstream script(read_text_file(original_.work_file("saved.sh")));
    const std::string prefix = "zeltnvm -dev=$INTERFACE setoption=";
    int compared = 0;
    for (std::string line; std::getline(script, line);) {
        if (line.rfind(prefix, 0) != 0) continue;
        const std::string option = line.substr(prefix.size(), line.find('#') - prefix.size());
        SCOPED_TRACE(option);
        EXPECT_EQ(twin->zeltnvm({"-dev=zen0", "getoption=" + option}).out,
                  original_.zeltnvm({"-dev=zen0", "getoption=" + option}).out);
        ++compared;
    }
    EXPECT_GT(compared, 0);
    // The MAC address saved for PF 1 is that PF's own address on the twin.
    r = twin->zeltnvm({"-dev=zen1", "device_info"});
    EXPECT_NE(r.out.find("02:5a:0b:00:09:09"), std::string::npos) << r.out;
}

// However the backup reaches zeltsim (a file beside the twin given by relative names, a
// pipe), the twin holds the same items; a backup that cannot be read makes none.
TEST_F(TwinCliTest, TheBackupReadFromAFileOrAPipeMakesTheSameTwin) {
    RunResult r = original_.zeltnvm({"-dev=zen0", "backup=backup.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string backup = read_text_file(original_.work_file("backup.pkg"));
    const std::vector<json> original = listed_items(original_, "zen0");
    struct Case {
        const char* name;
        const char* backup_argument;
        bool piped;
    };
    for (const Case& c : {Case{"relative names", "b.pkg", false}, Case{"a pipe", "/dev/stdin", true}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        write_text_file(dir.file("b.pkg"), backup);
        RunOptions o;
        o.cwd = dir.path();
        if (c.piped) o.input = backup;
        r = run_program({ZELT_PROGRAM("zeltsim"), "create", "twin", "--from-backup", c.backup_argument}, o);
        ASSERT_EQ(r.status, 0) << r.err;
        o.env = {{"ZELTNVM_SIM", dir.file("twin")}};
        o.input.clear();
        EXPECT_EQ(items_listed(run_program({ZELT_PROGRAM("zeltnvm"), "-dev=zen0", "-json", "-vvv", "list"}, o)),
                  original);
    }
    TempDir dir;
    r = run_program({ZELT_PROGRAM("zeltsim"), "create", dir.file("twin"), "--from-backup", dir.file("missing.pkg")});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("twin")));
}

TEST_F(TwinCliTest, DamagedBackupOrScriptMakesNoTwin) {
    RunResult r = original_.zeltnvm({"-dev=zen0", "backup=backup.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string good = read_text_file(original_.work_file("backup.pkg"));
    struct Case {
        const char* name;
        std::string backup;
        std::string script;  // empty: none
        const char* message;
    };
    std::string flipped = good;
    flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x40);
    const std::vector<Case> cases = {
        {"a flipped byte", flipped, "", "the backup is damaged"},
        {"a cut-off file", good.substr(0, good.size() - 100), "", "the backup is damaged"},
        {"not a package", "this is not a package\n", "", "the backup is damaged"},
        {"a bad script line", good, "zeltnvm -dev=$INTERFACE setoption=no_such_option#1\n",
         "options script line 1: 'no_such_option#1' is not a valid option setting"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        write_text_file(dir.file("b.pkg"), c.backup);
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltsim"), "create", dir.file("twin"), "--from-backup",
                                         dir.file("b.pkg")};
        if (!c.script.empty()) {
            write_text_file(dir.file("s.sh"), c.script);
            argv.insert(argv.end(), {"--options", dir.file("s.sh")});
        }
        r = run_program(argv);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("twin"))) << "a twin was made";
    }
}

}  // namespace
}  // namespace zelt::test
