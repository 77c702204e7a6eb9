// The installed documentation and files follow the program: every command word of the
// registry is in the manual page and in the bash completion, every result code in the
// manual page's exit statuses, and the example configuration file reads as the
// default one does.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "cli/command_registry.h"
#include "common/hvxretval.h"
#include "log/log_config.h"
#include "log/print.h"

namespace {

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// roff escapes a dash as "\-"; the words are compared in their plain form.
std::string plain_roff(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-') continue;
        out += text[i];
    }
    return out;
}

const std::string kSource = ZELT_SOURCE_DIR;

TEST(PackagedDocs, EveryCommandWordIsInTheManualPageAndTheCompletion) {
    const std::string man = plain_roff(read_text(kSource + "/docs/man/zeltnvm.8"));
    const std::string completion = read_text(kSource + "/packaging/zeltnvm.bash-completion");
    ASSERT_FALSE(man.empty());
    ASSERT_FALSE(completion.empty());
    for (const auto& row : zelt::cli::command_rows()) {
        const std::string word(row.word);
        // A command's entry in the list of commands is a bold line of its own.
        EXPECT_NE(man.find("\n.B " + word + "\n"), std::string::npos) << word << " has no entry in zeltnvm.8";
        if (word == "-h") continue;  // an option for the completion
        EXPECT_TRUE(std::regex_search(completion, std::regex("[\\s\"]" + word + "[\\s\"]")))
            << word << " is not completed";
    }
}

TEST(PackagedDocs, EveryResultCodeHasItsExitStatusInTheManualPage) {
    const std::string man = read_text(kSource + "/docs/man/zeltnvm.8");
    for (int32_t code = -1; code > zelt::HVXRETVAL_CAP; --code) {
        const char* name = zelt::hvxretvalStringPtr(code);
        if (!name) continue;
        const std::string entry = ".B " + std::to_string(code & 0xFF) + "\n" + name + " (result code " +
                                  std::to_string(code) + ")";
        EXPECT_NE(man.find(entry), std::string::npos) << name << " is not among the exit statuses";
    }
}

// A comment naming a key must not be read as its setting: the level is read from the
// first line naming it, wherever the name stands.
TEST(PackagedConfig, ExampleFileReadsAsTheDefault) {
    const std::string path = kSource + "/packaging/zeltnvm.conf";
    FILE* example = std::fopen(path.c_str(), "r");
    ASSERT_NE(example, nullptr);
    EXPECT_EQ(zelt::zeltnvm_parse_log_level(example), 7u);
    std::rewind(example);
    EXPECT_FALSE(zelt::log::parse_lock_wait_seconds(example).has_value());
    std::fclose(example);

    FILE* builtin = fmemopen(const_cast<char*>(zelt::ZELT_DEFAULT_CONFIG), std::strlen(zelt::ZELT_DEFAULT_CONFIG), "r");
    ASSERT_NE(builtin, nullptr);
    EXPECT_EQ(zelt::zeltnvm_parse_log_level(builtin), 7u);
    std::fclose(builtin);
}

}  // namespace
