// The progress dots of an installation: the install flow's messages own them from the
// start of the installation to its end, and the run's output decides where their
// ticks go.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "cli/install/update_messages.h"
#include "cli/report/output.h"
#include "tests/log/log_fixture.h"

namespace zelt::test {
namespace {

// A dot a second while the package installs, stopped before the line that ends the
// installation: none follows it. Under JSON standard output stays one document, so
// neither dots nor the line feed reach it.
TEST(ProgressDots, ShownByTheTextOutputOnlyAndNeverAfterTheEnd) {
    const struct {
        cli::report::Format format;
        const char* out;
    } cases[] = {
        {cli::report::Format::kText, ".\n"},
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

}  // namespace
}  // namespace zelt::test
