#include "log/time_text.h"

#include <cstdio>

namespace zelt::log {

std::string ctime_text(const struct tm& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = (t.tm_wday >= 0 && t.tm_wday < 7) ? kDays[t.tm_wday] : "???";
    const char* month = (t.tm_mon >= 0 && t.tm_mon < 12) ? kMonths[t.tm_mon] : "???";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %s%3d %.2d:%.2d:%.2d %d", day, month, t.tm_mday, t.tm_hour, t.tm_min,
                  t.tm_sec, t.tm_year + 1900);
    return buf;
}

}  // namespace zelt::log
