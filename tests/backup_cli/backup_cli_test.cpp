// backup run as a program against simulated hosts: what the package holds, how its file
// is written, and that install puts it back.
//
// The default simulated host has adapter0 (zen0, zen1, device type 8) and adapter1
// (zen2, zen3, device type 5).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/directory_entry.h"
#include "common/hvxretval.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The directory entries of `adapter` as zeltsim shows them, in directory order.
std::vector<zelnvm_directory_entry_t> sim_directory(const SimulatedHost& host, const std::string& adapter) {
    const RunResult r = host.zeltsim("show", {"--directory"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<zelnvm_directory_entry_t> entries;
    std::istringstream lines(r.out);
    std::string line;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (line.rfind("NVM directory of ", 0) == 0) {
            inside = line.compare(17, adapter.size() + 1, adapter + " ") == 0;
            continue;
        }
        if (!inside || line.find("0x") == std::string::npos) continue;
        std::istringstream f(line);
        unsigned idx, type, ord, ext;
        std::string name, attr, loc, len, dlen, chk;
        f >> idx >> type >> name >> ord >> ext >> attr >> loc >> len >> dlen >> chk;
        zelnvm_directory_entry_t e{};
        e.type = static_cast<uint16_t>(type);
        e.ordinal = static_cast<uint16_t>(ord);
        e.ext = static_cast<uint16_t>(ext);
        e.attr = static_cast<uint16_t>(std::stoul(attr, nullptr, 16));
        e.item_length = static_cast<uint32_t>(std::stoul(len, nullptr, 16));
        e.data_length = static_cast<uint32_t>(std::stoul(dlen, nullptr, 16));
        e.data_chksum = static_cast<uint32_t>(std::stoul(chk, nullptr, 16));
        entries.push_back(e);
    }
    return entries;
}

std::vector<zelpkg_manifest_item_t> package_items(const std::vector<uint8_t>& pkg) {
    uint32_t count = 0;
    EXPECT_EQ(zelpkgGetItemCount(pkg.data(), pkg.size(), &count), 0);
    std::vector<zelpkg_manifest_item_t> items(count);
    EXPECT_EQ(zelpkgGetItems(pkg.data(), pkg.size(), count, items.data()), static_cast<int32_t>(count));
    return items;
}

std::string text_property(const std::vector<uint8_t>& pkg, uint8_t id) {
    const uint8_t* value = nullptr;
    const int32_t length = zelpkgGetPropertyPtr(pkg.data(), pkg.size(), id, &value);
    if (length < 0) return "<absent>";
    return std::string(reinterpret_cast<const char*>(value), static_cast<size_t>(length));
}

std::vector<uint16_t> u16_property(const std::vector<uint8_t>& pkg, uint8_t id) {
    const uint8_t* value = nullptr;
    const int32_t length = zelpkgGetPropertyPtr(pkg.data(), pkg.size(), id, &value);
    std::vector<uint16_t> ids;
    for (int32_t i = 0; i + 1 < length; i += 2) ids.push_back(static_cast<uint16_t>(value[i] | (value[i + 1] << 8)));
    return ids;
}

bool excluded_type(uint16_t type) { return type == 1 || type == 67 || type == 84 || type == 86; }
bool first_ordinal_only(uint16_t type) { return type == 6 || type == 47 || (type >= 61 && type <= 63); }

class BackupCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pristine_ = new SimulatedHost(); }
    static void TearDownTestSuite() {
        delete pristine_;
        pristine_ = nullptr;
    }
    // A fresh copy of the default host for each test.
    SimulatedHost host_{SimulatedHost::CopyOf{*pristine_}};
    static SimulatedHost* pristine_;
};
SimulatedHost* BackupCliTest::pristine_ = nullptr;

struct AdapterCase {
    const char* dev;
    const char* adapter;
};
constexpr AdapterCase kAdapters[] = {{"zen0", "adapter0"}, {"zen2", "adapter1"}};

