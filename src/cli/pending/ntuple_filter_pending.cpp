// Flow filters are not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int zeltnvm_add_ntuple_filter_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("add_ntuple_filter"); }
int zeltnvm_free_ntuple_filter_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("free_ntuple_filter"); }
