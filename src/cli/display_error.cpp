#include "cli/display_error.h"

#include <cstdlib>

#include "cli/command_registry.h"
#include "common/hvxretval.h"
#include "log/print.h"

using namespace zelt;

namespace {

constexpr int kBusyResult = 21;
constexpr int kSyntaxResult = 15;

const char* failure_text(int cmd, int32_t rc) {
    switch (cmd) {
        case CMD_DEVID: return "Failed to display device ID's.";
        case CMD_BACKUP: return "Failed to backup NVM contents.";
        case CMD_INSTALL:
            return "Package installation failed. Please review debug log file for more information.";
        case CMD_VERIFY:
            return "NVM components verification failed. Please review debug log file for more information.";
        case CMD_MODULEINFO:
            return rc == ZELT_RC_NOT_SUPPORTED ? "moduleinfo is not supported on this hardware."
                                               : "Failed to query the module information.";
        case CMD_COREDUMP: return "CoreDump command failed. Please review zeltnvm.log for more details.";
        case CMD_ETHERDIAGRAM:
            return "Ethernet serdes eye diagram command failed. Please review zeltnvm.log for more details.";
        case CMD_SAVEOPTIONS:
            return "Failed to save NVM configuration options. Please review zeltnvm.log for more details.";
        case CMD_DEVICETEMP: return "Failed to query the device information.";
        case CMD_DEVINFO: return "Device information command failed. Please review zeltnvm.log for more details.";
        case CMD_PCIEYESCOPE: return "PCI Eye Scope test failed. Please review zeltnvm.log for more details.";
        case CMD_FWSYNC: return "FW sync command failed.";
        case CMD_DEVICE_HEALTH_CHECK:
            return "Device health Check command failed. Please review zeltnvm.log for more details.";
        default: return "Unknown";
    }
}

}  // namespace

void zeltnvm_print_syntax_error(int cmd) {
    const char* word = zelt::cli::command_word(cmd);
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: Invalid syntax. Please run \"zeltnvm %s -h\" for help.\n",
                  word);
}

int zeltnvm_display_error_msg(int cmd, int32_t rc) {
    if (rc == ZELT_RC_BUSY || rc == -ZELT_RC_BUSY) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Error: %s\n",
                      "Adapter is busy. Please try again after some time");
        return kBusyResult;
    }
    if (rc == HVXRETVAL_INVALID_SYNTAX) {
        zeltnvm_print_syntax_error(cmd);
        return kSyntaxResult;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Error: %s\n", failure_text(cmd, rc));
    return rc;
}
