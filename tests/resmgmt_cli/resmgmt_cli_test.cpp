// resmgmt run as a program against a simulated adapter of three physical functions:
// what it refuses, what it stores and prints back, the profile verdict, the advice
// after a change and the script `save` writes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
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

// One adapter with three PFs on one port (zen0, zen1, zen2); RDMA enabled on the
// adapter and on every PF, so roce_max may be set.
constexpr const char* kThreePfAdapter = R"({"adapters":[
  {"name":"a","ports":1,"pfs_per_port":3,"options":[
    {"num":161,"value":1,"bits":1},
    {"num":506,"index":0,"value":1,"bits":1},
    {"num":506,"index":1,"value":1,"bits":1},
    {"num":506,"index":2,"value":1,"bits":1}]}]})";
// The same adapter without RDMA.
constexpr const char* kThreePfNoRdma = R"({"adapters":[{"name":"a","ports":1,"pfs_per_port":3}]})";

class ResMgmtCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = new SimulatedHost(kThreePfAdapter);
        no_rdma_ = new SimulatedHost(kThreePfNoRdma);
    }
    static void TearDownTestSuite() {
        delete base_;
        delete no_rdma_;
    }

    // A fresh copy of the three-PF host for one case.
    static std::unique_ptr<SimulatedHost> fresh(const SimulatedHost* from = base_) {
        return std::make_unique<SimulatedHost>(SimulatedHost::CopyOf{*from});
    }

    static RunResult resmgmt(const SimulatedHost& host, const std::vector<std::string>& words) {
        std::vector<std::string> args = {"-dev=zen0", "resmgmt"};
        args.insert(args.end(), words.begin(), words.end());
        return host.zeltnvm(args);
    }

    // The stored values of a group, PF by PF, from the JSON form of its query.
    static std::vector<json> stored(const SimulatedHost& host, const std::string& group) {
        const RunResult r = host.zeltnvm({"-dev=zen0", "-json", "resmgmt", group});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const json doc = json::parse(r.out);
        std::vector<json> values;
        for (const json& pf : doc["pfs"]) values.push_back(pf["configured"].get<bool>() ? pf["stored"] : json());
        return values;
    }

    static SimulatedHost* base_;
    static SimulatedHost* no_rdma_;
};
SimulatedHost* ResMgmtCliTest::base_ = nullptr;
SimulatedHost* ResMgmtCliTest::no_rdma_ = nullptr;

struct RefusedCase {
    const char* name;
    std::vector<std::string> words;
    int status;
    const char* message;  // part of standard error
};

TEST_F(ResMgmtCliTest, RefusedInputChangesNothing) {
    const std::vector<RefusedCase> cases = {
        {"minimums above 100 in sum", {"min", "40", "40", "40"}, 248,
         "Error : Total value provided should not exceed 100, please provide the correct values\n"},
        {"a value per PF", {"min", "30", "30"}, 248, "Error : Number of values do not match number of PFs\n"},
        {"not a number", {"max", "30", "x1", "30"}, 248, "Error : please enter valid number for instance 1\n"},
        {"a leading stop", {"max", ".5", "30", "30"}, 248, "Error : please enter valid number for instance 0\n"},
        {"two stops", {"max", "1.2.3", "30", "30"}, 248, "Error : please enter valid number for instance 0\n"},
        {"two decimals", {"max", "12.25", "30", "30"}, 248, "Error : Fraction is limited to 1 digit!\n"},
        {"decimals of completion rings", {"max_cmpl", "2.5", "2", "2"}, 248,
         "Error : Decimal values not allowed for max_cmpl\n"},
        {"below one", {"min", "0.5", "30", "30"}, 248,
         "Error : Invalid input for instance 0, Please enter values from 1 to 100\n"},
        {"above 100", {"max", "30", "100.5", "30"}, 248, "Error : value provided is greater than 100 for instance 1\n"},
        {"rings above the adapter's limit", {"max_cmpl", "8", "8", "300"}, 248,
         "Error : value provided is greater than 256 for instance 2\n"},
        {"rings above the limit in sum", {"max_cmpl", "100", "100", "100"}, 248,
         "Error : Total value exceeds 256, please provide the correct values\n"},
        {"an unknown strategy", {"strategy", "maximal", "greedy", "minimal"}, 248,
         "Error : Please specify the correct strategy\n"},
        {"an unknown profile", {"profile", "lopsided"}, 248, "Error : Please specify the correct profile type\n"},
        {"symmetric without profile", {"symmetric"}, 7, "Command not supported\n"},
        {"an unknown word", {"restore", "file.sh"}, 7, "Command not supported\n"},
        {"save without a file", {"save"}, 248, "Error : Please specify the file name!\n"},
    };
    const auto host = fresh();
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = resmgmt(*host, c.words);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("applied Successfully"), std::string::npos) << r.out;
    }
    // Nothing was stored by any of them.
    for (const char* group : {"min", "max", "max_cmpl", "strategy"})
        EXPECT_EQ(stored(*host, group), std::vector<json>(3)) << group;
}

