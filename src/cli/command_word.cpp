// The command word: matching, per-command help, the implicit device, the argument
// rule, the command's argument, and the commands run as soon as their word is read.
#include <cstring>
#include <vector>

#include "cli/cli_helper.h"
#include "cli/device_queries.h"
#include "cli/display_error.h"
#include "cli/front_end_hooks.h"
#include "cli/scan_state.h"
#include "host/host.h"
#include "log/print.h"
#include "log/run_flags.h"

namespace zelt::cli {
namespace {

constexpr int kUnknownCommandResult = 2;
constexpr int kBadFilespecResult = 12;
constexpr int kArgumentLimitResult = 30;
constexpr size_t kCommandWordMax = 127;

int find_command(const char* word) {
    for (int c = 0; c < ZELT_CMD_COUNT; ++c) {
        if (std::strcmp(cmd_str[c], word) == 0) return c;
    }
    return CMD_NONE;
}

// Commands that never take the single adapter's function when -dev= is missing.
bool runs_without_device(int cmd) {
    switch (cmd) {
        case CMD_VERSION:
        case CMD_DEVID:
        case CMD_PKGVER:
        case CMD_INSTALL:
        case CMD_VERIFY:
        case CMD_LISTDEV:
        case CMD_MODULEINFO:
        case CMD_LIST:
        case CMD_VIEW: return true;
        default: return false;
    }
}

// Commands whose argument is a file specification (command=<pattern>).
bool takes_filespec(int cmd) {
    switch (cmd) {
        case CMD_DEVID:
        case CMD_PKGVER:
        case CMD_INSTALL:
        case CMD_VERIFY:
        case CMD_LIST:
        case CMD_VIEW: return true;
        default: return false;
    }
}

// Commands that take the text after '=' (empty without one) even without '='.
bool always_takes_argument(int cmd) {
    switch (cmd) {
        case CMD_CFGTUNNEL:
        case CMD_ETHERDIAGRAM:
        case CMD_RESET:
        case CMD_PCIDIAGRAM:
        case CMD_RESMGMT: return true;
        default: return false;
    }
}

// Puts "-dev=<name>" at args[1], moving the former arguments 1 onward up one place.
StepResult insert_device(ScanState& s, const char* name, int& index) {
    if (s.argc >= ZELT_MAX_ARGS) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Too many arguments: at most %d are accepted.\n",
                      ZELT_MAX_ARGS - 2);
        return kArgumentLimitResult;
    }
    std::memmove(s.args[2], s.args[1], static_cast<size_t>(s.argc - 1) * ZELT_ARG_LEN);
    std::snprintf(s.args[1], ZELT_ARG_LEN, "-dev=%s", name);
    ++s.argc;
    ++index;
    s.device = name;
    return std::nullopt;
}

// The single adapter's first function becomes the device of a command that needs one.
StepResult take_implicit_device(ScanState& s, int& index) {
    if (s.device || runs_without_device(s.command)) return std::nullopt;
    if (zeltnvm_adapter_count() > 1) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Please provide \"-dev=\" option.\n");
        return -1;
    }
    const char* name = zeltnvm_first_device_name();
    if (!name || !*name) {
        // Nothing to take: say so instead of running the command without a device.
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "No supported devices found. Please make sure all the required drivers are loaded "
                      "properly\n");
        return -1;
    }
    return insert_device(s, name, index);
}

// command=<pattern>: every match that is not a directory joins the file list.
StepResult expand_filespec(ScanState& s) {
    auto& h = host::current();
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

using Handler = int (*)(const char*, options*, int, char (*)[ZELT_ARG_LEN]);

// Runs a command at its word. Returns the run's result when the command ends it.
StepResult run_at_word(ScanState& s, bool has_argument) {
    zeltnvm_verbose = s.opts.verbosity;
    options* o = &s.opts;
    auto run = [&](Handler h) { return h(s.device, o, s.argc, s.args.get()); };
    switch (s.command) {
        case CMD_DEVINFO: return zeltnvm_device_info(s.device, o);
        case CMD_ADDNTUPLE: return run(zeltnvm_add_ntuple_filter_command);
        case CMD_FREENTUPLE: return run(zeltnvm_free_ntuple_filter_command);
        case CMD_CFGTUNNEL: s.kept_result = run(zeltnvm_cfgtunnel_command); return std::nullopt;
        case CMD_RESMGMT: s.kept_result = run(zeltnvm_resmgmt_command); return std::nullopt;
        case CMD_ETHERDIAGRAM:
        case CMD_PCIDIAGRAM: {
            int rc = run(s.command == CMD_ETHERDIAGRAM ? zeltnvm_ether_eye_diagram_command
                                                       : zeltnvm_pci_eye_diagram_command);
            if (rc != 0) return zeltnvm_display_error_msg(s.command, rc);
            s.kept_result = rc;
            return std::nullopt;
        }
        case CMD_OPTIONHELP:
            if (has_argument) return run(zeltnvm_optionhelp_command);
            return std::nullopt;
        case CMD_SETOPTION:
        case CMD_GETOPTION:
            if (has_argument) {
                int rc = zeltnvm_option_check(s.device, s.command, o, s.argc, s.args.get());
                if (rc != 0) return rc;
            }
            return std::nullopt;
        default: return std::nullopt;
    }
}

}  // namespace

StepResult scan_command_word(ScanState& s, int& index) {
    char word[kCommandWordMax + 1];
    std::snprintf(word, sizeof word, "%s", s.args[index]);
    char* eq = std::strchr(word, '=');
    if (eq) *eq = '\0';
    s.command = find_command(word);
    if (s.command == CMD_NONE) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command not supported: '%s', use -h for help.\n", word);
        return kUnknownCommandResult;
    }

    if ((s.argc > 2 && std::strcmp(s.args[2], "-h") == 0) || (s.argc > 3 && std::strcmp(s.args[3], "-h") == 0))
        return zeltnvm_display_help(s.command);

    if (StepResult r = take_implicit_device(s, index)) return r;

    if (zeltnvm_check_input_args(s.command, s.argc, s.args.get(), &s.opts) != 0) return -1;

    const char* full_eq = std::strchr(s.args[index], '=');
    const bool has_argument = full_eq != nullptr;
    if (has_argument || always_takes_argument(s.command)) {
        s.opts.arg = has_argument ? full_eq + 1 : "";
        if (s.opts.debug) zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "arg = '%s'\n", s.opts.arg);
        if (has_argument && takes_filespec(s.command)) {
            if (StepResult r = expand_filespec(s)) return r;
        }
    }
    return run_at_word(s, has_argument);
}

}  // namespace zelt::cli
