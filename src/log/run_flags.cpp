#include "log/run_flags.h"

bool zelt_util_init = false;
uint32_t zeltnvm_verbose = 0;
bool recovery_mode_enabled = false;
