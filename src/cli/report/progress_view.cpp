#include "cli/report/progress_view.h"

namespace zelt::cli::report {

std::string ProgressView::line(const log::ProgressState& state) {
    std::string text = state.phase + ": ";
    if (state.permille >= 0) {
        const int percent = (state.permille > 1000 ? 1000 : state.permille) / 10;
        text += std::to_string(percent) + "%";
    } else {
        text += std::to_string(state.seconds) + " s";
    }
    return text;
}

std::string ProgressView::final_line(const log::ProgressState& state) {
    return state.phase + ": finished in " + std::to_string(state.seconds) + " s";
}

void ProgressView::redraw(const std::string& text) {
    // The operation's own line ("... is being updated") stays: progress gets a line
    // of its own below it.
    if (!shown_) std::fputc('\n', out_);
    shown_ = true;
    std::string padded = text;
    if (padded.size() < width_) padded.append(width_ - padded.size(), ' ');
    width_ = text.size();
    std::fprintf(out_, "\r%s", padded.c_str());
    std::fflush(out_);
}

bool ProgressView::tick(const log::ProgressState& state) {
    if (mode_ != Mode::kTerminal) return false;
    redraw(line(state));
    return true;
}

bool ProgressView::ended(const log::ProgressState& state) {
    if (mode_ == Mode::kSilent) return false;
    switch (mode_) {
        case Mode::kTerminal:
            redraw(final_line(state));
            break;
        case Mode::kPipe:
            std::fprintf(out_, "\n%s", final_line(state).c_str());
            std::fflush(out_);
            break;
        case Mode::kSilent:
            break;
    }
    shown_ = false;
    width_ = 0;
    return true;
}

}  // namespace zelt::cli::report
