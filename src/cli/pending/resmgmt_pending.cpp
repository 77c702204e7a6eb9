// Resource profiles are not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int zeltnvm_resmgmt_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("resmgmt"); }
