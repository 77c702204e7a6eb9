// The dscdump command run as a program against the default simulated host. Each level
// of lane 0 gives 256 + 64 * level bytes; the port has four lanes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunResult;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> dmp_files(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".dmp") out.push_back(e.path().string());
    return out;
}

// All 13 levels hold 13 * 256 + 64 * (0 + ... + 12) = 8320 bytes.
TEST(DscdumpCommand, LevelsFailuresAndRefusals) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        std::vector<std::string> args;
        int status;
        uintmax_t size;  // bytes of the file; 0: no file is left
        const char* message;
    } cases[] = {
        {"one level", {}, {"0", "DIAG_EYE"}, 0, 256 + 64 * 3, "Generated DSC Dump file"},
        {"all levels", {}, {"0"}, 0, 8320, "Generated DSC Dump file"},
        // Level 1's start fails: the other levels' data is kept in order.
        {"some levels fail", {"hwrm_error", "--req-type", "0xD9", "--nth", "3", "--error-code", "4"}, {"0"}, 0,
         8320 - (256 + 64), "Generated DSC Dump file"},
        {"every level fails", {"hwrm_error", "--req-type", "0xD9", "--error-code", "4"}, {"0"}, 256 - 28, 0,
         "Error: Failed to retrieve DSC Dump."},
        {"lane the port lacks", {}, {"9"}, 2, 0, "Given lane number is not supported by hardware."},
        {"lane out of range", {}, {"0x10000"}, 16, 0, "Valid range is from 0 to 65535"},
        {"lane with trailing text", {}, {"3x"}, 16, 0, "Valid range is from 0 to 65535"},
        {"unknown level", {}, {"0", "diag_none"}, 256 - 8, 0, "Invalid diag level provided."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zelt::test::SimulatedHost host;
        if (!c.fault.empty()) host.fault(c.fault);
        std::vector<std::string> args = {"-dev=zen0", "dscdump"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = host.zeltnvm(args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        const auto files = dmp_files(host.work_dir());
        if (c.size == 0) {
            EXPECT_TRUE(files.empty());
        } else {
            ASSERT_EQ(files.size(), 1u);
            EXPECT_EQ(std::filesystem::file_size(files[0]), c.size);
        }
    }
}

}  // namespace
