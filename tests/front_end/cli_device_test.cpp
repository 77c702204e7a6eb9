// Device selection in the scan, on simulated hosts made by zeltsim.
#include "tests/front_end/cli_fixture.h"

namespace zelt::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using CliDeviceTest = CliTest;

TEST_F(CliDeviceTest, SingleAdapterIsTakenWhenNoDeviceIsGiven) {
    make_host(1);
    RunResult r = run({"-debug", "reset"});
    EXPECT_TRUE(contains(r.out, "command = 'reset', device = 'zen0'")) << r.out << r.err;

    // The inserted selector counts in the argument rule: fw_sync takes exactly it and the word.
    r = run({"fw_sync"});
    EXPECT_FALSE(contains(r.err, "Invalid syntax")) << r.err;
    EXPECT_FALSE(contains(r.err, "Please provide")) << r.err;
}

TEST_F(CliDeviceTest, SeveralAdaptersNeedTheSelectorBeforeTheCommand) {
    make_host(2);
    for (auto args : {std::vector<std::string>{"fw_sync"}, std::vector<std::string>{"fw_sync", "-dev=zen0"}}) {
        RunResult r = run(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "Please provide \"-dev=\" option.\n");
    }
    RunResult r = run({"-debug", "-dev=zen2", "reset"});
    EXPECT_TRUE(contains(r.out, "device = 'zen2'")) << r.out << r.err;
}

TEST_F(CliDeviceTest, HelpAfterTheSelector) {
    make_host(2);
    RunResult r = run({"-dev=zen0", "getoption", "-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "getoption=<option name>:[function/port index]")) << r.out;
}

TEST_F(CliDeviceTest, SavemacIsAcceptedAfterTheSelector) {
    make_host(2);
    RunResult r = run({"-dev=zen0", "-savemac", "-debug", "list", "a.pkg"});
    EXPECT_TRUE(contains(r.out, "\nNote: savemac option is deprecated. By default package update will save and "
                                "restore the device macaddresses.\n"))
        << r.out;
}

TEST_F(CliDeviceTest, ListingSelectorIsTheListdevListing) {
    make_host(2);
    RunResult listdev = run({"listdev"});
    RunResult query = run({"-dev=?"});
    EXPECT_EQ(query.status, listdev.status);
    EXPECT_EQ(query.out, listdev.out);
    EXPECT_TRUE(contains(query.out, "zen2")) << query.out;
}

// Without a network stack discovery fails; the run ends with its result.
TEST_F(CliTest, DiscoveryFailureEndsTheRun) {
    RunResult r = run({"listdev"});
    EXPECT_EQ(r.status, 17);
    EXPECT_EQ(r.out, "No supported devices found. Please make sure all the required drivers are loaded properly\n");
}

}  // namespace
}  // namespace zelt::test
