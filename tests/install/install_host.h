// A simulated host for the install command-line tests, with the package builder and
// the fault scheduler at hand.
//
// The default simulated host has adapter0 (zen0, zen1: device type 8, installed
// package 228.1.107.0) and adapter1 (zen2, zen3: device type 5, 224.0.150.0). Package
// files are given relative to the working directory, which stays outside the host.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

namespace zelt::test {

class InstallHost : public SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // The example package of `version` as `name` in the working directory, with the
    // further zeltpkg example options `extra`.
    void example(const std::string& name, const std::string& version, const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltpkg"), "example", "--version", version};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back(work_file(name));
        const RunResult r = run_program(argv);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // A package built from the JSON `description` as `name` in the working directory.
    void package(const std::string& name, const std::string& description) const {
        write_text_file(work_file(name + ".json"), description);
        const RunResult r = run_program({ZELT_PROGRAM("zeltpkg"), "build", work_file(name + ".json"), work_file(name)});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::string log() const { return read_text_file(root() + "/var/log/zeltnvm.log"); }
};

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace zelt::test
