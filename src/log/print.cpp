#include "log/print.h"

#include <cstdarg>
#include <ctime>
#include <string>

#include "host/host.h"
#include "host/interrupt.h"
#include "log/log_state.h"
#include "log/time_text.h"

namespace {

std::string format_text(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

}  // namespace

namespace zelt {

void zeltnvm_print(int location, int level, const char* format, ...) {
    auto& s = zelt::log::state();
    const bool to_log = s.log && (location == ZELT_LOC_LOG || location == ZELT_LOC_BOTH) &&
                        (static_cast<unsigned>(level) & s.level_mask) != 0;
    const bool to_console = location == ZELT_LOC_CONSOLE || location == ZELT_LOC_BOTH;

    va_list args;
    va_start(args, format);
    if (to_log) {
        if (level != ZELT_LVL_INFO) {
            host::Host& h = *s.host;  // given with the log
            struct timeval tv = h.now();
            std::string when = zelt::log::ctime_text(h.local_time(tv.tv_sec));
            std::fprintf(s.log, "%s   %s", when.c_str(), level == ZELT_LVL_ERROR ? "ERROR:" : "DEBUG:");
        }
        va_list copy;
        va_copy(copy, args);
        std::vfprintf(s.log, format, copy);
        va_end(copy);
    }
    if (to_console && s.sink) {
        // The sink sees the message as the console would; it says whether the console
        // still gets it.
        va_list copy;
        va_copy(copy, args);
        std::string text = format_text(format, copy);
        va_end(copy);
        if (s.sink->console_message(level, text)) std::fputs(text.c_str(), level == ZELT_LVL_INFO ? stdout : stderr);
    } else if (to_console) {
        std::vfprintf(level == ZELT_LVL_INFO ? stdout : stderr, format, args);
    }
    va_end(args);
    // An interruption during the message ends the run here, after stdio's locks are
    // released.
    zelt::host::interruption_point();
}

}  // namespace zelt
