// The command registry, row by row: words, help texts, handlers, and the one answer
// for commands that are not part of this build.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "cli/command_registry.h"
#include "cli/help/general_usage.h"
#include "common/hvxretval.h"
#include "tests/front_end/cli_fixture.h"
#include "tests/log/log_fixture.h"

namespace zelt::test {
namespace {

using cli::CommandRow;
using namespace zelt::cli;

TEST(CommandRegistry, EveryRowIsFoundByItsWordAndPrintsItsHelp) {
    ASSERT_EQ(cli::command_rows().size(), static_cast<size_t>(ZELT_CMD_COUNT));
    std::set<std::string> words;
    for (int c = 0; c < ZELT_CMD_COUNT; ++c) {
        const CommandRow& row = cli::command_row(c);
        SCOPED_TRACE(row.word);
        EXPECT_EQ(row.command, c);
        EXPECT_TRUE(words.insert(row.word).second) << "word used twice";
        // "-h" is an option, never a command word.
        EXPECT_EQ(cli::find_command_row(row.word), c == CMD_HELP ? nullptr : &row);

        StreamCapture cap;
        EXPECT_EQ(zeltnvm_display_help(c), 0);
        EXPECT_EQ(cap.out(), (c == CMD_HELP ? cli::general_usage() : std::string(row.help)) + "\n");
        EXPECT_GT(std::string(row.help).size(), 20u);
    }
    StreamCapture cap;
    EXPECT_EQ(zeltnvm_display_help(ZELT_CMD_COUNT), 0);
    EXPECT_EQ(cap.out(), "");
}

// Every row's summary stands in the general usage under the row's group, its usage
// line opens the syntax of its own help, every command line of that syntax names the
// row's word, and the summary and the help agree on the chip family it is limited to.
TEST(CommandRegistry, RowsAgreeWithTheGeneralUsageAndTheirHelp) {
    const std::string usage = cli::general_usage();
    const std::string newest_only = "This command is supported only on HVX9Kxxxx devices";
    const std::pair<cli::CommandGroup, const char*> titles[] = {
        {cli::CommandGroup::firmware_update, "Firmware update commands\n"},
        {cli::CommandGroup::query, "Query commands\n"},
        {cli::CommandGroup::configure, "Configure commands\n"},
        {cli::CommandGroup::debug, "Debug commands\n"},
    };
    for (const CommandRow& row : cli::command_rows()) {
        if (row.command == CMD_HELP) continue;
        SCOPED_TRACE(row.word);
        const std::string help = row.help;
        EXPECT_EQ(help.rfind("\nDESCRIPTION\n        ", 0), 0u);
        EXPECT_NE(help.find(std::string("SYNTAX\n        ") + row.usage), std::string::npos);
        EXPECT_NE(row.group, cli::CommandGroup::none);
        const std::string syntax = help.substr(help.find("\nSYNTAX\n") + 8);
        for (size_t at = 0; at < syntax.size();) {
            const size_t end = std::min(syntax.find('\n', at), syntax.size());
            const std::string line = syntax.substr(at, end - at);
            if (line.find("zeltnvm ") != std::string::npos) {
                EXPECT_TRUE(line.find(std::string(" ") + row.word) != std::string::npos) << line;
            }
            at = end + 1;
        }
        const std::string description = help.substr(0, help.find("\nSYNTAX\n"));
        EXPECT_EQ(description.find(newest_only) != std::string::npos,
                  std::string(row.summary).find(newest_only) != std::string::npos);
        std::string entry = std::string(16, ' ') + row.word;
        entry.resize(std::max<size_t>(entry.size(), 41), ' ');
        entry += ": ";
        for (const char* c = row.summary; *c; ++c) entry += *c == '\n' ? "\n" + std::string(43, ' ') : std::string(1, *c);
        entry += "\n";
        // The group's section: from its title to the next blank line.
        std::string section;
        for (const auto& [group, title] : titles) {
            if (group != row.group) continue;
            const size_t start = usage.find(title);
            ASSERT_NE(start, std::string::npos);
            section = usage.substr(start, usage.find("\n\n", start) + 1 - start);
        }
        EXPECT_NE(section.find(entry), std::string::npos) << entry;
    }
}

TEST(CommandRegistry, AvailableRowsHaveAHandlerAndUnavailableRowsNone) {
    for (const CommandRow& row : cli::command_rows()) {
        SCOPED_TRACE(row.word);
        const bool has_handler = row.at_word || row.after_scan || row.package_files;
        EXPECT_EQ(has_handler, row.available);
        if (!row.available) {
            EXPECT_EQ(row.at_word, nullptr);
            EXPECT_EQ(row.after_scan, nullptr);
        }
    }
}

// A command that changes an adapter's state holds the adapter's lock while it runs, so
// another process's install or option write cannot interleave with it. install takes
// each adapter's lock itself, after its confirmation.
TEST(CommandRegistry, EveryConfiguringCommandHoldsTheAdapterLock) {
    for (const CommandRow& row : cli::command_rows()) {
        if (row.group != cli::CommandGroup::configure || !row.available) continue;
        SCOPED_TRACE(row.word);
        EXPECT_TRUE(row.writes_adapter);
    }
}

// Words after the command word that satisfy the row's argument rule with the single
// adapter's function taken as the device. "trust" fills every place, which also meets
// the rule that wants it after the VF index.
std::vector<std::string> accepted_line(const CommandRow& row) {
    for (int extra = 0; extra < 8; ++extra) {
        cli::ParsedCommand parsed;
        parsed.command = row.command;
        const zelt::device::InventoryFunction function{zelt::transport::Function{"zen0", {}, {}}, {}, 0};
        parsed.select(function, "zen0");
        parsed.device_taken = row.implicit_device;
        parsed.words = {row.word};
        parsed.words.resize(static_cast<size_t>(extra) + 1, "trust");
        StreamCapture quiet;
        cli::ScanOptions scan;
        if (cli::zeltnvm_check_input_args(parsed, scan) == 0) return parsed.words;
    }
    ADD_FAILURE() << "no line passes the rule of " << row.word;
    return {};
}

// Every command not built here, and the device forms of the package-file commands,
// answer the same way through the program: one line on standard error and one result.
TEST_F(CliTest, UnavailableCommandsGiveTheOneAnswer) {
    make_host(1);
    for (const CommandRow& row : cli::command_rows()) {
        std::vector<std::string> line;
        if (!row.available) {
            line = accepted_line(row);
        } else if (row.package_files && !row.after_scan) {
            line = {"-dev=zen0", row.word};
        } else {
            continue;
        }
        SCOPED_TRACE(testing::PrintToString(line));
        const RunResult r = run(line);
        EXPECT_EQ(r.status, HVXRETVAL_UNSUPPORTED_OPERATION & 0xFF);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string("Command '") + row.word + "' is not available in this build.\n");
    }
}

// Through the program: -h prints the general usage, and every command word followed by
// -h prints that command's help, with or without a -dev= that names a function.
TEST_F(CliTest, UsageAndEveryCommandHelp) {
    make_host(1);
    RunResult r = run({"-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cli::general_usage() + "\n");
    for (const CommandRow& row : cli::command_rows()) {
        if (row.command == CMD_HELP) continue;
        for (const std::vector<std::string>& line :
             {std::vector<std::string>{row.word, "-h"}, std::vector<std::string>{"-dev=zen0", row.word, "-h"}}) {
            SCOPED_TRACE(testing::PrintToString(line));
            r = run(line);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, std::string(row.help) + "\n");
        }
    }
}

}  // namespace
}  // namespace zelt::test