TEST_F(BackupCliTest, BackupHoldsTheKeptItemsAndTheAdapterProperties) {
    for (const AdapterCase& a : kAdapters) {
        SCOPED_TRACE(a.dev);
        const std::string file = std::string(a.dev) + ".pkg";
        RunResult r = host_.zeltnvm({std::string("-dev=") + a.dev, "backup=" + file});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("Package file " + file + " is generated from NVM contents\n\n"), std::string::npos)
            << r.out;

        r = host_.zeltnvm({"verify", file});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        // list of the file: one row per kept item, the staging item without data.
        r = host_.zeltnvm({"list", "-tab", "-num", "-type=2", file});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("\n2\t0\t0\t0\t"), std::string::npos) << r.out;

        const std::vector<uint8_t> pkg = read_bytes(host_.work_file(file));
        std::vector<zelnvm_directory_entry_t> expected;
        for (const zelnvm_directory_entry_t& e : sim_directory(host_, a.adapter)) {
            if (e.type == 0 || excluded_type(e.type) || (first_ordinal_only(e.type) && e.ordinal != 0)) continue;
            expected.push_back(e);
        }
        const std::vector<zelpkg_manifest_item_t> items = package_items(pkg);
        ASSERT_EQ(items.size(), expected.size());
        r = host_.zeltnvm({"list", "-tab", file});
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(items.size() + 1)) << r.out;
        ASSERT_FALSE(items.empty());
        for (size_t i = 0; i < items.size(); ++i) {
            const zelnvm_directory_entry_t& got = items[i].direntry;
            const zelnvm_directory_entry_t& want = expected[i];
            SCOPED_TRACE("item " + std::to_string(i + 1) + " type " + std::to_string(want.type));
            EXPECT_EQ(std::tie(got.type, got.ordinal, got.ext, got.item_length),
                      std::tie(want.type, want.ordinal, want.ext, want.item_length));
            EXPECT_EQ(items[i].metadata.directive, 0);
            EXPECT_EQ(items[i].metadata.description[0], '\0');
            if (want.type == 2) {
                EXPECT_EQ(got.data_length, 0u);
                EXPECT_EQ(got.data_chksum, 0u);
            } else {
                EXPECT_EQ(got.data_length, want.data_length);
                EXPECT_EQ(got.data_chksum, want.data_chksum);
            }
        }

        const std::vector<uint16_t> ids = u16_property(pkg, 2);
        EXPECT_EQ(ids.size(), 3u);
        EXPECT_EQ(u16_property(pkg, 10).size(), 1u);
        EXPECT_EQ(u16_property(pkg, 11).size(), 1u);
        EXPECT_EQ(text_property(pkg, 6).size(), 20u) << text_property(pkg, 6);
        EXPECT_EQ(text_property(pkg, 6).back(), 'Z');
        EXPECT_EQ(text_property(pkg, 12).rfind("zeltnvm v", 0), 0u) << text_property(pkg, 12);
        EXPECT_NE(text_property(pkg, 9), "<absent>");
    }
}

