// State shared by the print routine and the log file code (one per process).
#pragma once

#include <cstdio>
#include <mutex>

#include "log/console_sink.h"

namespace zelt::host {
class Host;
}  // namespace zelt::host

namespace zelt::log {

class Monitor;

struct LogState {
    unsigned level_mask = 0;  // enabled log levels (ZELT_LVL_* bits)
    FILE* log = nullptr;      // the open log file
    ConsoleSink* sink = nullptr;  // takes console messages and progress ticks when set
    host::Host* host = nullptr;   // the run's host while the log is open: its clock stamps
                                  // the log's lines
    // The progress monitor that runs now (owned by whoever shows the progress), so that
    // the exit path can stop it before it closes the log. Guarded by monitor_mutex.
    Monitor* monitor = nullptr;
    std::mutex monitor_mutex;
};

LogState& state();

}  // namespace zelt::log
