// Process-wide flags of one run, set by the front end and read by lower layers.
#pragma once

#include <cstdint>

namespace zelt {

// Verbosity of the run (the -v count; all bits for -V). 0 is quiet.
extern uint32_t zeltnvm_verbose;

}  // namespace zelt
