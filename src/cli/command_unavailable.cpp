#include "cli/command_unavailable.h"

#include "common/hvxretval.h"
#include "log/print.h"

int zeltnvm_command_unavailable(const char* word) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command '%s' is not available in this build.\n", word);
    return HVXRETVAL_UNSUPPORTED_OPERATION;
}
