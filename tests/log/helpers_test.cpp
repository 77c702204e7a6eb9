// Text and file helpers, the result report, the clock and the progress dots.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "common/hvxretval.h"
#include "log/clock.h"
#include "log/console_sink.h"
#include "log/error_check.h"
#include "log/file_helpers.h"
#include "log/monitor.h"
#include "log/print.h"
#include "log/text_helpers.h"
#include "tests/log/log_fixture.h"

namespace zelt::test {
namespace {

TEST(StringSplit, ReplacesEverySeparatorInPlace) {
    char text[] = "a,b;;c";
    EXPECT_EQ(zelt_nvm_string_split(text, ",;"), 3);
    EXPECT_STREQ(text, "a");
    EXPECT_STREQ(text + 2, "b");
    EXPECT_STREQ(text + 5, "c");
    EXPECT_EQ(zelt_nvm_string_split(nullptr, ","), -1);
}

TEST(Parse, PicksTheNthNonEmptyWord) {
    struct Case {
        const char* line;
        int column;
        const char* want;  // nullptr: none
    };
    const Case cases[] = {
        {"alpha beta gamma\n", 1, "alpha"},
        {"alpha beta gamma\n", 3, "gamma"},  // trailing line feed removed
        {"alpha   beta", 2, "beta"},          // empty words skipped
        {" lead", 1, "lead"},
        {"alpha beta", 3, nullptr},  // fewer words
        {"alpha beta", 0, nullptr},
        {"single", 1, nullptr},  // no separator at all
        {"", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.line << "' column " << c.column);
        auto word = zelt_nvm_parse(c.line, c.column, " ");
        if (c.want) {
            ASSERT_TRUE(word.has_value());
            EXPECT_EQ(*word, c.want);
        } else {
            EXPECT_FALSE(word.has_value());
        }
    }
    EXPECT_FALSE(zelt_nvm_parse(nullptr, 1, " ").has_value());
}

TEST(FilenameExt, TextAfterTheLastDot) {
    struct Case {
        const char* name;
        const char* ext;
    };
    const Case cases[] = {
        {"fw.b.pkg", "pkg"}, {"image.bin", "bin"}, {".hidden", ""}, {"noext", ""}, {"trailing.", ""},
        {"dir.d/file", "d/file"},
    };
    for (const auto& c : cases) EXPECT_STREQ(zeltnvm_get_filename_ext(c.name), c.ext) << c.name;
}

TEST(CheckInputValue, OnlyDecimalDigits) {
    EXPECT_TRUE(checkInputValue("0123456789"));
    EXPECT_TRUE(checkInputValue(""));
    EXPECT_FALSE(checkInputValue("12a"));
    EXPECT_FALSE(checkInputValue("-1"));
    EXPECT_FALSE(checkInputValue(" 1"));
    EXPECT_FALSE(checkInputValue("0x10"));
}

// File helpers go through the host they are given: paths of the host's trees (here
// /var) are taken under the test root.
class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(root_.file("var")); }
    TempDir root_;
    TestHost host_{root_.path()};
};

