// Helpers for tests that run the built programs: run a program with its output
// captured, and a temporary directory removed at the end of the test.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zelt::test {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;  // standard output
    std::string err;  // standard error
};

struct RunOptions {
    std::vector<std::pair<std::string, std::string>> env;  // set (or, with an empty value, kept empty)
    std::vector<std::string> unset_env;                    // removed from the environment
    std::string input;                                     // standard input
    std::string cwd;                                       // working directory (empty: unchanged)
    std::vector<std::string> wrapper;                      // prefix, such as setpriv arguments
    // Keep the lines a run adds to its standard error beside the command's messages:
    // the first line of a run on a simulated host ("SIMULATED HOST: <dir>"), the
    // warning of a build that trusts the test signing key, "Hint: ..." lines and the
    // "Log file: <path>" line. Dropped by default, so that tests compare what the
    // command itself wrote; the tests of those lines keep them.
    bool keep_note_lines = false;
};

// Removes those lines from a run's standard error.
std::string without_note_lines(const std::string& err);

// Runs `argv` (argv[0] is a path) and waits for it.
RunResult run_program(const std::vector<std::string>& argv, const RunOptions& options = {});

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_text_file(const std::string& path);
void write_text_file(const std::string& path, const std::string& text);

}  // namespace zelt::test

// Path of a program built into the build directory (tests are compiled with ZELT_BIN_DIR).
#define ZELT_PROGRAM(name) (std::string(ZELT_BIN_DIR) + "/" + (name))
