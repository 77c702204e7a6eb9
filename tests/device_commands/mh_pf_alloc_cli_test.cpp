// mh_pf_alloc run as a program against the default simulated host (zen0: a Kestra
// adapter, zen2: an older one).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pf_features/feature_host.h"

namespace zelt::test {
namespace {

constexpr int kGetVariable = 0xFFF1;
constexpr int kSetVariable = 0xFFF2;
constexpr int kFlush = 0xFFF0;

TEST(MhPfAllocCommand, ChecksAndOutcomes) {
    const FeatureHost original;
    const std::string kApplied =
        "Multi-host PF allocation applied successfully.\nA cold boot is required for new allocation to take effect.\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the command word
        const char* dev;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        std::string output;  // standard output and error, in full
        int sets;            // option writes that reached the firmware
    } cases[] = {
        {"query of a fresh adapter", {}, "zen0", {}, 0, "EP 0 = 0\nEP 1 = 0\nEP 2 = 0\nEP 3 = 0\n", 0},
        {"two endpoints", {"4", "0", "4", "0"}, "zen0", {}, 0, kApplied, 4},
        {"four endpoints", {"2", "2", "2", "2"}, "zen0", {}, 0, kApplied, 4},
        {"no endpoint", {"0", "0", "0", "0"}, "zen0", {}, 0, kApplied, 4},
        {"three endpoints",
         {"4", "4", "4", "0"},
         "zen0",
         {},
         44,
         "Invalid configuration. The number of non-zero values can be for 2 endpoints or 4 endpoints.\n",
         0},
        {"endpoints 0 and 2 empty",
         {"0", "4", "0", "4"},
         "zen0",
         {},
         46,
         "Invalid configuration. Endpoint 0 or Endpoint 2 cannot be zero's.\n",
         0},
        {"more than 16 functions",
         {"8", "0", "8", "1"},
         "zen0",
         {},
         45,
         "Invalid configuration. The sum of all the endpoints should be less than or equal to 16.\n",
         0},
        {"a count beyond 32 bits",
         {"4", "0", "99999999999", "0"},
         "zen0",
         {},
         16,
         "Invalid parameter value. Value should be an integer.\n",
         0},
        {"a fractional count",
         {"4", "0", "4.0", "0"},
         "zen0",
         {},
         16,
         "Invalid parameter value. Value should be an integer.\n",
         0},
        {"three counts",
         {"4", "0", "4"},
         "zen0",
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm mh_pf_alloc -h\" for help.\n",
         0},
        {"older adapter", {"4", "0", "4", "0"}, "zen2", {}, 2, "Command doesn't support on this hardware.\n", 0},
        {"firmware refuses the read",
         {},
         "zen0",
         {"hwrm_error", "--req-type", std::to_string(kGetVariable), "--error-code", "2"},
         1,
         "Failed to query mh_pf_alloc.\n",
         0},
        {"no rights to read",
         {},
         "zen0",
         {"hwrm_error", "--req-type", std::to_string(kGetVariable), "--error-code", "3"},
         10,
         "\n\nThis operation does not have administrative privileges for given interface\n",
         0},
        {"firmware refuses the write",
         {"4", "0", "4", "0"},
         "zen0",
         {"hwrm_error", "--req-type", std::to_string(kSetVariable), "--error-code", "2"},
         1,
         "Failed to configure mh_pf_alloc.\n",
         1},
        {"no rights to write",
         {"4", "0", "4", "0"},
         "zen0",
         {"hwrm_error", "--req-type", std::to_string(kSetVariable), "--error-code", "3"},
         10,
         "\n\nThis operation does not have administrative privileges for given interface\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{original});
        if (!c.fault.empty()) host.fault(c.fault);
        std::vector<std::string> argv = {std::string("-dev=") + c.dev, "mh_pf_alloc"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const RunResult r = host.zeltnvm(argv);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(host.requests(kSetVariable), c.sets);
        EXPECT_EQ(host.requests(kFlush), c.status == 0 && c.sets > 0 ? 1 : 0);
    }
}

// An allocation set by one process is what the next one reads, endpoint by endpoint.
TEST(MhPfAllocCommand, SetThenQueryAcrossProcesses) {
    const FeatureHost host;
    ASSERT_EQ(host.zeltnvm({"-dev=zen0", "mh_pf_alloc", "6", "2", "6", "2"}).status, 0);
    RunResult r = host.zeltnvm({"-dev=zen1", "mh_pf_alloc"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "EP 0 = 6\nEP 1 = 2\nEP 2 = 6\nEP 3 = 2\n");
}

}  // namespace
}  // namespace zelt::test
