// Runs the built zeltnvm against a simulated host root in a temporary directory, from
// a separate temporary working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace zelt::test {

class CliTest : public ::testing::Test {
protected:
    // A host on which discovery succeeds and finds no adapter.
    void make_empty_host() {
        std::filesystem::create_directories(root_.file("proc/net"));
        write_text_file(root_.file("proc/net/dev"),
                        "Inter-|   Receive                                                |  Transmit\n"
                        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
                        "drop fifo colls carrier compressed\n");
    }
    RunResult run(std::vector<std::string> args, RunOptions options = {}) {
        args.insert(args.begin(), ZELT_PROGRAM("zeltnvm"));
        options.env.emplace_back("ZELTNVM_SIM", root_.path());
        if (options.cwd.empty()) options.cwd = cwd_.path();
        return run_program(args, options);
    }

    TempDir root_;  // the simulated host
    TempDir cwd_;   // the working directory
};

}  // namespace zelt::test
