// Port count of an adapter from its network port mode (option 301).
#pragma once

#include <cstdint>

namespace zelt {

// The port count named by a network port mode ("2x25G" gives 2), or -1 for a mode that
// is not in the list.
int zeltnvm_port_count_from_mode(uint32_t mode);

}  // namespace zelt
