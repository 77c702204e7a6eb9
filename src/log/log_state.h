// State shared by the print routine and the log file code (one per process).
#pragma once

#include <cstdio>

#include "host/host.h"
#include "log/console_sink.h"

namespace zelt::log {

struct LogState {
    unsigned level_mask = 0;  // enabled log levels (ZELT_LVL_* bits)
    FILE* log = nullptr;      // the open log file
    ConsoleSink* sink = nullptr;  // takes console messages and progress ticks when set
    host::Host* host = nullptr;   // the run's host while the log is open: its clock stamps
                                  // the log's lines
};

LogState& state();

}  // namespace zelt::log
