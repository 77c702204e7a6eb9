// The run's output: how the reports of one run are shown (text or one JSON
// document), and where console messages and progress go meanwhile.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cli/report/progress_view.h"
#include "cli/report/renderer.h"
#include "cli/report/report.h"
#include "log/console_sink.h"

namespace zelt::cli::report {

enum class Format { kText, kJson };

// True for the option word "-json" (any number of leading dashes).
bool is_json_option(std::string_view word);
// True when the command line asks for JSON output: a -json option anywhere after the
// program name.
bool wants_json(int argc, char** argv);
// The command word the command line names (its first word that is a command word,
// the part before '=' compared), or "" when it names none. For reports of runs that
// end before the argument scan finds the word.
std::string command_word_of(int argc, char** argv);

class Output final : public log::ConsoleSink {
public:
    // Installs itself as the process's console sink until it ends.
    explicit Output(Format format);
    ~Output() override;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    Format format() const { return format_; }
    bool json() const { return format_ == Format::kJson; }

    // Opens a report for `command` on this output.
    Report report(std::string command);
    // Shows the finished report: the text form has been printed while it was built,
    // the JSON form writes the one document to standard output now.
    void render(const Report& report);

    // ConsoleSink: messages land in the open report; the JSON form keeps them off
    // standard output (errors still go to standard error) and shows no progress.
    bool console_message(int level, std::string_view text) override;
    void progress_tick(const log::ProgressState& state) override;
    void progress_ended(const log::ProgressState& state) override;

    // A console message of the run sent the user to the log file.
    bool pointed_to_log() const { return pointed_to_log_; }
    // Standard output's last character was a line feed (or nothing was written).
    bool stdout_at_line_start() const { return stdout_at_line_start_; }

private:
    friend class Report;
    // A text piece of the open report, shown as the renderer shows it.
    void show_text(const Entry& entry);

    Format format_;
    std::unique_ptr<Renderer> renderer_;
    log::ConsoleSink* previous_sink_ = nullptr;
    Report::Body* open_ = nullptr;  // the report console messages land in
    bool showing_text_ = false;     // a text piece is being printed: not a message
    ProgressView progress_;
    bool pointed_to_log_ = false;
    bool stdout_at_line_start_ = true;
};

}  // namespace zelt::cli::report
