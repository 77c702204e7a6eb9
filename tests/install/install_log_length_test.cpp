// An adapter whose directory claims an install log of nearly 4 GiB: the listing and the
// log's write-back after an install refuse the length instead of sizing a buffer from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/install/install_host.h"

namespace {

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::read_text_file;
using zelt::test::RunOptions;
using zelt::test::RunResult;
using zelt::test::run_program;

struct Measured {
    RunResult run;
    long peak_kib = -1;  // the program's peak resident memory
};

// zeltnvm with `args` against `host`, with its peak memory taken by time(1).
Measured measured_zeltnvm(const InstallHost& host, const std::vector<std::string>& args) {
    const std::string report = host.work_file("peak.txt");
    std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions o;
    o.env = {{"ZELTNVM_SIM", host.root()}};
    o.cwd = host.work_dir();
    o.wrapper = {"/usr/bin/time", "-f", "%M", "-o", report};
    Measured m;
    m.run = run_program(argv, o);
    // The last line is the number; a killed program has a line about the signal first.
    const std::string text = read_text_file(report);
    const size_t end = text.find_last_not_of("\n");
    const size_t start = end == std::string::npos ? std::string::npos : text.find_last_of('\n', end);
    if (end != std::string::npos) m.peak_kib = std::stol(text.substr(start == std::string::npos ? 0 : start + 1));
    return m;
}

constexpr long kMostKib = 100 * 1024;
const char* const kRefusal = "The adapter reports 4294963200 bytes for an item of type 1";

TEST(InstallLogLength, NearlyFourGiBIsRefusedByTheListingAndTheWriteBack) {
    InstallHost host;
    host.example("new.pkg", "229.0.1.0");
    const std::string before = host.zeltsim("show", {"--log"}).out;
    // The first run writes the default configuration, which turns the log on.
    ASSERT_TRUE(contains(host.zeltnvm({"-dev=zen2", "device_info"}).out, "Package version on NVM      : 224"));
    host.fault({"dir_length", "--adapter", "adapter1", "--dir-type", "1", "--value", "0xFFFFF000"});

    struct Case {
        const char* what;
        std::vector<std::string> args;
    } cases[] = {
        {"device_info", {"-dev=zen2", "device_info"}},
        {"install", {"-y", "-dev=zen2", "install", "new.pkg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Measured m = measured_zeltnvm(host, c.args);
        EXPECT_LT(m.run.status, 128) << m.run.out << m.run.err;
        EXPECT_GT(m.peak_kib, 0);
        EXPECT_LT(m.peak_kib, kMostKib);
        EXPECT_TRUE(contains(host.log(), kRefusal)) << host.log();
    }
    // The listing goes on past the refused item.
    const RunResult listing = host.zeltnvm({"-dev=zen2", "device_info"});
    EXPECT_TRUE(contains(listing.out, "Package version on NVM      : N/A\nFirmware version")) << listing.out;

    // The refused write-back left the firmware's log alone: the old entries are still
    // there beside the new one.
    ASSERT_EQ(host.zeltsim("fault", {"--clear"}).status, 0);
    const std::string after = host.zeltsim("show", {"--log"}).out;
    EXPECT_TRUE(contains(after, "229.0.1.0")) << after;
    EXPECT_GT(after.size(), before.size()) << after;
}

}  // namespace
