// The print routine's routing and the configuration and log files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <regex>

#include "log/print.h"
#include "log/time_text.h"
#include "tests/log/log_fixture.h"

namespace zelt::test {
namespace {

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { zeltnvm_close_log_file(); }
    void write_config(const std::string& text) {
        std::filesystem::create_directories(root_.file("etc"));
        write_text_file(root_.file("etc/zeltnvm.conf"), text);
    }
    // Opens the log with the given level mask line.
    void open_with_mask(const std::string& mask) {
        write_config("#zeltnvm configuration file v1.0\nZELT_NVM_LOG_LEVEL=" + mask + "\n");
        zeltnvm_open_log_file(host_);
    }
    std::string log_text() {
        std::fflush(zeltnvm_log_stream());
        return read_text_file(log_path());
    }
    std::string log_path() const { return root_.file("var/log/zeltnvm.log"); }
    bool log_exists() const { return std::filesystem::exists(log_path()); }

    TempDir root_;
    TestHost host_{root_.path()};
};

TEST_F(LogTest, MissingConfigurationIsCreatedWithDefaultsAndNoLogIsWritten) {
    zeltnvm_open_log_file(host_);
    EXPECT_EQ(read_text_file(root_.file("etc/zeltnvm.conf")),
              "#zeltnvm configuration file v1.0\n"
              "\n"
              "#Supported values for zeltnvm log level\n"
              "#0 - Disabled\n"
              "#1 - Error\n"
              "#2 - Debug\n"
              "#3 - Error | Debug\n"
              "#4 - Information\n"
              "#5 - Error | Information\n"
              "#6 - Debug | Information\n"
              "#7 - Error | Debug | Information\n"
              "ZELT_NVM_LOG_LEVEL=7\n");
    EXPECT_EQ(zeltnvm_log_stream(), nullptr);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "lost\n");
    EXPECT_FALSE(log_exists());

    // The next run reads the default mask and logs.
    zeltnvm_open_log_file(host_);
    EXPECT_EQ(zeltnvm_log_level_mask(), 7u);
    EXPECT_NE(zeltnvm_log_stream(), nullptr);
}

// The lock wait comes from its own line; anything but a plain number of seconds up to
// a day leaves the built-in wait.
TEST_F(LogTest, LockWaitComesFromItsLineOrStaysBuiltIn) {
    const struct {
        const char* line;
        unsigned expected_ms;
    } cases[] = {
        {"lock_wait_seconds=5\n", 5000},     {"lock_wait_seconds=0", 0},
        {"lock_wait_seconds=86400\n", 86'400'000}, {"lock_wait_seconds=86401\n", 60'000},
        {"lock_wait_seconds=-1\n", 60'000},  {"lock_wait_seconds=5s\n", 60'000},
        {"lock_wait_seconds=\n", 60'000},    {"#lock_wait_seconds=5\n", 60'000},
        {"lock_wait_seconds=99999999999999999999\n", 60'000},
    };
    for (const auto& c : cases) {
        host_.set_lock_wait_ms(60'000);
        write_config(std::string("ZELT_NVM_LOG_LEVEL=7\n") + c.line);
        zeltnvm_open_log_file(host_);
        EXPECT_EQ(host_.lock_wait_ms(), c.expected_ms) << c.line;
        EXPECT_EQ(zeltnvm_log_level_mask(), 7u) << c.line;
        zeltnvm_close_log_file();
    }
}

// Which levels reach the log under a mask (the mask text is hexadecimal).
TEST_F(LogTest, LevelMaskSelectsWhatIsLogged) {
    struct Case {
        const char* mask;
        bool error, debug, info;
    };
    const Case cases[] = {
        {"7", true, true, true},
        {"5", true, false, true},
        {"a", false, true, false},  // bits 2 and 8
        {"1 # trailing words", true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        std::filesystem::remove(log_path());
        open_with_mask(c.mask);
        {
            StreamCapture quiet;
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "e-line\n");
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_DEBUG, "d-line\n");
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "i-line\n");
        }
        std::string log = log_text();
        EXPECT_EQ(log.find("e-line") != std::string::npos, c.error) << log;
        EXPECT_EQ(log.find("d-line") != std::string::npos, c.debug) << log;
        EXPECT_EQ(log.find("i-line") != std::string::npos, c.info) << log;
        zeltnvm_close_log_file();
    }
}

TEST_F(LogTest, MaskZeroCreatesNoLog) {
    open_with_mask("0");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "x\n");
    EXPECT_EQ(zeltnvm_log_stream(), nullptr);
    EXPECT_FALSE(log_exists());
}

TEST_F(LogTest, LastLineWithoutLineFeedKeepsItsValue) {
    write_config("# comment\nZELT_NVM_LOG_LEVEL=4");
    zeltnvm_open_log_file(host_);
    EXPECT_EQ(zeltnvm_log_level_mask(), 4u);
}

TEST_F(LogTest, LogIsAppendedNotTruncated) {
    std::filesystem::create_directories(root_.file("var/log"));
    write_text_file(log_path(), "earlier run\n");
    open_with_mask("7");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO, "this run\n");
    EXPECT_EQ(log_text(), "earlier run\nthis run\n");
}

