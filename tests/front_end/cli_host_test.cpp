// Start-up: privileges, the simulated host root, the configuration and log files.
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <regex>

#include "tests/front_end/cli_fixture.h"

namespace zelt::test {
namespace {

namespace fs = std::filesystem;

const char* const kDefaultConfig =
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
    "ZELT_NVM_LOG_LEVEL=7\n";

const char* const kBannerLine =
    "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}   "
    "DEBUG:Halvex Management Utility Version v226\\.0\\.121\\.0\n";

// The log without the lines that mark each run's start, simulated host and end (their
// own tests are with the run notes), so that what the commands logged is compared.
std::string without_run_lines(const std::string& log) {
    static const std::regex kRunLine(R"([^\n]*   INFO:(Run started: |Run ended: |SIMULATED HOST: )[^\n]*\n)");
    return std::regex_replace(log, kRunLine, "");
}

// What a file on the real host looks like, to see that a run left it alone.
struct FileMark {
    bool exists = false;
    off_t size = 0;
    struct timespec mtime{};
    bool operator==(const FileMark& o) const {
        return exists == o.exists && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileMark mark(const char* path) {
    FileMark m;
    struct stat st;
    if (::stat(path, &st) == 0) {
        m.exists = true;
        m.size = st.st_size;
        m.mtime = st.st_mtim;
    }
    return m;
}

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(e.path().string());
    return names;
}

TEST_F(CliTest, FirstRunCreatesTheConfigurationSecondRunLogs) {
    make_empty_host();
    const FileMark real_conf = mark("/etc/zeltnvm.conf");
    const FileMark real_log = mark("/var/log/zeltnvm.log");

    RunResult r = run({"version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_text_file(root_.file("etc/zeltnvm.conf")), kDefaultConfig);
    EXPECT_FALSE(fs::exists(root_.file("var/log/zeltnvm.log")));

    r = run({"version"});
    EXPECT_EQ(r.status, 0);
    std::string log = without_run_lines(read_text_file(root_.file("var/log/zeltnvm.log")));
    EXPECT_TRUE(std::regex_match(log, std::regex(kBannerLine))) << log;

    r = run({"bogus"});  // appended: banner, then the error line
    log = without_run_lines(read_text_file(root_.file("var/log/zeltnvm.log")));
    EXPECT_TRUE(std::regex_match(
        log, std::regex(std::string(kBannerLine) + kBannerLine +
                        "[A-Z][a-z]{2} [^\n]{20}   ERROR:Command not supported: 'bogus', use -h for help\\.\n")))
        << log;

    // Nothing was written outside the simulated root.
    EXPECT_TRUE(entries(cwd_.path()).empty());
    EXPECT_TRUE(mark("/etc/zeltnvm.conf") == real_conf);
    EXPECT_TRUE(mark("/var/log/zeltnvm.log") == real_log);
}

TEST_F(CliTest, LevelMaskZeroWritesNoLog) {
    make_empty_host();
    fs::create_directories(root_.file("etc"));
    write_text_file(root_.file("etc/zeltnvm.conf"), "ZELT_NVM_LOG_LEVEL=0\n");
    RunResult r = run({"bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(fs::exists(root_.file("var/log")));
}

TEST_F(CliTest, LevelMaskSelectsLoggedLevels) {
    make_empty_host();
    fs::create_directories(root_.file("etc"));
    write_text_file(root_.file("etc/zeltnvm.conf"), "ZELT_NVM_LOG_LEVEL=1\n");  // errors only: no banner
    run({"bogus"});
    std::string log = read_text_file(root_.file("var/log/zeltnvm.log"));
    EXPECT_EQ(log.find("DEBUG:"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR:Command not supported: 'bogus'"), std::string::npos) << log;
}

TEST_F(CliTest, SimulatedRootMustBeADirectory) {
    write_text_file(root_.file("plain"), "untouched");
    for (const std::string& sim : {root_.file("plain"), root_.file("missing")}) {
        RunResult r = run_program({ZELT_PROGRAM("zeltnvm"), "version"},
                                  RunOptions{{{"ZELTNVM_SIM", sim}}, {}, {}, cwd_.path(), {}});
        EXPECT_NE(r.status, 0) << sim;
        EXPECT_NE(r.err.find("is not a directory"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(read_text_file(root_.file("plain")), "untouched");
    EXPECT_FALSE(fs::exists(root_.file("missing")));
    EXPECT_TRUE(entries(cwd_.path()).empty());
}

// Non-root runs on the real host stop before anything is written. The program is
// copied where the unprivileged user can reach it.
TEST_F(CliTest, NonRootRunsAreRefused) {
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    TempDir bin;
    const auto rx = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                    fs::perms::others_exec;
    fs::permissions(bin.path(), rx);
    fs::copy_file(ZELT_PROGRAM("zeltnvm"), bin.file("zeltnvm"));
    fs::permissions(bin.file("zeltnvm"), rx);
    const FileMark real_conf = mark("/etc/zeltnvm.conf");
    const FileMark real_log = mark("/var/log/zeltnvm.log");
    const std::vector<std::string> wrapper{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (auto args : {std::vector<std::string>{"version"}, std::vector<std::string>{"-h"},
                      std::vector<std::string>{"bogus"}}) {
        args.insert(args.begin(), bin.file("zeltnvm"));
        RunResult r = run_program(args, RunOptions{{}, {"ZELTNVM_SIM"}, {}, "/", wrapper});
        EXPECT_EQ(r.status, 40) << args[1] << r.err;
        EXPECT_EQ(r.out, "Error: Operation not permitted. This operation requires root privileges\n");
    }
    EXPECT_TRUE(mark("/etc/zeltnvm.conf") == real_conf);
    EXPECT_TRUE(mark("/var/log/zeltnvm.log") == real_log);
}

}  // namespace
}  // namespace zelt::test
