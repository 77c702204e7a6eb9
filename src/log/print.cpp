#include "log/print.h"

#include <cstdarg>
#include <ctime>
#include <string>

#include "common/format_text.h"
#include "common/printable_text.h"
#include "host/host.h"
#include "host/interrupt.h"
#include "log/log_state.h"
#include "log/time_text.h"

namespace zelt {

void zeltnvm_print(int location, int level, const char* format, ...) {
    auto& s = zelt::log::state();
    const bool to_log = s.log && (location == ZELT_LOC_LOG || location == ZELT_LOC_BOTH) &&
                        (static_cast<unsigned>(level) & s.level_mask) != 0;
    const bool to_console = location == ZELT_LOC_CONSOLE || location == ZELT_LOC_BOTH;
    if (!to_log && !to_console) {
        zelt::host::interruption_point();
        return;
    }

    va_list args;
    va_start(args, format);
    // Messages carry text from packages and adapters: it is shown with its control
    // characters escaped, on the console and in the log alike.
    const std::string text = printable_text(vformat_text(format, args));
    va_end(args);
    if (to_log) {
        if (level != ZELT_LVL_INFO) {
            host::Host& h = *s.host;  // given with the log
            struct timeval tv = h.now();
            std::string when = zelt::log::ctime_text(h.local_time(tv.tv_sec));
            std::fprintf(s.log, "%s   %s", when.c_str(), level == ZELT_LVL_ERROR ? "ERROR:" : "DEBUG:");
        }
        std::fputs(text.c_str(), s.log);
    }
    if (to_console) {
        // The sink sees the message as the console would; it says whether the console
        // still gets it.
        if (!s.sink || s.sink->console_message(level, text))
            std::fputs(text.c_str(), level == ZELT_LVL_INFO ? stdout : stderr);
    }
    // An interruption during the message ends the run here, after stdio's locks are
    // released.
    zelt::host::interruption_point();
}

}  // namespace zelt
