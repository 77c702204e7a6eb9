// msix_max_vectors run as a program against a simulated host with three adapters:
// zen0/zen1 a Kestra adapter whose PFs have 64 VFs each (PF 0's VFs start at firmware
// id 128), zen2 a Kestra adapter without VFs, zen3/zen4 an older adapter.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/pf_features/feature_host.h"

namespace zelt::test {
namespace {

constexpr const char* kHost = R"({"adapters": [
    {"device_type": 8, "ports": 2, "total_vfs": 64},
    {"device_type": 8, "ports": 1},
    {"device_type": 5, "ports": 2}]})";

constexpr int kSet = 0x00CA;
constexpr int kGet = 0x00CB;

// msix_max_vectors <pf> and eight rows, the ones not given as 0 0.
std::vector<std::string> set_args(const char* dev, const char* pf, std::vector<std::pair<int, int>> rows) {
    std::vector<std::string> argv = {std::string("-dev=") + dev, "msix_max_vectors", pf};
    rows.resize(8, {0, 0});
    for (const auto& [start, msix] : rows) {
        argv.push_back(std::to_string(start));
        argv.push_back(std::to_string(msix));
    }
    return argv;
}

std::string table_text(std::vector<std::pair<int, int>> rows) {
    rows.resize(8, {0, 0});
    std::string s = "------------------------\nRow    Start VF    MSI-X\n------------------------\n";
    for (size_t i = 0; i < rows.size(); ++i)
        s +=
            std::to_string(i) + "\t " + std::to_string(rows[i].first) + "\t   " + std::to_string(rows[i].second) + "\n";
    return s;
}

TEST(MsixMaxVectorsCommand, ChecksAndEveryRefusalReason) {
    const FeatureHost original(kHost);
    const std::string kApplied =
        "MSI-X vector table applied successfully.\nA system reboot is required for new configuration to take effect.\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        std::string output;  // standard output and error, in full
        int sent;            // table messages that reached the firmware
    } cases[] = {
        {"query of a fresh table", {"-dev=zen0", "msix_max_vectors", "0"}, {}, 0, table_text({{128, 16}}), 1},
        {"query of a PF without VFs",
         {"-dev=zen2", "msix_max_vectors", "0"},
         {},
         48,
         "Failed to Query MSI-X Vector Table.\n",
         1},
        {"valid table", set_args("zen0", "0", {{128, 16}, {136, 32}, {160, 8}}), {}, 0, kApplied, 1},
        {"PF not an integer",
         {"-dev=zen0", "msix_max_vectors", "zero"},
         {},
         16,
         "Invalid pf_id value. Value should be an integer.\n",
         0},
        {"PF beyond the adapter's",
         set_args("zen0", "2", {{128, 16}}),
         {},
         45,
         "Invalid pf_id value. Valid range is from 0 to 1.\n",
         0},
        {"value beyond 16 bits",
         set_args("zen0", "0", {{128, 70000}}),
         {},
         16,
         "Invalid value. Value must be an integer from 0 to 65535.\n",
         0},
        {"pairs missing",
         {"-dev=zen0", "msix_max_vectors", "0", "128", "16"},
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm msix_max_vectors -h\" for help.\n",
         0},
        {"older adapter",
         {"-dev=zen3", "msix_max_vectors", "0"},
         {},
         2,
         "msix_max_vectors command does not support on this hardware.\n",
         0},
        {"PF without VFs",
         set_args("zen2", "0", {{128, 16}}),
         {},
         2,
         "Failed to configure MSI-X Vector table. PF does not have any VFs.\n",
         1},
        {"first row without vectors",
         set_args("zen0", "0", {}),
         {},
         2,
         "Failed to configure MSI-X Vector table. MSI-X field is zero for the first row.\n",
         1},
        {"first row off the PF's first VF",
         set_args("zen0", "0", {{130, 16}}),
         {},
         2,
         "Row 0 start_vf is not equal to the starting VF for the PF. Expected Start VF is 128\n",
         1},
        {"row outside the PF's VFs",
         set_args("zen0", "0", {{128, 16}, {200, 8}}),
         {},
         2,
         "Invalid entry for row 1.\nstart_vf less than valid end_vf or start_vf greater than valid begin VF.\n"
         "The valid end_vf should be 191 or valid begin vf should be 128\n",
         1},
        {"row off the alignment",
         set_args("zen0", "0", {{128, 16}, {130, 8}}),
         {},
         2,
         "Invalid entry for row 1.\nstart_vf is not multiple of 8.\n",
         1},
        {"rows not ascending",
         set_args("zen0", "0", {{128, 16}, {136, 8}, {136, 8}}),
         {},
         2,
         "Invalid entry for row 2.\nstart_vf less than or equal to previous rows start_vf.\n",
         1},
        {"small VFs with many vectors",
         set_args("zen0", "0", {{128, 32}}),
         {},
         2,
         "Invalid entry for row 0.\nVF range contains small VF (128) and MSI-X greater than Max MSI-X (16)\n",
         1},
        {"more vectors than the configuration space",
         set_args("zen0", "0", {{128, 16}, {136, 65}}),
         {},
         2,
         "Invalid MSI-X value for row 1.\n MSI-X value greater than PCIE config size (64).\n",
         1},
        {"more vectors than the PF has",
         set_args("zen0", "0", {{128, 16}, {136, 64}}),
         {},
         2,
         "Sum of all msix vectors (3712) > max msix vectors for PF (2048).\n",
         1},
        {"a gap between rows",
         set_args("zen0", "0", {{128, 16}, {0, 0}, {144, 8}}),
         {},
         2,
         "Failed to configure MSI-X vector table. Invalid number of rows provided.\n",
         1},
        {"refusal without a reason",
         set_args("zen0", "0", {{128, 16}}),
         {"hwrm_error", "--req-type", std::to_string(kSet), "--error-code", "1"},
         1,
         "Failed to configure MSI-X vector table. Please check the zeltnvm.log for more details.\n",
         1},
        {"query refused",
         {"-dev=zen0", "msix_max_vectors", "1"},
         {"hwrm_error", "--req-type", std::to_string(kGet), "--error-code", "2"},
         2,
         "Failed to Query MSI-X Vector Table.\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{original});
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(host.requests(kSet) + host.requests(kGet), c.sent);
    }
}

// A table applied by one process is what the next one reads for that PF only.
TEST(MsixMaxVectorsCommand, SetThenQueryAcrossProcesses) {
    const FeatureHost host(kHost);
    const std::vector<std::pair<int, int>> rows = {{192, 16}, {200, 32}, {232, 8}};
    RunResult r = host.zeltnvm(set_args("zen0", "1", rows));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = host.zeltnvm({"-dev=zen1", "msix_max_vectors", "1"});
    EXPECT_EQ(r.out, table_text(rows));
    r = host.zeltnvm({"-dev=zen0", "msix_max_vectors", "0"});
    EXPECT_EQ(r.out, table_text({{128, 16}}));
}

}  // namespace
}  // namespace zelt::test