TEST_F(ResMgmtCliTest, RoceMaximumNeedsRdma) {
    const auto host = fresh(no_rdma_);
    const RunResult r = resmgmt(*host, {"roce_max", "30", "30", "30"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Error : Please set rdma_capable option (161)\n"), std::string::npos) << r.err;
}

struct StoredCase {
    const char* name;
    std::vector<std::string> words;  // the set
    std::vector<json> stored;        // what the group then holds, PF by PF
    const char* shown;               // the query's text afterwards
};

TEST_F(ResMgmtCliTest, ValuesAreStoredEncodedAndPrintedBack) {
    const std::vector<StoredCase> cases = {
        {"minimums summing to 90", {"min", "30", "30", "30"}, {3000, 3000, 3000},
         "min :\nPF 0 = 30\nPF 1 = 30\nPF 2 = 30\n"},
        {"a tenth kept", {"max", "12.5", "50", "100"}, {1205, 5000, 10000},
         "max :\nPF 0 = 12.5\nPF 1 = 50\nPF 2 = 100\n"},
        {"minimums of 33.3", {"min", "33.3", "33.3", "33.3"}, {3303, 3303, 3303},
         "min :\nPF 0 = 33.3\nPF 1 = 33.3\nPF 2 = 33.3\n"},
        {"RoCE maximums above 100 in sum without the maximal strategy", {"roce_max", "50", "50", "50"},
         {5000, 5000, 5000}, "roce_max :\nPF 0 = 50\nPF 1 = 50\nPF 2 = 50\n"},
        {"completion rings as counts", {"max_cmpl", "64", "32", "16"}, {64, 32, 16},
         "max_cmpl :\nPF 0 = 64\nPF 1 = 32\nPF 2 = 16\n"},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto host = fresh();
        RunResult r = resmgmt(*host, c.words);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out,
                  "Resource management settings are applied Successfully\n"
                  "Please reboot the system to apply the configuration\n");
        EXPECT_EQ(stored(*host, c.words[0]), c.stored);
        r = resmgmt(*host, {c.words[0]});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.shown);
    }
}

