// The command word: matching, per-command help, the implicit device, the argument
// rule, the command's argument, and the handlers that run as soon as their word is read.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "cli/device_queries.h"
#include "cli/report/output.h"
#include "cli/run_notes.h"
#include "cli/scan_state.h"
#include "device/discovery.h"
#include "log/print.h"

namespace zelt::cli {
namespace {

constexpr int kUnknownCommandResult = 2;
constexpr int kBadFilespecResult = 12;
constexpr int kArgumentLimitResult = 30;
constexpr size_t kCommandWordMax = 127;

// The single adapter's first function becomes the device of a command that needs one.
StepResult take_implicit_device(ScanState& s, const CommandRow& row) {
    ParsedCommand& p = s.parsed;
    if (p.device || !row.implicit_device) return std::nullopt;
    if (zeltnvm_adapter_count(*p.inventory) > 1) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Please provide \"-dev=\" option.\n");
        hint_choose_selector();
        return -1;
    }
    const char* name = zeltnvm_first_device_name(*p.inventory);
    if (!name || !*name) {
        // Nothing to take: say so instead of running the command without a device.
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "No supported devices found. Please make sure all the required drivers are loaded "
                      "properly\n");
        if (!p.context->platform || !p.context->platform->discover) hint_no_devices(p.context->host);
        return -1;
    }
    // The taken selector counts as one more argument of the command line.
    if (p.words.size() + 1 >= static_cast<size_t>(ZELT_MAX_ARGS)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Too many arguments: at most %d are accepted.\n",
                      ZELT_MAX_ARGS - 2);
        return kArgumentLimitResult;
    }
    p.select(p.inventory->functions.front(), name);
    p.device_taken = true;
    return std::nullopt;
}

// command=<pattern>: every match that is not a directory joins the file list.
StepResult expand_filespec(ScanState& s) {
    host::Host& h = s.parsed.context->host;
    std::vector<std::string> matches;
    if (h.glob_paths(s.opts.arg, matches) != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "!Package filename/filespec invalid: '%s'\n", s.opts.arg);
        return kBadFilespecResult;
    }
    for (const auto& m : matches) {
        if (h.is_directory(m)) continue;
        if (!s.add_file(m, "!Maximum number of files reached: %u\n")) break;
    }
    return std::nullopt;
}

bool word_is_help(const std::vector<std::string>& words, std::size_t index) {
    return index < words.size() && words[index] == "-h";
}

}  // namespace

StepResult scan_command_word(ScanState& s, std::size_t index) {
    ParsedCommand& p = s.parsed;
    const std::string& typed = p.words[index];
    const std::string word = typed.substr(0, std::min(typed.find('='), kCommandWordMax));
    const CommandRow* row = find_command_row(word);
    if (!row) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command not supported: '%s', use -h for help.\n",
                      word.c_str());
        return kUnknownCommandResult;
    }
    p.command = row->command;
    p.word_index = index;
    p.args.clear();
    for (std::size_t i = index + 1; i < p.words.size(); ++i) {
        if (!report::is_json_option(p.words[i])) p.args.push_back(p.words[i]);
    }

    // "-h" as the second or third word of the command line asks for the command's help.
    if (word_is_help(p.words, 1) || word_is_help(p.words, 2)) return zeltnvm_display_help(p.command);

    if (StepResult r = take_implicit_device(s, *row)) return r;

    if (zeltnvm_check_input_args(p, s.opts) != 0) return -1;

    const std::size_t eq = typed.find('=');
    const bool has_argument = eq != std::string::npos;
    if (has_argument || row->argument == ArgumentKind::text_always) {
        s.opts.arg = has_argument ? typed.c_str() + eq + 1 : "";
        if (s.opts.debug) zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "arg = '%s'\n", s.opts.arg);
        if (has_argument && row->argument == ArgumentKind::file_spec) {
            if (StepResult r = expand_filespec(s)) return r;
        }
    }
    take_run_flags(s);
    if (!row->available || !row->at_word) return std::nullopt;
    return row->at_word(s.opts, p);
}

}  // namespace zelt::cli
