#include "log/clock.h"

namespace zelt::log {

uint32_t ElapsedClock::milliseconds() const {
    const struct timeval now = host_->now();
    const int64_t sec = static_cast<int64_t>(now.tv_sec) - zelt_glob_timer_.tv_sec;
    const int64_t usec = static_cast<int64_t>(now.tv_usec) - zelt_glob_timer_.tv_usec;
    return static_cast<uint32_t>(sec * 1000 + usec / 1000);
}

double ElapsedClock::seconds() const {
    const struct timeval now = host_->now();
    const double sec = static_cast<double>(static_cast<int64_t>(now.tv_sec) - zelt_glob_timer_.tv_sec);
    const double usec = static_cast<double>(static_cast<int64_t>(now.tv_usec) - zelt_glob_timer_.tv_usec);
    return sec + usec / 1000000.0;
}

}  // namespace zelt::log
