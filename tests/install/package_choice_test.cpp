// Which package an adapter gets: the file the selection chose and verified, named as
// the user named it, with the advice that belongs to that package.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/install/install_host.h"

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::RunResult;

namespace {

constexpr const char* kReboot = "A system reboot is needed for firmware update to take effect.\n";

// A live-patch package for zen2; `faults` (JSON) damages it after it is built.
std::string live_patch(const std::string& faults) {
    return R"({"properties": {"version": "229.0.5.0", "livepatch": 1},
               "items": [{"type": 2, "directive": "Install", "item_length": 65536}])" +
           (faults.empty() ? std::string() : ", \"faults\": " + faults) + "}";
}

// The reboot advice follows the package that is installed: a live-patch package that
// was considered and refused (its verification failed) does not take the advice away
// from the ordinary package installed after it.
TEST(InstallChoice, RebootAdviceFollowsTheInstalledPackage) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        bool reboot_advised;
    } cases[] = {
        {"refused live patch, then an ordinary package", {"bad-live.pkg", "new.pkg"}, true},
        {"an ordinary package", {"new.pkg"}, true},
        {"a live patch", {"live.pkg"}, false},
    };
    InstallHost original;
    original.example("new.pkg", "229.0.1.0");
    original.package("live.pkg", live_patch(""));
    original.package("bad-live.pkg", live_patch(R"([{"xor": 255, "offset": -1}])"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host(InstallHost::CopyOf{original});
        std::vector<std::string> args = {"-dev=zen2", "-y", "install"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const RunResult r = host.zeltnvm(args);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "\nFirmware update is completed.\n")) << r.out;
        EXPECT_EQ(contains(r.out, kReboot), c.reboot_advised) << r.out;
    }
}

}  // namespace
