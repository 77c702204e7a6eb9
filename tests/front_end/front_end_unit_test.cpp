// Argument rules of the command words and the handlers' failure report, called
// directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "cli/display_error.h"
#include "common/hvxretval.h"
#include "tests/log/log_fixture.h"

using namespace zelt::cli;

namespace zelt::test {
namespace {

// Runs the argument rule of `cmd` over `args` (program name first), as typed.
int check(int cmd, const std::vector<std::string>& args, cli::ScanOptions* opts = nullptr) {
    cli::ParsedCommand parsed;
    parsed.command = cmd;
    parsed.words.assign(args.begin() + 1, args.end());
    StreamCapture quiet;
    cli::ScanOptions scan;
    const int rc = cli::zeltnvm_check_input_args(parsed, scan);
    if (opts) *opts = scan;
    return rc;
}

TEST(InputArgs, CountRules) {
    struct Case {
        int cmd;
        std::vector<std::string> args;
        bool ok;
    };
    const std::string p = "zeltnvm", d = "-dev=eth0";
    const Case cases[] = {
        {CMD_VERSION, {p, "version"}, true},
        {CMD_VERSION, {p, "version", "x"}, false},
        {CMD_LISTDEV, {p, "listdev"}, true},
        {CMD_LISTDEV, {p, d, "listdev"}, true},
        {CMD_LISTDEV, {p, "listdev", "x"}, false},
        {CMD_LISTDEV, {p, "-v", "listdev"}, false},
        {CMD_DEVICETEMP, {p, d, "device_temperature", "x"}, false},
        {CMD_COREDUMP, {p, d, "coredump"}, true},
        {CMD_COREDUMP, {p, d, "coredump", "f"}, true},
        {CMD_COREDUMP, {p, d, "coredump", "f", "g"}, false},
        {CMD_ETHERDIAGRAM, {p, d, "ether_serdes_eye_diagram"}, false},
        {CMD_ETHERDIAGRAM, {p, d, "ether_serdes_eye_diagram", "0"}, true},
        {CMD_PCIDIAGRAM, {p, d, "pci_eye_diagram", "0", "-margin"}, true},
        {CMD_PCIDIAGRAM, {p, d, "pci_eye_diagram", "0", "-margin", "-v"}, false},
        {CMD_CFGTUNNEL, {p, d, "cfgtunnel"}, false},
        {CMD_CFGTUNNEL, {p, d, "cfgtunnel", "vxlan_ipv4"}, true},
        {CMD_TRUSTEDVF, {p, d, "vf", "1", "trust"}, true},
        {CMD_TRUSTEDVF, {p, d, "vf", "1", "trust", "enable"}, true},
        {CMD_TRUSTEDVF, {p, d, "vf", "1", "trusted"}, false},
        // "trust" counts after the VF index, not at a place an option before the word shifted.
        {CMD_TRUSTEDVF, {p, d, "-v", "vf", "trust", "1"}, false},
        {CMD_ADDNTUPLE, {p, d, "add_ntuple_filter", "m", "1", "2", "3", "4"}, true},
        {CMD_ADDNTUPLE, {p, d, "add_ntuple_filter", "m", "1", "2", "3"}, false},
        {CMD_RESTORE_FACTORY_DEFAULTS, {p, d, "restore_factory_defaults"}, true},
        {CMD_RESTORE_FACTORY_DEFAULTS, {p, d, "restore_factory_defaults", "-yes"}, true},
        {CMD_RESTORE_FACTORY_DEFAULTS, {p, d, "restore_factory_defaults", "now"}, false},
        {CMD_FWSYNC, {p, d, "fw_sync"}, true},
        {CMD_FWSYNC, {p, "fw_sync"}, false},
        {CMD_DEVICE_HEALTH_CHECK, {p, d, "device_health_check", "a", "b"}, true},
        {CMD_DEVICE_HEALTH_CHECK, {p, d, "device_health_check", "a", "b", "c"}, false},
        {CMD_SET_TXFIR, {p, d, "set_txfir", "NRZ", "1", "1", "2", "3", "4"}, true},
        {CMD_GET_TXFIR, {p, d, "get_txfir", "NRZ"}, false},
        {CMD_TSIO_FUNCTION_PIN, {p, "tsio_function_pin"}, false},
        {CMD_DUTY_CYCLE, {p, d, "duty_cycle", "1", "2", "3", "4"}, true},
        {CMD_DUTY_CYCLE, {p, d, "duty_cycle", "1", "2", "3"}, false},
        {CMD_RESET, {p, d, "reset", "a", "b", "c"}, true},  // no rule
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(check(c.cmd, c.args), c.ok ? 0 : HVXRETVAL_INVALID_SYNTAX);
    }
}

// A device taken because -dev= was missing counts as the first word after the program
// name, so positions and counts are those of the line with the selector typed first.
TEST(InputArgs, TakenDeviceCountsAsTheFirstWord) {
    struct Case {
        int cmd;
        std::vector<std::string> words;
        bool taken;
        bool ok;
    };
    const Case cases[] = {
        {CMD_FWSYNC, {"fw_sync"}, true, true},
        {CMD_FWSYNC, {"fw_sync"}, false, false},
        {CMD_DEVICETEMP, {"device_temperature"}, true, true},
        {CMD_DEVICETEMP, {"-v", "device_temperature"}, true, false},
        {CMD_TRUSTEDVF, {"vf", "1", "trust"}, true, true},
        {CMD_TRUSTEDVF, {"-v", "vf", "1", "trust"}, true, false},
        {CMD_GETOPTION, {"getoption=x", "-dec"}, true, true},
        {CMD_RESTORE_FACTORY_DEFAULTS, {"restore_factory_defaults", "-y"}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.words));
        cli::ParsedCommand parsed;
        parsed.command = c.cmd;
        const zelt::device::InventoryFunction function{zelt::transport::Function{"eth0", {}, {}}, {}, 0};
        parsed.select(function, "eth0");
        parsed.device_taken = c.taken;
        parsed.words = c.words;
        StreamCapture quiet;
        cli::ScanOptions scan;
        EXPECT_EQ(cli::zeltnvm_check_input_args(parsed, scan), c.ok ? 0 : HVXRETVAL_INVALID_SYNTAX);
    }
}

TEST(InputArgs, OptionRuleAndForce) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        bool force;
    };
    const std::string p = "zeltnvm", d = "-dev=eth0";
    const Case cases[] = {
        {{p, d, "getoption=x"}, true, false},
        {{p, d, "getoption"}, false, false},
        {{p, d, "getoption=x", "-force"}, true, true},
        {{p, d, "getoption=x", "-v"}, false, false},
        {{p, d, "getoption", "-force"}, false, false},
        {{p, d, "getoption=x", "-force", "-v"}, false, false},
        {{p, d, "getoption=x", "-dec"}, true, false},
        {{p, d, "getoption=x", "-dec", "-force"}, true, true},
        {{p, d, "getoption=x", "-dec", "-dec"}, false, false},
        {{p, d, "getoption=x", "-force", "-force"}, false, false},
        {{p, d, "getoption=x", "-force", "-dec", "-v"}, false, false},
    };
    for (int cmd : {CMD_SETOPTION, CMD_GETOPTION, CMD_OPTIONHELP}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::PrintToString(c.args));
            cli::ScanOptions o;
            EXPECT_EQ(check(cmd, c.args, &o), c.ok ? 0 : HVXRETVAL_INVALID_SYNTAX);
            EXPECT_EQ(o.force, c.force);
        }
    }
}

