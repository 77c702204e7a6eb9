#include "cli/cli_helper.h"

#include <cstdio>
#include <cstring>

#include "cli/scan_state.h"
#include "host/host.h"
#include "log/print.h"
#include "log/run_flags.h"

namespace zelt::cli {

bool ScanState::add_file(const std::string& path, const char* full_message) {
    if (files.size() >= static_cast<size_t>(ZELT_MAX_FILES)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, full_message, static_cast<unsigned>(ZELT_MAX_FILES));
        return false;
    }
    files.push_back(path);
    return true;
}

std::vector<char*> ScanState::file_pointers() {
    std::vector<char*> out;
    out.reserve(files.size());
    for (auto& f : files) out.push_back(f.data());
    return out;
}

namespace {

constexpr int kNoCommandResult = 30;
constexpr int kArgumentLimitResult = 30;

void print_no_command() {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "No command specified, use \"zeltnvm -h\" for help.\n");
}

// Copies the argument vector into the table. Arguments the table cannot hold are
// refused rather than cut: a shortened file name or value would name something else.
StepResult copy_arguments(ScanState& s, int argc, char** argv) {
    if (argc > ZELT_MAX_ARGS) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Too many arguments: at most %d are accepted.\n",
                      ZELT_MAX_ARGS - 1);
        return kArgumentLimitResult;
    }
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i] ? argv[i] : "";
        size_t len = std::strlen(a);
        if (len >= static_cast<size_t>(ZELT_ARG_LEN)) {
            if (i == 0) {  // the program's own path only names it
                len = ZELT_ARG_LEN - 1;
            } else {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                              "Argument too long (at most %d characters): '%.40s...'\n", ZELT_ARG_LEN - 1, a);
                return kArgumentLimitResult;
            }
        }
        std::memcpy(s.args[i], a, len);
        s.args[i][len] = '\0';
    }
    s.argc = argc;
    return std::nullopt;
}

// A word after the command word: a file argument, or a positional parameter that its
// handler reads back from the table. Directories are skipped silently.
void scan_file_argument(ScanState& s, int index) {
    const char* word = s.args[index];
    if (host::current().is_directory(word)) return;
    s.add_file(word, "!Maximum number of package files reached: %u\n");
}

}  // namespace
}  // namespace zelt::cli

int cliHelper(int argc, char** argv, bool* debug) {
    using namespace zelt::cli;
    ScanState s;
    s.opts.verify = true;
    s.caller_debug = debug;
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    if (argc < 2) {
        print_no_command();
        return kNoCommandResult;
    }
    if (StepResult r = copy_arguments(s, argc, argv)) return *r;

    for (int i = 1; i < s.argc; ++i) {
        StepResult r;
        if (s.args[i][0] == '-') {
            r = scan_option(s, i);
        } else if (s.command == CMD_NONE) {
            r = scan_command_word(s, i);
        } else {
            scan_file_argument(s, i);
        }
        if (r) return *r;
    }

    if (s.command == CMD_NONE) {
        print_no_command();
        return kNoCommandResult;
    }
    return dispatch_command(s);
}
