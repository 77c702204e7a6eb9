// How the progress of a long operation is shown. A person at a terminal sees one line
// redrawn in place ("Flashing: 42%", or the seconds so far while the road does not
// say how far it is); standard output that is a file or a pipe gets nothing while the
// operation runs and one line when it ends; a JSON run shows none.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "log/console_sink.h"

namespace zelt::cli::report {

class ProgressView {
public:
    enum class Mode { kTerminal, kPipe, kSilent };

    // Writes to `out` (standard output for the run).
    ProgressView(Mode mode, FILE* out) : mode_(mode), out_(out) {}

    // Each returns true when it wrote anything.
    bool tick(const log::ProgressState& state);
    bool ended(const log::ProgressState& state);

    // The text of one state as a terminal shows it: "<phase>: 42%" or "<phase>: 12 s".
    static std::string line(const log::ProgressState& state);
    // The line the operation leaves when it ends: "<phase>: finished in 12 s".
    static std::string final_line(const log::ProgressState& state);

private:
    // Redraws the progress line with `text`, blanking what is left of a longer one.
    void redraw(const std::string& text);

    Mode mode_;
    FILE* out_;
    bool shown_ = false;  // the progress line has been started on the terminal
    size_t width_ = 0;    // characters of the line drawn last
};

}  // namespace zelt::cli::report