TEST_F(FileHelpers, ReadFileDataResults) {
    write_text_file(root_.file("var/data.bin"), std::string("\x01\x00\x02", 3));
    write_text_file(root_.file("var/empty.bin"), "");
    size_t size = 99;
    int rc = -1;
    auto data = zeltnvm_read_file_data(host_, "/var/data.bin", "rb", &size, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(data, (std::vector<uint8_t>{1, 0, 2}));

    data = zeltnvm_read_file_data(host_, "/var/missing.bin", "rb", &size, &rc);
    EXPECT_EQ(rc, ZELT_READ_OPEN_FAILED);
    EXPECT_TRUE(data.empty());
    data = zeltnvm_read_file_data(host_, "/var/empty.bin", "rb", &size, &rc);
    EXPECT_EQ(rc, ZELT_READ_EMPTY_OR_SHORT);
    EXPECT_EQ(size, 0u);
    data = zeltnvm_read_file_data(host_, nullptr, "rb", &size, &rc);
    EXPECT_EQ(rc, ZELT_READ_OPEN_FAILED);
}

TEST_F(FileHelpers, OpenAndCloseIgnoreMissingArguments) {
    EXPECT_EQ(zeltnvm_file_open(host_, nullptr, "r"), nullptr);
    EXPECT_EQ(zeltnvm_file_open(host_, "/var/x", nullptr), nullptr);
    zeltnvm_file_close(nullptr);
    FILE* f = zeltnvm_file_open(host_, "/var/made.txt", "w");
    ASSERT_NE(f, nullptr);
    zeltnvm_file_close(f);
    EXPECT_TRUE(std::filesystem::exists(root_.file("var/made.txt")));
}

TEST_F(FileHelpers, DeleteReportsOnlyWhenVerbose) {
    write_text_file(root_.file("var/a"), "x");
    write_text_file(root_.file("var/b"), "x");
    StreamCapture cap;
    EXPECT_EQ(zeltnvm_delete_file(host_, "/var/a", false), 0);
    EXPECT_EQ(zeltnvm_delete_file(host_, "/var/b", true), 0);
    EXPECT_NE(zeltnvm_delete_file(host_, "/var/b", true), 0);  // already gone: no report
    EXPECT_EQ(cap.out(), "zeltnvm_delete_file: /var/b deleted\n");
    EXPECT_FALSE(std::filesystem::exists(root_.file("var/a")));
}

TEST(CheckErrorcode, ReportsPrivilegesOrTheCodeName) {
    struct Case {
        int32_t rc;
        bool show;
        const char* out;
    };
    const Case cases[] = {
        {3, false, "This operation does not have administrative privileges for given interface\n"},
        {3, true, "This operation does not have administrative privileges for given interface\n"},
        {HVXRETVAL_INVALID_SYNTAX, true, "INVALID_SYNTAX\n"},
        {HVXRETVAL_INVALID_SYNTAX, false, ""},
        {-15, true, "Unknown: -15\n"},
    };
    for (const auto& c : cases) {
        StreamCapture cap;
        checkErrorcode(c.rc, c.show);
        EXPECT_EQ(cap.out(), c.out) << c.rc;
    }
}

TEST(ElapsedClock, ElapsedTimeAcrossASecondBoundary) {
    TestHost host("");
    host.clock = {100, 900000};
    log::ElapsedClock clock(host);  // started when made
    host.clock = {102, 100000};     // 1.2 s later: the microseconds borrow from the seconds
    uint32_t ms = 0;
    double seconds = 0;
    zeltnvm_stop_clock(clock, &ms);
    zeltnvm_get_elapsed_time(clock, &seconds);
    EXPECT_EQ(ms, 1200u);
    EXPECT_DOUBLE_EQ(seconds, 1.2);

    zeltnvm_start_clock(clock);  // starting again restarts
    host.sleep_ms(30);
    zeltnvm_stop_clock(clock, &ms);
    EXPECT_EQ(ms, 30u);
}

TEST(Monitor, WritesDotsUntilStoppedAndJoins) {
    StreamCapture cap;
    log::Monitor dots;
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    dots.stop();
    EXPECT_EQ(cap.out(), ".");
    dots.stop();  // already stopped: no effect
}

// Ticks go to the console sink when one is installed (which keeps them off standard
// output for JSON); the exit path stops the monitor that runs, whoever owns it.
TEST(Monitor, TicksGoToTheSinkAndTheExitPathStopsThem) {
    struct CountingSink : log::ConsoleSink {
        bool console_message(int, std::string_view) override { return true; }
        void progress_tick(const log::ProgressState&) override { ++ticks; }
        void progress_ended(const log::ProgressState&) override { ++ended; }
        std::atomic<int> ticks{0};
        std::atomic<int> ended{0};
    } sink;
    log::stop_running_monitor();  // nothing running: no effect
    StreamCapture cap;
    log::ConsoleSink* previous = log::set_console_sink(&sink);
    {
        log::Monitor dots;
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        log::stop_running_monitor();
        EXPECT_EQ(sink.ticks, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }  // its owner ends it later: nothing left to stop
    EXPECT_EQ(sink.ticks, 1);
    // Stopped by the exit path, the operation did not end: no closing line.
    EXPECT_EQ(sink.ended, 0);
    log::set_console_sink(previous);
    EXPECT_EQ(cap.out(), "");
}

// What the sink is shown: the phase the operation is in and how far the transfer
// loops say it is; a new phase starts again from "unknown". Nothing reported outside a
// running monitor reaches the next one.
TEST(Monitor, TicksCarryThePhaseAndTheReportedFraction) {
    struct RecordingSink : log::ConsoleSink {
        bool console_message(int, std::string_view) override { return true; }
        void progress_tick(const log::ProgressState& s) override {
            std::lock_guard<std::mutex> lock(mutex);
            ticks.push_back(s);
        }
        void progress_ended(const log::ProgressState& s) override {
            std::lock_guard<std::mutex> lock(mutex);
            ended.push_back(s);
        }
        std::mutex mutex;
        std::vector<log::ProgressState> ticks, ended;
    } sink;
    log::ConsoleSink* previous = log::set_console_sink(&sink);
    log::report_progress(1, 2);  // no monitor: ignored
    {
        log::Monitor progress("Staging");
        log::report_progress(3, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        log::set_progress_phase("Installing");
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        log::report_progress(9, 4);  // past the end reads as all of it
    }
    log::set_console_sink(previous);
    ASSERT_GE(sink.ticks.size(), 2u);
    EXPECT_EQ(sink.ticks[0].phase, "Staging");
    EXPECT_EQ(sink.ticks[0].permille, 750);
    EXPECT_EQ(sink.ticks[1].phase, "Installing");
    EXPECT_EQ(sink.ticks[1].permille, -1);
    ASSERT_EQ(sink.ended.size(), 1u);
    EXPECT_EQ(sink.ended[0].phase, "Installing");
    EXPECT_EQ(sink.ended[0].permille, 1000);
    EXPECT_GE(sink.ended[0].seconds, 2u);
}

}  // namespace
}  // namespace zelt::test
