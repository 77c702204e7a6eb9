// Where the console side of the print routine and the progress dots go while the
// front end collects a run's output (for a report rendered at the end, e.g. as JSON).
#pragma once

#include <string_view>

namespace zelt::log {

class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    // A console message as the print routine formatted it, at its level (ZELT_LVL_*).
    // Returns true when the message is still to be written to its stream.
    virtual bool console_message(int level, std::string_view text) = 0;
    // One tick of the progress monitor (a second of a long operation).
    virtual void progress_tick() = 0;
};

// Installs `sink` (nullptr: none) for the process; returns the sink it replaces.
// Without a sink console messages go straight to their streams and each progress
// tick writes one '.' to standard output.
ConsoleSink* set_console_sink(ConsoleSink* sink);

}  // namespace zelt::log