TEST_F(LogTest, LogThatCannotBeOpenedIsReportedAndPrintingGoesOn) {
    std::filesystem::create_directories(log_path());  // a directory where the log should be
    StreamCapture cap;
    open_with_mask("7");
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "still printed\n");
    EXPECT_EQ(cap.out(), "ERROR: Log file creation failed\nstill printed\n");
    EXPECT_EQ(zeltnvm_log_stream(), nullptr);
}

// What is found where the log should be: a link is never followed (its target stays as
// it was), and anything but a plain file of this user is left alone; the run goes on
// without a log and says so once.
TEST_F(LogTest, LogPathThatIsNotOurOwnFileIsRefusedAndNotWritten) {
    const std::string target = root_.file("etc/passwd-like");
    struct Case {
        const char* what;
        std::function<void()> plant;
    } cases[] = {
        {"symbolic link", [&] { std::filesystem::create_symlink(target, log_path()); }},
        {"dangling link", [&] { std::filesystem::create_symlink(root_.file("etc/nothing"), log_path()); }},
        {"second name of another file", [&] { std::filesystem::create_hard_link(target, log_path()); }},
        {"named pipe", [&] { ASSERT_EQ(::mkfifo(log_path().c_str(), 0600), 0); }},
        {"another user's file", [&] {
             write_text_file(log_path(), "");
             ASSERT_EQ(::chown(log_path().c_str(), 65534, 65534), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Only root can give a file away.
        if (std::string(c.what) == "another user's file" && ::geteuid() != 0) continue;
        std::filesystem::create_directories(root_.file("var/log"));
        std::filesystem::create_directories(root_.file("etc"));
        write_text_file(target, "root:x:0:0\n");
        c.plant();
        StreamCapture cap;
        open_with_mask("7");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "still printed\n");
        EXPECT_EQ(cap.out(), "still printed\n");
        EXPECT_EQ(cap.err(), "WARNING: /var/log/zeltnvm.log is not a regular file of this user; running without the "
                             "log file.\n");
        EXPECT_EQ(zeltnvm_log_stream(), nullptr);
        EXPECT_EQ(read_text_file(target), "root:x:0:0\n");
        EXPECT_FALSE(std::filesystem::exists(root_.file("etc/nothing")));
        zeltnvm_close_log_file();
        std::filesystem::remove(log_path());
    }
}

TEST_F(LogTest, NewLogIsReadableByOwnerAndGroupOnlyWhateverTheUmask) {
    const mode_t old = ::umask(0);
    open_with_mask("7");
    ::umask(old);
    ASSERT_NE(zeltnvm_log_stream(), nullptr);
    struct stat st {};
    ASSERT_EQ(::stat(log_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Console routing: information to standard output, everything else to standard
// error; the log gets time and prefix except for information messages.
TEST_F(LogTest, RoutingByLocationAndLevel) {
    struct tm t = host_.local_time(host_.clock.tv_sec);
    const std::string when = zelt::log::ctime_text(t);
    struct Case {
        int location, level;
        const char* out;
        const char* err;
        std::string log;
    };
    const Case cases[] = {
        {ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "", "m 1\n", ""},
        {ZELT_LOC_CONSOLE, ZELT_LVL_DEBUG, "", "m 1\n", ""},
        {ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "m 1\n", "", ""},
        {ZELT_LOC_LOG, ZELT_LVL_ERROR, "", "", when + "   ERROR:m 1\n"},
        {ZELT_LOC_LOG, ZELT_LVL_DEBUG, "", "", when + "   DEBUG:m 1\n"},
        {ZELT_LOC_LOG, ZELT_LVL_INFO, "", "", "m 1\n"},
        {ZELT_LOC_BOTH, ZELT_LVL_ERROR, "", "m 1\n", when + "   ERROR:m 1\n"},
        {ZELT_LOC_BOTH, ZELT_LVL_INFO, "m 1\n", "", "m 1\n"},
    };
    open_with_mask("7");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "location " << c.location << " level " << c.level);
        std::string before = log_text();
        StreamCapture cap;
        zeltnvm_print(c.location, c.level, "m %d\n", 1);
        EXPECT_EQ(cap.out(), c.out);
        EXPECT_EQ(cap.err(), c.err);
        EXPECT_EQ(log_text().substr(before.size()), c.log);
    }
}

TEST_F(LogTest, LoggedTimeHasTheCtimeForm) {
    open_with_mask("7");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "boom\n");
    EXPECT_TRUE(std::regex_match(log_text(), std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                                                        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}   ERROR:boom\n")))
        << log_text();
}

TEST(TimeText, DayOfMonthIsPaddedWithABlank) {
    struct tm t{};
    t.tm_year = 93;
    t.tm_mon = 5;
    t.tm_mday = 9;
    t.tm_wday = 3;
    t.tm_hour = 1;
    t.tm_min = 2;
    t.tm_sec = 3;
    EXPECT_EQ(zelt::log::ctime_text(t), "Wed Jun  9 01:02:03 1993");
    t.tm_mday = 30;
    EXPECT_EQ(zelt::log::ctime_text(t), "Wed Jun 30 01:02:03 1993");
}

}  // namespace
}  // namespace zelt::test
