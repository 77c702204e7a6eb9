// The progress of an installation: the install flow's messages own it from the start
// of the installation to its end, and the run's output decides how it is shown.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "cli/install/update_messages.h"
#include "cli/report/output.h"
#include "cli/report/progress_view.h"
#include "tests/log/log_fixture.h"

namespace zelt::test {
namespace {

// Standard output that is not a terminal stays quiet while the package installs and
// gets one line when it has ended, before the line feed that ends the installation;
// nothing follows it. Under JSON standard output stays one document, so neither the
// progress nor the line feed reach it.
TEST(ProgressDots, ShownByTheTextOutputOnlyAndNeverAfterTheEnd) {
    const struct {
        cli::report::Format format;
        const char* out;
    } cases[] = {
        {cli::report::Format::kText, "\nFlashing: finished in 1 s\n"},
        {cli::report::Format::kJson, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format == cli::report::Format::kJson ? "json" : "text");
        StreamCapture cap;
        cli::report::Output output(c.format);
        zelt::cli::UpdateMessages messages(false);
        messages.install_starting();
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        messages.install_ended();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        EXPECT_EQ(cap.out(), c.out);
    }
}

std::string drawn(cli::report::ProgressView::Mode mode, const std::vector<log::ProgressState>& ticks,
                  const log::ProgressState& end) {
    FILE* f = std::tmpfile();
    cli::report::ProgressView view(mode, f);
    for (const auto& t : ticks) view.tick(t);
    view.ended(end);
    std::fflush(f);
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
}

// On a terminal the progress gets its own line below the operation's, redrawn in place:
// the percentage while the road says how far it is, the seconds so far while it does
// not, and what is left of a longer text blanked. A pipe sees only the closing line.
TEST(ProgressView, TerminalRedrawsInPlaceAndPipeGetsOneLine) {
    using Mode = cli::report::ProgressView::Mode;
    // A retry stages the package again after the firmware refused it.
    const std::vector<log::ProgressState> ticks = {
        {"Staging", 425, 1}, {"Staging", 1000, 2}, {"Installing", -1, 12}, {"Staging", 500, 13}};
    const log::ProgressState end{"Installing", -1, 14};
    const struct {
        Mode mode;
        std::string out;
    } cases[] = {
        {Mode::kTerminal,
         "\n\rStaging: 42%\rStaging: 100%\rInstalling: 12 s\rStaging: 50%    "
         "\rInstalling: finished in 14 s"},
        {Mode::kPipe, "\nInstalling: finished in 14 s"},
        {Mode::kSilent, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        EXPECT_EQ(drawn(c.mode, ticks, end), c.out);
    }
}

}  // namespace
}  // namespace zelt::test
