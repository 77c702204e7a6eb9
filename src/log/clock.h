// The elapsed-time clock: a value its user owns, read from the host clock it is given
// (virtual on the simulated host).
#pragma once

#include <sys/time.h>

#include <cstdint>

#include "host/host.h"

namespace zelt::log {

// Started when it is made; starting it again restarts it.
class ElapsedClock {
public:
    explicit ElapsedClock(host::Host& host) : host_(&host), zelt_glob_timer_(host.now()) {}

    // Restarts the clock from now.
    void start() { zelt_glob_timer_ = host_->now(); }
    // Milliseconds since the start: the seconds' difference times 1000 plus the
    // microseconds' difference divided by 1000 (toward zero), truncated to 32 bits.
    uint32_t milliseconds() const;
    // Seconds since the start.
    double seconds() const;

private:
    host::Host* host_;
    struct timeval zelt_glob_timer_;  // the start time
};

}  // namespace zelt::log

namespace zelt {

// The clock's operations under their usual names.
inline void zeltnvm_start_clock(log::ElapsedClock& clock) { clock.start(); }
inline void zeltnvm_stop_clock(const log::ElapsedClock& clock, uint32_t* milliseconds) {
    if (milliseconds) *milliseconds = clock.milliseconds();
}
inline void zeltnvm_get_elapsed_time(const log::ElapsedClock& clock, double* seconds) {
    if (seconds) *seconds = clock.seconds();
}

}  // namespace zelt