TEST_F(BackupCliTest, DevidOfTheBackupMatchesTheAdapter) {
    RunResult r = host_.zeltnvm({"-dev=zen0", "backup=b.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const RunResult device = host_.zeltnvm({"-dev=zen0", "devid"});
    const std::vector<uint8_t> pkg = read_bytes(host_.work_file("b.pkg"));
    char own[8];
    std::snprintf(own, sizeof own, "%04x", u16_property(pkg, 2).at(0));
    EXPECT_NE(device.out.find(own), std::string::npos) << device.out;
}

TEST_F(BackupCliTest, WithoutANameTheFileIsNamedAfterTheMacAddress) {
    const RunResult r = host_.zeltnvm({"-dev=zen0", "backup"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const size_t at = r.out.find("Package file ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string name = r.out.substr(at + 13, r.out.find(' ', at + 13) - at - 13);
    EXPECT_EQ(name.size(), 16u) << name;
    EXPECT_EQ(name.substr(12), ".pkg");
    EXPECT_TRUE(std::filesystem::is_regular_file(host_.work_file(name)));
}

TEST_F(BackupCliTest, ParametersOtherThanCfgAndCfgOnOlderAdaptersAreRefused) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"-dev=zen0", "backup=x.pkg", "full"}, 15, "Error: Invalid Parameter value. Valid values are \"cfg\"."},
        {{"-dev=zen2", "backup=x.pkg", "cfg"}, 2, "Error: Parameter \"cfg\" does not have support on this hardware."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back() + " on " + c.args.front());
        const RunResult r = host_.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << r.out << r.err;
        EXPECT_FALSE(std::filesystem::exists(host_.work_file("x.pkg")));
    }
}

TEST_F(BackupCliTest, CfgBackupHoldsOnlyTheSystemConfiguration) {
    const RunResult r = host_.zeltnvm({"-dev=zen0", "backup=cfg.pkg", "cfg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    size_t expected = 0;
    for (const zelnvm_directory_entry_t& e : sim_directory(host_, "adapter0")) expected += e.type == 46;
    const std::vector<zelpkg_manifest_item_t> items = package_items(read_bytes(host_.work_file("cfg.pkg")));
    EXPECT_EQ(items.size(), expected);
    for (const zelpkg_manifest_item_t& item : items) EXPECT_EQ(item.direntry.type, 46);
}

TEST_F(BackupCliTest, APlantedLinkIsReplacedNotFollowed) {
    const std::string victim = host_.work_file("victim.txt");
    {
        std::ofstream(victim) << "keep me\n";
    }
    ASSERT_EQ(::symlink(victim.c_str(), host_.work_file("link.pkg").c_str()), 0);
    const RunResult r = host_.zeltnvm({"-dev=zen0", "backup=link.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(std::filesystem::is_symlink(host_.work_file("link.pkg")));
    const std::vector<uint8_t> victim_bytes = read_bytes(victim);
    EXPECT_EQ(std::string(victim_bytes.begin(), victim_bytes.end()), "keep me\n");
}

TEST_F(BackupCliTest, AFailedBackupLeavesNoFileBehind) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;  // zeltsim fault arguments; empty for none
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"an item read the firmware refuses", {"hwrm_error", "--req-type", "0xFFFD", "--error-code", "2"},
         {"-dev=zen0", "backup=gone.pkg"}},
        {"a directory that cannot be written in", {}, {"-dev=zen0", "backup=missing/gone.pkg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedHost host(SimulatedHost::CopyOf{host_});
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_NE(r.status, 0) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find("Failed to Backup NVM contents"), std::string::npos) << r.out << r.err;
        for (const auto& entry : std::filesystem::directory_iterator(host.work_dir())) {
            EXPECT_EQ(entry.path().filename().string().find("gone"), std::string::npos) << entry.path();
        }
    }
}

TEST_F(BackupCliTest, InstallingTheBackupBringsBackTheEarlierVersion) {
    RunResult r = host_.zeltnvm({"-dev=zen0", "pkgver"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string before = r.out;
    r = host_.zeltnvm({"-dev=zen0", "backup=before.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    r = run_program({ZELT_PROGRAM("zeltpkg"), "example", host_.work_file("new.pkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = host_.zeltnvm({"-dev=zen0", "-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = host_.zeltnvm({"-dev=zen0", "pkgver"});
    ASSERT_NE(r.out, before);

    r = host_.zeltnvm({"-dev=zen0", "-force", "-y", "install", "before.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = host_.zeltnvm({"-dev=zen0", "pkgver"});
    EXPECT_EQ(r.out, before);
    r = host_.zeltnvm({"-dev=zen0", "verify"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    // The NVM holds the backed-up items again, each with the data it had.
    r = host_.zeltnvm({"-dev=zen0", "backup=after.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto old_items = package_items(read_bytes(host_.work_file("before.pkg")));
    const auto new_items = package_items(read_bytes(host_.work_file("after.pkg")));
    std::map<std::tuple<int, int, int>, uint32_t> old_sums, new_sums;
    for (const auto& i : old_items) old_sums[{i.direntry.type, i.direntry.ordinal, i.direntry.ext}] = i.direntry.data_chksum;
    for (const auto& i : new_items) new_sums[{i.direntry.type, i.direntry.ordinal, i.direntry.ext}] = i.direntry.data_chksum;
    EXPECT_EQ(new_sums, old_sums);
}

}  // namespace
}  // namespace zelt::test
