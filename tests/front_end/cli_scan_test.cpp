// The argument scan as seen from the command line.
#include <sys/stat.h>

#include <algorithm>

#include "tests/front_end/cli_fixture.h"

namespace zelt::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(CliTest, NoArgumentsAsksForACommand) {
    for (auto args : {std::vector<std::string>{}, std::vector<std::string>{"-v"}}) {
        make_empty_host();
        RunResult r = run(args);
        EXPECT_EQ(r.status, 30);
        EXPECT_EQ(r.out, "No command specified, use \"zeltnvm -h\" for help.\n");
        EXPECT_EQ(r.err, "");
    }
}

// version and -h run without discovery: on a host without a network stack, where
// discovery would fail, they still succeed.
TEST_F(CliTest, VersionAndUsageRunWithoutDiscovery) {
    RunResult r = run({"version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Halvex Orvanta-C/E/S firmware update and configuration utility\nVersion v226.0.121.0\n");
    EXPECT_EQ(r.err, "");

    r = run({"-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("NAME\n        zeltnvm\n", 0), 0u) << r.out;
    EXPECT_TRUE(contains(r.out, "                version                  : Query zeltnvm version\n"));
}

// Flags are read left to right: the usage stops the run at its letter.
TEST_F(CliTest, UsageAmongFlags) {
    make_empty_host();
    for (const char* flags : {"-vh", "-v?", "-hz"}) {
        RunResult r = run({flags});
        EXPECT_EQ(r.status, 0) << flags;
        EXPECT_EQ(r.out.rfind("NAME\n", 0), 0u) << r.out;
    }
    RunResult r = run({"-zh"});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.err, "Option not supported: 'zh', use -h for help.\n");
}

TEST_F(CliTest, PerCommandHelp) {
    make_empty_host();
    struct Case {
        std::vector<std::string> args;
        const char* syntax;
    };
    const Case cases[] = {
        {{"verify", "-h"}, "\nSYNTAX\n        zeltnvm -dev=<interface name> verify\n"},
        {{"-v", "getoption", "-h"}, "getoption=<option name>:[function/port index]"},
        {{"version", "-h"}, "\nSYNTAX\n        zeltnvm version\n"},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_EQ(r.out.rfind("\nDESCRIPTION\n", 0), 0u) << r.out;
        EXPECT_TRUE(contains(r.out, c.syntax)) << r.out;
    }
}

// Scan failures: exit status and the one line on standard error.
TEST_F(CliTest, ScanErrors) {
    make_empty_host();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string long_arg(256, 'a');
    const Case cases[] = {
        {{"version", "extra"}, 255, "Error: Invalid syntax. Please run \"zeltnvm version -h\" for help.\n"},
        {{"bogus"}, 2, "Command not supported: 'bogus', use -h for help.\n"},
        {{"bogus=1"}, 2, "Command not supported: 'bogus', use -h for help.\n"},
        {{"Version"}, 2, "Command not supported: 'Version', use -h for help.\n"},
        {{"-vxq", "version"}, 16, "Option not supported: 'xq', use -h for help.\n"},
        {{"-type=nosuch", "list"}, 13, "!unrecognized directory type: 'nosuch'\n"},
        {{"-type=0", "list"}, 13, "!unrecognized directory type: '0'\n"},
        {{"-type=65535", "list"}, 13, "!unrecognized directory type: '65535'\n"},
        {{"-type=VPD", "-all", "list"}, 30, "!Only one -type or -all option may be used at a time.\n"},
        {{"-all", "-pkgLog", "list"}, 30, "!Only one -type or -all option may be used at a time.\n"},
        {{"-dev=nosuch", "list"}, 8, "Invalid or unsupported device selector: 'nosuch'\n"},
        {{"--dev=nosuch", "list"}, 8, "Invalid or unsupported device selector: 'nosuch'\n"},
        {{"-savemac", "list"}, 30, "device information missing \n"},
        {{"-ext=zz", "list"}, 16, "Invalid value of -ext: 'zz', use -h for help.\n"},
        {{"list=nomatch*.pkg"}, 12, "!Package filename/filespec invalid: 'nomatch*.pkg'\n"},
        {{"install"}, 255, "Error: Invalid syntax. Please run \"zeltnvm install -h\" for help.\n"},
        {{"install", "-force", "-force", "a.pkg"}, 255,
         "Error: Invalid syntax. Please run \"zeltnvm install -h\" for help.\n"},
        {{"list", long_arg}, 30, "Argument too long (at most 255 characters): '" + long_arg.substr(0, 40) + "...'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(CliTest, TooManyArgumentsAreRefused) {
    make_empty_host();
    std::vector<std::string> args{"list"};
    args.resize(255, "a.pkg");  // 255 arguments after the program name fit
    RunResult r = run(args);
    EXPECT_FALSE(contains(r.err, "Too many arguments")) << r.err;
    args.push_back("a.pkg");
    r = run(args);
    EXPECT_EQ(r.status, 30);
    EXPECT_EQ(r.err, "Too many arguments: at most 255 are accepted.\n");
}

TEST_F(CliTest, DirectoryTypeList) {
    make_empty_host();
    for (const char* option : {"-type=?", "-type="}) {
        RunResult r = run({option});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("num   name          description\n---   ------------  -----------\n"
                              "1     pkgLog        Package Installation Log\n"
                              "2     update        Secure Update Staging Area\n",
                              0),
                  0u)
            << r.out;
        EXPECT_TRUE(contains(r.out, "\n5     VPD           Vital Product Data\n"));
    }
}

// -debug shows what the scan made of the options.
TEST_F(CliTest, OptionsAsScanned) {
    make_empty_host();
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {{"-debug", "-YES", "-vvv", "list", "a.pkg"}, {"verbosity=3 ", "prompt=1", "files = 1"}},
        {{"-debug", "-V", "list", "a.pkg"}, {"verbosity=4294967295 "}},
        {{"---debug", "--y", "-vpd:3", "-tab", "-num", "-totals", "-force", "-continue", "-noverify",
          "-noidcheck", "-sort=et", "-dec", "-online", "-recovery", "list", "a.pkg"},
         {"type=5 ", "ord=3 ", "tab=1 num=1 force=1 continue=1 verify=0 noidcheck=1 totals=1 dec=1 prompt=1 "
                               "online=1 recovery=1 sort='et'"}},
        {{"-debug", "-type=0x2", "-ext=010", "-ord=7", "-attr=0x10", "-sort", "list", "a.pkg"},
         {"type=2 ext=8 ord=7 attr=16 ", "verify=1", "sort='toe'"}},
        {{"-debug", "-type=ALL", "list", "a.pkg"}, {"type=-1 "}},
        {{"-debug", "-all", "list", "a.pkg"}, {"type=-1 "}},
        {{"-debug", "-margin", "list", "a.pkg"}, {"verbosity=0 "}},
        {{"list", "a.pkg", "-debug"}, {"command = 'list'"}},  // options after the command word count too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        RunResult r = run(c.args);
        for (const auto& s : c.shown) EXPECT_TRUE(contains(r.out, s)) << s << "\n" << r.out;
    }
}

TEST_F(CliTest, FileArgumentsSkipDirectories) {
    make_empty_host();
    std::filesystem::create_directories(cwd_.file("dir.pkg"));
    RunResult r = run({"-debug", "list", "dir.pkg", "a.pkg", "b.pkg"});
    EXPECT_TRUE(contains(r.out, "files = 2\n")) << r.out;
    EXPECT_FALSE(contains(r.err, "dir.pkg")) << r.err;
}

TEST_F(CliTest, FileSpecificationIsGlobbed) {
    make_empty_host();
    std::filesystem::create_directories(cwd_.file("dir.pkg"));
    for (const char* f : {"a.pkg", "b.pkg", "c.txt"}) write_text_file(cwd_.file(f), "x");
    RunResult r = run({"-debug", "list=*.pkg"});
    EXPECT_TRUE(contains(r.out, "arg = '*.pkg'\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "files = 2\n")) << r.out;
}

TEST_F(CliTest, FileListStopsAtItsLimit) {
    make_empty_host();
    std::filesystem::create_directories(cwd_.file("many"));
    for (int i = 0; i < 1001; ++i) write_text_file(cwd_.file("many/f" + std::to_string(i) + ".pkg"), "");
    RunResult r = run({"-debug", "list=many/*.pkg"});
    EXPECT_TRUE(contains(r.err, "!Maximum number of files reached: 1000\n")) << r.err;
    EXPECT_TRUE(contains(r.out, "files = 1000\n")) << r.out;
}

TEST_F(CliTest, QuietSilencesTheStreams) {
    make_empty_host();
    RunResult r = run({"-q", "-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = run({"-q", "bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Command not supported: 'bogus', use -h for help.\n");
    r = run({"-qq", "bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

// install takes only package files and its own options, each at most once.
TEST_F(CliTest, InstallArguments) {
    make_empty_host();
    struct Case {
        std::vector<std::string> args;
        bool syntax_error;
    };
    const Case cases[] = {
        {{"install", "a.pkg"}, false},
        {{"install", "A.PKG", "-y", "-force", "-noidcheck"}, false},
        {{"install", "-online"}, false},
        {{"install", "--yes", "a.pkg", "b.pkg"}, false},
        {{"install"}, true},
        {{"install", "-recovery"}, true},
        {{"install", "a.bin"}, true},
        {{"install", "-v", "a.pkg"}, true},
        {{"install", "-y", "--yes", "a.pkg"}, true},
        {{"install", "-noidcheck", "-noidcheck", "a.pkg"}, true},
        {{"install", "-online", "-online"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        RunResult r = run(c.args);
        const bool syntax = contains(r.err, "Error: Invalid syntax. Please run \"zeltnvm install -h\" for help.");
        EXPECT_EQ(syntax, c.syntax_error) << r.err;
        if (c.syntax_error) {
            EXPECT_EQ(r.status, 255);
        }
    }
}

}  // namespace
}  // namespace zelt::test
