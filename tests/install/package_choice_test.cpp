// Which package an adapter gets: the file the selection chose and verified, named as
// the user named it, with the advice that belongs to that package.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/install/flash_check.h"
#include "tests/install/install_host.h"

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::kSlowdown;
using zelt::test::RunResult;
using zelt::test::spawn_zeltnvm;
using zelt::test::wait_or_kill;

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

// The installed package is the one verified at selection: replacing the file while the
// confirmation prompt waits changes nothing the adapter receives.
TEST(InstallChoice, InstallsTheBytesThatWereVerified) {
    struct Case {
        const char* name;
        const char* replacement;  // package description written over new.pkg at the prompt
    } cases[] = {
        {"another version", R"({"properties": {"version": "229.0.9.0"},
                                "items": [{"type": 2, "directive": "Install", "item_length": 65536}]})"},
        {"a damaged package", R"({"properties": {"version": "229.0.9.0"},
                                  "items": [{"type": 2, "directive": "Install", "item_length": 65536}],
                                  "faults": [{"truncate": 100}]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host;
        host.example("new.pkg", "229.0.1.0");
        host.package("replacement.pkg", c.replacement);

        int in[2];
        int out[2];
        ASSERT_EQ(pipe(in), 0);
        ASSERT_EQ(pipe(out), 0);
        const pid_t pid = spawn_zeltnvm(host, {"-dev=zen2", "install", "new.pkg"}, in[0], out[1], {in[1], out[0]});
        close(in[0]);
        close(out[1]);
        std::string printed;
        char buffer[256];
        while (!contains(printed, "Do you want to continue (Y/N)?")) {
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            printed.append(buffer, static_cast<size_t>(n));
        }
        ASSERT_TRUE(contains(printed, "will be updated to firmware version v229.0.1.0")) << printed;
        std::filesystem::rename(host.work_file("replacement.pkg"), host.work_file("new.pkg"));
        ASSERT_EQ(write(in[1], "y\n", 2), 2);
        close(in[1]);
        for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) printed.append(buffer, static_cast<size_t>(n));
        close(out[0]);
        const int status =
            wait_or_kill(pid, std::chrono::steady_clock::now() + std::chrono::seconds(60 * kSlowdown));
        EXPECT_EQ(status, 0) << printed;
        EXPECT_TRUE(contains(printed, "\nFirmware update is completed.\n")) << printed;

        const RunResult info = host.zeltnvm({"-dev=zen2", "device_info"});
        EXPECT_TRUE(contains(info.out, "Package version on NVM      : 229.0.1.0")) << info.out;
    }
}

// A file argument is expanded once: a name that a pattern matched, or that names a
// file as typed, is taken as it is even when it holds pattern characters.
TEST(InstallChoice, FileArgumentsAreExpandedOnce) {
    struct Case {
        const char* name;
        std::vector<std::string> present;  // package files: fw[1].pkg is 229.0.1.0, fw1.pkg 229.0.9.0
        std::string argument;  // the command word with its pattern, or a file argument
        const char* version;   // the version offered
    } cases[] = {
        {"pattern of the command word", {"fw[1].pkg"}, "install=fw*.pkg", "229.0.1.0"},
        {"pattern of the command word, look-alike present", {"fw[1].pkg", "fw1.pkg"}, "install=fw[[]*.pkg",
         "229.0.1.0"},
        {"name as typed, look-alike present", {"fw[1].pkg", "fw1.pkg"}, "fw[1].pkg", "229.0.1.0"},
        {"name as typed", {"fw[1].pkg"}, "fw[1].pkg", "229.0.1.0"},
        {"pattern as a file argument", {"fw1.pkg"}, "f?1.pkg", "229.0.9.0"},
    };
    InstallHost original;
    original.example("fw[1].pkg", "229.0.1.0");
    original.example("fw1.pkg", "229.0.9.0");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHost host(InstallHost::CopyOf{original});
        for (const char* f : {"fw[1].pkg", "fw1.pkg"})
            if (std::find(c.present.begin(), c.present.end(), f) == c.present.end())
                std::filesystem::remove(host.work_file(f));
        std::vector<std::string> args = {"-dev=zen2"};
        if (c.argument.rfind("install", 0) == 0) {
            args.push_back(c.argument);
        } else {
            args.push_back("install");
            args.push_back(c.argument);
        }
        const RunResult r = host.zeltnvm(args, "n\n");
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, std::string("will be updated to firmware version v") + c.version)) << r.out
                                                                                                       << r.err;
    }
}

}  // namespace
