#include "log/clock.h"

#include <sys/time.h>

#include "host/host.h"

namespace zelt {

namespace {
struct timeval zelt_glob_timer{};
}

void zeltnvm_start_clock() { zelt_glob_timer = zelt::host::current().now(); }

void zeltnvm_stop_clock(uint32_t* milliseconds) {
    struct timeval now = zelt::host::current().now();
    int64_t sec = static_cast<int64_t>(now.tv_sec) - zelt_glob_timer.tv_sec;
    int64_t usec = static_cast<int64_t>(now.tv_usec) - zelt_glob_timer.tv_usec;
    if (milliseconds) *milliseconds = static_cast<uint32_t>(sec * 1000 + usec / 1000);
}

void zeltnvm_get_elapsed_time(double* seconds) {
    struct timeval now = zelt::host::current().now();
    double sec = static_cast<double>(static_cast<int64_t>(now.tv_sec) - zelt_glob_timer.tv_sec);
    double usec = static_cast<double>(static_cast<int64_t>(now.tv_usec) - zelt_glob_timer.tv_usec);
    if (seconds) *seconds = sec + usec / 1000000.0;
}

}  // namespace zelt
