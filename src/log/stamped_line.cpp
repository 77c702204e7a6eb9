#include "log/stamped_line.h"

#include <cstdio>
#include <string>

#include "common/printable_text.h"
#include "host/host.h"
#include "log/log_state.h"
#include "log/print.h"
#include "log/time_text.h"

namespace zelt::log {

void stamped_info_line(std::string_view text) {
    LogState& s = state();
    if (!s.log || !s.host || (s.level_mask & ZELT_LVL_INFO) == 0) return;
    const struct timeval tv = s.host->now();
    const std::string when = ctime_text(s.host->local_time(tv.tv_sec));
    std::fprintf(s.log, "%s   INFO:%s\n", when.c_str(), printable_text(text).c_str());
}

}  // namespace zelt::log
