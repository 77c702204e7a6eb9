#include "log/run_flags.h"

namespace zelt {

uint32_t zeltnvm_verbose = 0;

}  // namespace zelt
