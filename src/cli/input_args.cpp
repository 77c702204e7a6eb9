// Argument rules of the command words.
#include <cstring>

#include "cli/cli_helper.h"
#include "cli/command_table.h"
#include "cli/display_error.h"
#include "common/hvxretval.h"

namespace {

bool contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

// listdev and the query commands that behave alike: the program name and the
// command word, plus the selector when one is given.
bool listdev_rule(int argc, char (*args)[ZELT_ARG_LEN]) {
    return argc == 2 || (argc == 3 && contains(args[1], "-dev="));
}

// setoption, getoption, optionhelp: the command word carries '='; what follows may be
// the force option (which sets it) and -dec (getoption's label-or-decimal output), each
// at most once. Without room for -dec here the option could never reach getoption.
bool option_rule(int argc, char (*args)[ZELT_ARG_LEN], options* opts) {
    if (argc < 3 || argc > 5 || !contains(args[2], "=")) return false;
    int force = 0, dec = 0;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(args[i], "-dec") == 0) {
            ++dec;
        } else if (contains(args[i], "-force")) {
            ++force;
        } else {
            return false;
        }
    }
    if (force > 1 || dec > 1) return false;
    if (force && opts) opts->force = true;
    return true;
}

// install: every argument is the command word, a package file, or one of the few
// options install accepts, each at most once.
bool install_rule(int argc, char (*args)[ZELT_ARG_LEN]) {
    int force = 0, recovery = 0, online = 0, dev = 0, word = 0, yes = 0, noidcheck = 0, packages = 0;
    for (int i = 1; i < argc; ++i) {
        const char* a = args[i];
        if (std::strcmp(a, "-force") == 0) {
            ++force;
        } else if (std::strcmp(a, "-recovery") == 0) {
            ++recovery;
        } else if (std::strcmp(a, "-online") == 0) {
            ++online;
        } else if (contains(a, "-dev=")) {
            ++dev;
        } else if (std::strcmp(a, "install") == 0) {
            ++word;
        } else if (std::strcmp(a, "-y") == 0 || std::strcmp(a, "--yes") == 0) {
            ++yes;
        } else if (std::strcmp(a, "-noidcheck") == 0) {
            ++noidcheck;
        } else if (contains(a, ".pkg") || contains(a, ".PKG")) {
            ++packages;
        } else {
            return false;
        }
    }
    if (force > 1 || recovery > 1 || online > 1 || dev > 1 || word > 1 || yes > 1 || noidcheck > 1) return false;
    return online > 0 || packages > 0;
}

}  // namespace

int zeltnvm_check_input_args(int cmd, int argc, char (*args)[ZELT_ARG_LEN], options* opts) {
    bool ok = true;
    switch (cmd) {
        case CMD_VERSION: ok = argc <= 2; break;
        case CMD_INSTALL: ok = install_rule(argc, args); break;
        case CMD_LISTDEV:
        case CMD_MODULEINFO:
        case CMD_DEVICETEMP:
        case CMD_PCIECOUNTERS:
        case CMD_DEVINFO: ok = listdev_rule(argc, args); break;
        case CMD_SETOPTION:
        case CMD_GETOPTION:
        case CMD_OPTIONHELP: ok = option_rule(argc, args, opts); break;
        case CMD_CFGTUNNEL:
        case CMD_RESMGMT:
        case CMD_PCIEYESCOPE:
        case CMD_PRBS_TEST:
        case CMD_DSCDUMP: ok = argc > 3; break;
        case CMD_COREDUMP: ok = argc == 3 || argc == 4; break;
        case CMD_ETHERDIAGRAM:
        case CMD_SAVEOPTIONS:
        case CMD_FREENTUPLE: ok = argc == 4; break;
        case CMD_PCIDIAGRAM: ok = argc == 4 || argc == 5; break;
        case CMD_TRUSTEDVF: ok = (argc == 5 || argc == 6) && std::strcmp(args[4], "trust") == 0; break;
        case CMD_ADDNTUPLE: ok = argc == 8; break;
        case CMD_RESTORE_FACTORY_DEFAULTS: ok = argc <= 3 || (argc == 4 && contains(args[3], "-y")); break;
        case CMD_FWSYNC: ok = argc == 3; break;
        case CMD_DEVICE_HEALTH_CHECK: ok = argc >= 3 && argc <= 5; break;
        case CMD_SET_TXFIR: ok = argc == 9; break;
        case CMD_GET_TXFIR: ok = argc == 5; break;
        case CMD_TSIO_FUNCTION_PIN: ok = argc > 2; break;
        case CMD_DUTY_CYCLE:
        case CMD_DLL_SOURCE: ok = argc > 6; break;
        default: break;  // no rule
    }
    if (ok) return 0;
    zeltnvm_print_syntax_error(cmd);
    return HVXRETVAL_INVALID_SYNTAX;
}
