// The command registry: one row per command word says everything the front end asks
// about a command. Adding a command is one row in command_registry.cpp, one handler
// file (the handler and its argument struct) and its help text.
#pragma once

#include <climits>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "cli/command_table.h"
#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

// How the text after '=' in the command word is taken.
enum class ArgumentKind {
    text,         // the argument is the text after '=', nullptr without one
    text_always,  // as text, but "" without '='
    file_spec,    // as text, and the text is a pattern whose matches join the file list
};

// The words an argument rule counts and indexes: the program name first, then the
// device selector taken for the command when -dev= was missing, then the command line
// as typed. Rules written against the whole command line keep their positions this way.
class ArgumentLine {
public:
    explicit ArgumentLine(const ParsedCommand& parsed);
    int count() const;
    // The word at `index` (0 is the program name); "" past the end.
    std::string_view operator[](int index) const;
    // The command word (the first word that is not an option) and its index; the index
    // is count() when there is none.
    int word_index() const { return word_index_; }
    std::string_view command_word() const { return (*this)[word_index_]; }
    // The words after the command word: how many, and the one at `n` ("" past the end).
    int count_after_word() const;
    std::string_view after_word(int n) const { return (*this)[word_index_ + 1 + n]; }
    // How many -plan options the command line holds (no rule counts them as words).
    int plan_options() const { return plan_options_; }

private:
    // The words counted: the program name, the taken selector, and the command line
    // without its -json and -plan options (which no rule counts).
    std::vector<std::string_view> words_;
    std::string taken_selector_;
    int word_index_ = 0;
    int plan_options_ = 0;
};

// True for the option word "-plan" (any number of leading dashes).
bool is_plan_option(std::string_view word);

// The argument rule of a command: a word count (program name included) and an optional
// check of the words themselves. The default accepts everything.
struct ArgumentRule {
    int min_count = 0;
    int max_count = INT_MAX;
    // Further check; may add to the scan's record (a -force among the words sets force).
    bool (*check)(const ArgumentLine&, ScanOptions&) = nullptr;
    // The command takes one -plan (outside the count); other commands refuse it, so
    // that no command mistakes it for a dry run and writes.
    bool plan = false;
};

// A row's command after the scan: parses the scan's record into the handler's own
// arguments and runs the handler, which returns the command's report (see
// cli/report/report.h), from which dispatch makes the exit status.
using CommandHandler = report::Report (*)(const ScanOptions&, ParsedCommand&);
// A row's command run as soon as the command word is read: a result ends the run,
// nothing lets the scan go on.
using WordHandler = std::optional<int> (*)(const ScanOptions&, ParsedCommand&);

// The argument struct of a handler `report::Report h(ParsedCommand&, const Args&)`.
template <class Args>
Args handler_args(report::Report (*)(ParsedCommand&, const Args&));
template <class Args>
Args handler_args(std::optional<int> (*)(ParsedCommand&, const Args&));

// How a row declares its handler: `typed<handler>` parses the scan's record into the
// handler's argument struct with `Args::from(const ScanOptions&, const ParsedCommand&)`
// and runs the handler with it. A handler without arguments takes the parsed command
// only.
template <auto handler>
auto typed(const ScanOptions& scan, ParsedCommand& parsed) {
    if constexpr (std::is_invocable_v<decltype(handler), ParsedCommand&>) {
        return handler(parsed);
    } else {
        using Args = decltype(handler_args(handler));
        return handler(parsed, Args::from(scan, parsed));
    }
}

// The groups of the general usage's command list.
enum class CommandGroup { none, firmware_update, query, configure, debug };

// A command word. A row names its handlers with typed<handler>: the handler's own
// argument struct says how the scan's record becomes its arguments (see typed).
struct CommandRow {
    int command = CMD_NONE;
    const char* word = "";
    // Takes the single adapter's function when no -dev= precedes the command word.
    bool implicit_device = false;
    ArgumentKind argument = ArgumentKind::text;
    ArgumentRule rule{};
    // The command's help text (-h after the word); the general usage for CMD_HELP.
    const char* help = "";
    // The command's usage line: the first line of its help's syntax.
    const char* usage = "";
    // Its group and summary in the general usage's command list (a summary may go on
    // over further lines).
    CommandGroup group = CommandGroup::none;
    const char* summary = "";
    // The line after "Error: " when the command fails (nullptr: "Unknown").
    const char* failure = nullptr;
    // Runs at the command word, during the scan (nullptr: nothing runs there).
    WordHandler at_word = nullptr;
    // Runs after the scan (nullptr: the command has no such form in this build).
    CommandHandler after_scan = nullptr;
    // Package-file command: with file arguments it reports on the files first, then
    // runs its device form when a device is selected.
    bool package_files = false;
    // False for a command that is not part of this build: the front end answers for it.
    bool available = false;
    // Changes the selected adapter: the adapter's lock is held while the command runs.
    bool writes_adapter = false;
};

// Every row, in enumeration order (CMD_HELP first).
std::span<const CommandRow> command_rows();
// The row of a command value in 0..ZELT_CMD_COUNT-1.
const CommandRow& command_row(int command);
// The row whose word is exactly `word` (case-sensitive), or nullptr. "-h" is never
// matched: it is an option.
const CommandRow* find_command_row(std::string_view word);
// The command's word, "" for a value outside the table.
const char* command_word(int command);
// The answer for a command that is not available in this build: prints
// "Command '<word>' is not available in this build." and returns its result.
int answer_unavailable(const CommandRow& row);
// The same answer for a form of a command that is not part of this build
// (`what` names it, e.g. "install -online").
int answer_unavailable(const char* what);
// Runs the row's argument rule over the parsed command; a check may add to `scan`.
// Prints the syntax error and returns HVXRETVAL_INVALID_SYNTAX when it fails; 0
// otherwise.
int zeltnvm_check_input_args(const ParsedCommand& parsed, ScanOptions& scan);

// The general usage (0) or one command's help text, followed by a line feed. A value
// outside the table prints nothing. Returns 0.
int zeltnvm_display_help(int command);

}  // namespace zelt::cli
