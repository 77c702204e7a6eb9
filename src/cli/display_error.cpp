#include "cli/display_error.h"

#include <cstdlib>

#include "cli/command_registry.h"
#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

constexpr int kBusyResult = 21;
constexpr int kSyntaxResult = 15;

// The command row's failure text; moduleinfo names the hardware that lacks it.
const char* failure_text(int cmd, int32_t rc) {
    if (cmd == CMD_MODULEINFO && rc == ZELT_RC_NOT_SUPPORTED) return "moduleinfo is not supported on this hardware.";
    if (cmd < 0 || cmd >= ZELT_CMD_COUNT) return "Unknown";
    const char* text = zelt::cli::command_row(cmd).failure;
    return text ? text : "Unknown";
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

}  // namespace zelt::cli
