#include "cli/cli_helper.h"

#include <cstdio>
#include <cstring>

#include "cli/scan_state.h"
#include "log/print.h"

namespace zelt::cli {

bool ScanState::add_file(const std::string& path, const char* full_message) {
    if (parsed.files.size() >= static_cast<size_t>(ZELT_MAX_FILES)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, full_message, static_cast<unsigned>(ZELT_MAX_FILES));
        return false;
    }
    parsed.files.push_back(path);
    return true;
}

namespace {

constexpr int kNoCommandResult = 30;
constexpr int kArgumentLimitResult = 30;

void print_no_command() {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "No command specified, use \"zeltnvm -h\" for help.\n");
}

// Takes the command line after the program name. Arguments beyond the limits are
// refused rather than cut: a shortened file name or value would name something else.
StepResult take_words(ScanState& s, int argc, char** argv) {
    if (argc > ZELT_MAX_ARGS) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Too many arguments: at most %d are accepted.\n",
                      ZELT_MAX_ARGS - 1);
        return kArgumentLimitResult;
    }
    s.parsed.words.reserve(static_cast<size_t>(argc - 1));
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i] ? argv[i] : "";
        if (std::strlen(a) >= static_cast<size_t>(ZELT_ARG_LEN)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Argument too long (at most %d characters): '%.40s...'\n",
                          ZELT_ARG_LEN - 1, a);
            return kArgumentLimitResult;
        }
        s.parsed.words.emplace_back(a);
    }
    return std::nullopt;
}

// A word after the command word that is not an option: a file argument. Directories
// are skipped silently. Handlers that take positional parameters read them from the
// parsed command's arguments.
void scan_file_argument(ScanState& s, std::size_t index) {
    const std::string& word = s.parsed.words[index];
    if (s.parsed.context->host.is_directory(word)) return;
    s.add_file(word, "!Maximum number of package files reached: %u\n");
}

}  // namespace

int cliHelper(int argc, char** argv, zelt::cli::RunContext& context, const zelt::device::Inventory& inventory,
              zelt::cli::report::Report& run) {
    ScanState s;
    s.parsed.context = &context;
    s.parsed.inventory = &inventory;
    s.parsed.run = &run;
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    if (argc < 2) {
        print_no_command();
        return kNoCommandResult;
    }
    if (StepResult r = take_words(s, argc, argv)) return *r;

    for (std::size_t i = 0; i < s.parsed.words.size(); ++i) {
        StepResult r;
        if (s.parsed.words[i][0] == '-') {
            r = scan_option(s, i);
        } else if (s.parsed.command == CMD_NONE) {
            r = scan_command_word(s, i);
        } else {
            scan_file_argument(s, i);
        }
        if (r) return *r;
    }

    if (s.parsed.command == CMD_NONE) {
        print_no_command();
        return kNoCommandResult;
    }
    return dispatch_command(s);
}

}  // namespace zelt::cli
