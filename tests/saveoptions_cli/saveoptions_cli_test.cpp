// saveoptions run as a program against simulated hosts: the script it writes and what
// replaying that script does on another adapter of the same kind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

// Two adapters of one kind, each with two ports (network port mode 2x10G).
constexpr const char* kTwoTwinAdapters = R"({"adapters":[
  {"name":"a","ports":2,"options":[{"num":301,"value":1}]},
  {"name":"b","ports":2,"options":[{"num":301,"value":1}]}]})";

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The "name[:index]" and value of each setoption line of a script.
struct SavedLine {
    std::string option;
    std::string value;
};
std::vector<SavedLine> saved_lines(const std::string& script) {
    const std::string prefix = "zeltnvm -dev=$INTERFACE setoption=";
    std::vector<SavedLine> lines;
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0) continue;
        const std::string rest = line.substr(prefix.size());
        const size_t hash = rest.find('#');
        lines.push_back({rest.substr(0, hash), rest.substr(hash + 1)});
    }
    return lines;
}

class SaveOptionsCliTest : public ::testing::Test {
protected:
    SimulatedHost host_{kTwoTwinAdapters};
};

TEST_F(SaveOptionsCliTest, ScriptHasTheHeaderAndEachPortOptionForBothPorts) {
    const RunResult r = host_.zeltnvm({"-dev=zen0", "saveoptions", "saved.sh"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "All NVM options are saved to saved.sh\n\n");
    const std::string script = read_text(host_.work_file("saved.sh"));
    EXPECT_EQ(script.rfind("if [ ! \"$1\" ]\nthen\necho \"Usage: filename <interface_name>\"\nexit\nfi\n\n"
                           "if [ ! -e \"/usr/bin/zeltnvm\" ]\nthen\necho \"FILE DOES NOT EXIST: /usr/bin/zeltnvm\"\n"
                           "exit\nfi\n\nINTERFACE=$1\n\n",
                           0),
              0u);

    std::set<std::string> options;
    for (const SavedLine& l : saved_lines(script)) options.insert(l.option);
    // Port options (an_protocol, dcbx_mode) appear for ports 0 and 1 only; device options
    // without an index.
    for (const char* port_option : {"an_protocol", "dcbx_mode"}) {
        EXPECT_TRUE(options.count(std::string(port_option) + ":0")) << port_option;
        EXPECT_TRUE(options.count(std::string(port_option) + ":1")) << port_option;
        EXPECT_FALSE(options.count(std::string(port_option) + ":2")) << port_option;
    }
    EXPECT_TRUE(options.count("cos_precedence_order"));
    EXPECT_FALSE(options.count("cos_precedence_order:0"));
}

TEST_F(SaveOptionsCliTest, ReplayingTheScriptOnAnotherAdapterCopiesEverySavedOption) {
    // Values away from the defaults, of several kinds: labels, numbers, a MAC address,
    // packed fields.
    for (const char* set : {"setoption=an_protocol:1#2", "setoption=mba_vlan_value:0#77",
                            "setoption=mac_address:1#02-5a-0b-00-09-09", "setoption=cos_precedence_order#3:2:1:0"}) {
        const RunResult r = host_.zeltnvm({"-dev=zen0", set});
        ASSERT_EQ(r.status, 0) << set << "\n" << r.out << r.err;
    }
    RunResult r = host_.zeltnvm({"-dev=zen0", "saveoptions", "saved.sh"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<SavedLine> lines = saved_lines(read_text(host_.work_file("saved.sh")));
    ASSERT_FALSE(lines.empty());

    for (const SavedLine& l : lines) host_.zeltnvm({"-dev=zen2", "setoption=" + l.option + "#" + l.value});
    for (const SavedLine& l : lines) {
        SCOPED_TRACE(l.option + " saved as " + l.value);
        const RunResult original = host_.zeltnvm({"-dev=zen0", "getoption=" + l.option});
        const RunResult copy = host_.zeltnvm({"-dev=zen2", "getoption=" + l.option});
        EXPECT_EQ(copy.out, original.out);
    }
}

TEST_F(SaveOptionsCliTest, MissingNameAndUnwritablePlaceFailWithoutAFile) {
    RunResult r = host_.zeltnvm({"-dev=zen0", "saveoptions"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE((r.out + r.err).find("Invalid syntax"), std::string::npos) << r.out << r.err;

    r = host_.zeltnvm({"-dev=zen0", "saveoptions", "no/such/dir.sh"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE((r.out + r.err).find("Can't open profile file no/such/dir.sh"), std::string::npos) << r.out << r.err;
}

TEST_F(SaveOptionsCliTest, APlantedLinkIsReplacedNotFollowed) {
    const std::string victim = host_.work_file("victim.txt");
    {
        std::ofstream(victim) << "keep me\n";
    }
    ASSERT_EQ(::symlink(victim.c_str(), host_.work_file("saved.sh").c_str()), 0);
    const RunResult r = host_.zeltnvm({"-dev=zen0", "saveoptions", "saved.sh"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(std::filesystem::is_symlink(host_.work_file("saved.sh")));
    EXPECT_EQ(read_text(victim), "keep me\n");
}

}  // namespace
}  // namespace zelt::test