TEST(InputArgs, FailurePrintsTheSyntaxLine) {
    cli::ParsedCommand parsed;
    parsed.command = CMD_COREDUMP;
    parsed.words = {"-dev=eth0", "coredump", "a", "b"};
    StreamCapture cap;
    cli::ScanOptions scan;
    EXPECT_EQ(cli::zeltnvm_check_input_args(parsed, scan), HVXRETVAL_INVALID_SYNTAX);
    EXPECT_EQ(cap.err(), "Error: Invalid syntax. Please run \"zeltnvm coredump -h\" for help.\n");
}

TEST(DisplayErrorMsg, MessagesAndResults) {
    struct Case {
        int cmd;
        int32_t rc;
        int result;
        const char* out;
        const char* err;
    };
    const char* busy = "Error: Adapter is busy. Please try again after some time\n";
    const Case cases[] = {
        {CMD_COREDUMP, -16, 21, busy, ""},
        {CMD_INSTALL, 16, 21, busy, ""},
        {CMD_COREDUMP, -30, 15, "", "Error: Invalid syntax. Please run \"zeltnvm coredump -h\" for help.\n"},
        {CMD_COREDUMP, -1, -1, "", "Error: CoreDump command failed. Please review zeltnvm.log for more details.\n"},
        {CMD_MODULEINFO, 0xFFFF, 0xFFFF, "", "Error: moduleinfo is not supported on this hardware.\n"},
        {CMD_MODULEINFO, -1, -1, "", "Error: Failed to query the module information.\n"},
        {CMD_FWSYNC, -139, -139, "", "Error: FW sync command failed.\n"},
        {CMD_DEVID, 5, 5, "", "Error: Failed to display device ID's.\n"},
        {CMD_RESET, -1, -1, "", "Error: Unknown\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << cli::command_word(c.cmd) << " " << c.rc);
        StreamCapture cap;
        EXPECT_EQ(zeltnvm_display_error_msg(c.cmd, c.rc), c.result);
        EXPECT_EQ(cap.out(), c.out);
        EXPECT_EQ(cap.err(), c.err);
    }
}

}  // namespace
}  // namespace zelt::test
