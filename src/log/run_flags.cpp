#include "log/run_flags.h"

uint32_t zeltnvm_verbose = 0;
