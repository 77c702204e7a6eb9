// State shared by the print routine and the log file code (one per process).
#pragma once

#include <cstdio>

namespace zelt::log {

struct LogState {
    unsigned level_mask = 0;  // enabled log levels (ZELT_LVL_* bits)
    FILE* log = nullptr;      // the open log file
};

LogState& state();

}  // namespace zelt::log