TEST_F(ResMgmtCliTest, UnconfiguredGroupsAndStrategiesShowSo) {
    const auto host = fresh();
    RunResult r = resmgmt(*host, {"min"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "min :\nPF 0 = Not Configured\nPF 1 = Not Configured\nPF 2 = Not Configured\n");

    r = resmgmt(*host, {"strategy"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "strategy :\nPF 0 : unknown\nPF 1 : unknown\nPF 2 : unknown\n");

    ASSERT_EQ(resmgmt(*host, {"strategy", "minimal", "minimal-static", "maximal"}).status, 0);
    r = resmgmt(*host, {"strategy"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "strategy :\nPF 0 : minimal\nPF 1 : minimal-static\nPF 2 : maximal\n");
}

// A minimum set above a PF's maximum raises the maximum; a maximum set below the
// minimum lowers the minimum.
TEST_F(ResMgmtCliTest, MinimumAndMaximumFollowEachOther) {
    const auto host = fresh();
    ASSERT_EQ(resmgmt(*host, {"max", "20", "40", "20"}).status, 0);
    RunResult r = resmgmt(*host, {"min", "30", "30", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Warning : Minimum value is greater than Maximum for instance 0, Max value will be changed "
                         "to Min\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("for instance 1"), std::string::npos) << r.out;
    EXPECT_EQ(stored(*host, "max"), (std::vector<json>{3000, 4000, 3000}));

    r = resmgmt(*host, {"max", "30", "20", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Warning : Maximum value is lesser than Minimum for instance 1, Min value will be changed "
                         "to Max\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(stored(*host, "min"), (std::vector<json>{3000, 2000, 3000}));
}

TEST_F(ResMgmtCliTest, MaximalStrategyBoundsTheMaximumsAndTheRoceSum) {
    const auto host = fresh();
    ASSERT_EQ(resmgmt(*host, {"max", "50", "50", "50"}).status, 0);
    RunResult r = resmgmt(*host, {"strategy", "maximal", "minimal", "minimal"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Error : Cannot set Maximal Strategy as sum of MAX exceeds 100\n"), std::string::npos)
        << r.err;

    ASSERT_EQ(resmgmt(*host, {"max", "30", "30", "30"}).status, 0);
    ASSERT_EQ(resmgmt(*host, {"strategy", "maximal", "maximal", "maximal"}).status, 0);
    r = resmgmt(*host, {"roce_max", "50", "50", "50"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Error : Maximal strategy is set! Total value provided should not exceed 100, please "
                         "provide the correct values\n"),
              std::string::npos)
        << r.err;
}

TEST_F(ResMgmtCliTest, ProfileVerdict) {
    const auto host = fresh();
    RunResult r = resmgmt(*host, {"profile"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Profile Type : Asymmetric\n");

    // min = max = 100 / 3 on every PF and no strategy set: symmetric.
    ASSERT_EQ(resmgmt(*host, {"max", "33", "33", "33"}).status, 0);
    ASSERT_EQ(resmgmt(*host, {"min", "33", "33", "33"}).status, 0);
    EXPECT_EQ(resmgmt(*host, {"profile"}).out, "Profile Type : Symmetric\n");

    // A minimal-static PF keeps the verdict of the PF before it; a minimal one breaks it.
    ASSERT_EQ(resmgmt(*host, {"strategy", "maximal", "minimal-static", "maximal"}).status, 0);
    EXPECT_EQ(resmgmt(*host, {"profile"}).out, "Profile Type : Symmetric\n");
    ASSERT_EQ(resmgmt(*host, {"strategy", "minimal-static", "maximal", "maximal"}).status, 0);
    EXPECT_EQ(resmgmt(*host, {"profile"}).out, "Profile Type : Asymmetric\n");
    ASSERT_EQ(resmgmt(*host, {"strategy", "maximal", "maximal", "minimal"}).status, 0);
    EXPECT_EQ(resmgmt(*host, {"profile"}).out, "Profile Type : Asymmetric\n");

    // The symmetric profile sets all of it back.
    r = resmgmt(*host, {"profile", "symmetric"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Resource management settings are applied Successfully\n"), std::string::npos);
    EXPECT_EQ(resmgmt(*host, {"profile"}).out, "Profile Type : Symmetric\n");
    for (const char* group : {"min", "max", "roce_max"})
        EXPECT_EQ(stored(*host, group), (std::vector<json>{3300, 3300, 3300})) << group;
    EXPECT_EQ(resmgmt(*host, {"strategy"}).out, "strategy :\nPF 0 : maximal\nPF 1 : maximal\nPF 2 : maximal\n");
}

TEST_F(ResMgmtCliTest, AdviceFollowsTheBootStatus) {
    struct Case {
        unsigned boot_status;
        const char* advice;
    };
    for (const Case& c : {Case{1, "Please do the device reset to apply the configuration\n"},
                          Case{2, "Please reboot the system to apply the configuration\n"},
                          Case{3, "Please cold boot the system to apply the configuration\n"}}) {
        SCOPED_TRACE(c.boot_status);
        const auto host = fresh();
        host->fault({"boot_status", "--value", std::to_string(c.boot_status)});
        const RunResult r = resmgmt(*host, {"min", "10", "10", "10"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, std::string("Resource management settings are applied Successfully\n") + c.advice);
    }
}

TEST_F(ResMgmtCliTest, SaveWritesLinesThatReplayTheProfile) {
    const auto host = fresh();
    for (const std::vector<std::string>& set : std::vector<std::vector<std::string>>{
             {"max", "40", "30.5", "20"}, {"min", "10", "12.5", "20"}, {"max_cmpl", "64", "64", "32"},
             {"strategy", "minimal", "minimal-static", "minimal"}}) {
        ASSERT_EQ(resmgmt(*host, set).status, 0) << set[0];
    }
    RunResult r = resmgmt(*host, {"save", "profile.sh"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Resource management values are saved successfully in profile.sh\n");
    // roce_max was never configured: it has no line.
    const std::string script = read_text_file(host->work_file("profile.sh"));
    EXPECT_EQ(script,
              "zeltnvm -dev=zen0 resmgmt min 10 12.5 20\n"
              "zeltnvm -dev=zen0 resmgmt max 40 30.5 20\n"
              "zeltnvm -dev=zen0 resmgmt max_cmpl 64 64 32\n"
              "zeltnvm -dev=zen0 resmgmt strategy minimal minimal-static minimal\n");

    // Each line run on another adapter of the kind gives it the same profile.
    const auto other = fresh();
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        ASSERT_EQ(other->zeltnvm({words.begin() + 1, words.end()}).status, 0) << line;
    }
    for (const char* group : {"min", "max", "roce_max", "max_cmpl", "strategy"})
        EXPECT_EQ(stored(*other, group), stored(*host, group)) << group;
}

TEST_F(ResMgmtCliTest, SaveNeverWritesThroughALinkNorLeavesAPartialFile) {
    const auto host = fresh();
    const std::string victim = host->work_file("victim.txt");
    write_text_file(victim, "keep me\n");
    ASSERT_EQ(::symlink(victim.c_str(), host->work_file("profile.sh").c_str()), 0);
    RunResult r = resmgmt(*host, {"save", "profile.sh"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::is_symlink(host->work_file("profile.sh")));
    EXPECT_EQ(read_text_file(victim), "keep me\n");

    // A name the file cannot take (a directory stands there): the command fails and
    // nothing is left beside it.
    std::filesystem::create_directory(host->work_file("taken"));
    write_text_file(host->work_file("taken/inside"), "x");
    const auto before = std::distance(std::filesystem::directory_iterator(host->work_dir()),
                                      std::filesystem::directory_iterator());
    r = resmgmt(*host, {"save", "taken"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out.find("saved successfully"), std::string::npos) << r.out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(host->work_dir()),
                            std::filesystem::directory_iterator()),
              before);
}

}  // namespace
}  // namespace zelt::test
