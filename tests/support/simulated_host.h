// A simulated adapter host made by zeltsim in a temporary directory, for tests that
// run the built programs against it. Header-only: ZELT_PROGRAM needs the test's
// ZELT_BIN_DIR.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/run_program.h"

namespace zelt::test {

class SimulatedHost {
public:
    // The default host, or one described by the JSON text `config`.
    explicit SimulatedHost(const std::string& config = "") {
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltsim"), "create", root()};
        if (!config.empty()) {
            write_text_file(dir_.file("config.json"), config);
            argv.insert(argv.end(), {"--config", dir_.file("config.json")});
        }
        const RunResult r = run_program(argv);
        EXPECT_EQ(r.status, 0) << r.err;
    }

    // The rehearsal twin of a backup package (and a saveoptions script, when given):
    // `zeltsim create --from-backup`, which must succeed.
    struct FromBackup {
        std::string backup;   // path of the backup package
        std::string options;  // path of the script; empty for none
    };
    explicit SimulatedHost(const FromBackup& from) {
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltsim"), "create", root(), "--from-backup", from.backup};
        if (!from.options.empty()) argv.insert(argv.end(), {"--options", from.options});
        const RunResult r = run_program(argv);
        EXPECT_EQ(r.status, 0) << r.err;
    }

    // A copy of `original`: its simulated host and its working directory, taken as they
    // are now. Cheaper than creating a host when many tests need the same start.
    struct CopyOf {
        const SimulatedHost& original;
    };
    explicit SimulatedHost(CopyOf from) {
        std::error_code error;
        std::filesystem::copy(from.original.work_dir(), work_dir(),
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
                              error);
        EXPECT_FALSE(error) << error.message();
    }

    // The simulated root (ZELTNVM_SIM).
    std::string root() const { return dir_.file("host"); }
    // The working directory the programs run in (package files, dumps, scripts).
    const std::string& work_dir() const { return dir_.path(); }
    std::string work_file(const std::string& name) const { return dir_.file(name); }

    // zeltnvm with `args` against this host, from the working directory.
    RunResult zeltnvm(const std::vector<std::string>& args, const std::string& input = "") const {
        return run_tool("zeltnvm", args, input);
    }
    // zeltnvm-esx, the program over the driver's management callbacks, the same way.
    RunResult zeltnvm_esx(const std::vector<std::string>& args, const std::string& input = "") const {
        return run_tool("zeltnvm-esx", args, input);
    }
    // `program` (zeltnvm or zeltnvm-esx) with `args` against this host.
    RunResult run_tool(const std::string& program, const std::vector<std::string>& args,
                       const std::string& input = "") const {
        std::vector<std::string> argv = {ZELT_PROGRAM(program)};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions o;
        o.env = {{"ZELTNVM_SIM", root()}};
        o.cwd = dir_.path();
        o.input = input;
        return run_program(argv, o);
    }

    // zeltsim <verb> <root> <args...>
    RunResult zeltsim(const std::string& verb, const std::vector<std::string>& args = {}) const {
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltsim"), verb, root()};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv);
    }

    // zeltsim fault <root> <args...>, which must succeed.
    void fault(const std::vector<std::string>& args) const {
        const RunResult r = zeltsim("fault", args);
        ASSERT_EQ(r.status, 0) << r.err;
    }

private:
    TempDir dir_;
};

}  // namespace zelt::test
