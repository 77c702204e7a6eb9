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
    // A host made by zeltsim: one adapter (`adapters` 1) or zeltsim's default two.
    void make_host(int adapters) {
        std::vector<std::string> args{ZELT_PROGRAM("zeltsim"), "create", root_.path()};
        if (adapters == 1) {
            write_text_file(cwd_.file("one.json"), "{\"adapters\":[{\"name\":\"a\"}]}");
            args.insert(args.end(), {"--config", cwd_.file("one.json")});
        }
        RunResult r = run_program(args);
        ASSERT_EQ(r.status, 0) << r.err;
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
