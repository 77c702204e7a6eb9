// The process-wide elapsed-time clock, read from the host clock (virtual on the
// simulated host). Starting it again restarts it.
#pragma once

#include <cstdint>

namespace zelt {

void zeltnvm_start_clock();
// Milliseconds since the clock was started, truncated to 32 bits.
void zeltnvm_stop_clock(uint32_t* milliseconds);
// Seconds since the clock was started.
void zeltnvm_get_elapsed_time(double* seconds);

}  // namespace zelt
