#include "cli/report/output.h"

#include <cstring>

#include "cli/command_registry.h"
#include "host/run_facts.h"
#include "log/print.h"

namespace zelt::cli::report {

namespace {

ProgressView::Mode progress_mode(Format format) {
    if (format == Format::kJson) return ProgressView::Mode::kSilent;
    return host::stdout_is_terminal() ? ProgressView::Mode::kTerminal : ProgressView::Mode::kPipe;
}

// Failure messages that send the user to the log to find out more.
bool points_to_log(std::string_view text) {
    return text.find("debug log file") != std::string_view::npos ||
           text.find("zeltnvm.log file") != std::string_view::npos;
}

}  // namespace

bool is_json_option(std::string_view word) {
    if (word.empty() || word.front() != '-') return false;
    while (!word.empty() && word.front() == '-') word.remove_prefix(1);
    return word == "json";
}

bool wants_json(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && is_json_option(argv[i])) return true;
    }
    return false;
}

std::string command_word_of(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!argv[i] || argv[i][0] == '-') continue;
        const std::string_view typed(argv[i]);
        if (const CommandRow* row = find_command_row(typed.substr(0, typed.find('=')))) return row->word;
    }
    return {};
}

Output::Output(Format format) : format_(format), progress_(progress_mode(format), stdout) {
    if (json()) {
        renderer_ = std::make_unique<JsonRenderer>();
    } else {
        renderer_ = std::make_unique<TextRenderer>();
    }
    previous_sink_ = log::set_console_sink(this);
}

Output::~Output() { log::set_console_sink(previous_sink_); }

Report Output::report(std::string command) { return Report(*this, std::move(command)); }

void Output::render(const Report& report) { renderer_->finish(report); }

void Output::show_text(const Entry& entry) {
    showing_text_ = true;
    renderer_->text(entry);
    showing_text_ = false;
}

bool Output::console_message(int level, std::string_view text) {
    const bool to_stdout = level == ZELT_LVL_INFO && (showing_text_ || !json());
    if (to_stdout && !text.empty()) stdout_at_line_start_ = text.back() == '\n';
    if (showing_text_) return true;
    if (points_to_log(text)) pointed_to_log_ = true;
    if (open_) {
        // Messages are kept through the open report's body, which stays put while the
        // report value moves.
        Report::add_message_to(*open_, level, std::string(text));
    }
    return !json() || level != ZELT_LVL_INFO;
}

void Output::progress_tick(const log::ProgressState& state) {
    if (progress_.tick(state)) stdout_at_line_start_ = false;
}

void Output::progress_ended(const log::ProgressState& state) {
    if (progress_.ended(state)) stdout_at_line_start_ = false;
}

}  // namespace zelt::cli::report
