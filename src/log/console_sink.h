// Where the console side of the print routine and the progress of long operations go
// while the front end collects a run's output (for a report rendered at the end, e.g.
// as JSON).
#pragma once

#include <string>
#include <string_view>

namespace zelt::log {

// Where a long operation stands when the progress monitor looks, once a second.
struct ProgressState {
    std::string phase;   // what is being done ("Flashing"); never empty
    int permille = -1;   // done, in tenths of a percent; -1 while the road does not say
    unsigned seconds = 0;  // whole seconds since the operation started
};

class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    // A console message as the print routine formatted it, at its level (ZELT_LVL_*).
    // Returns true when the message is still to be written to its stream.
    virtual bool console_message(int level, std::string_view text) = 0;
    // One tick of the progress monitor (a second of a long operation).
    virtual void progress_tick(const ProgressState& state) = 0;
    // The operation that ticked at least once has ended (not called when the run is
    // stopped by a signal in the middle of it).
    virtual void progress_ended(const ProgressState& state) = 0;
};

// Installs `sink` (nullptr: none) for the process; returns the sink it replaces.
// Without a sink console messages go straight to their streams and each progress
// tick writes one '.' to standard output.
ConsoleSink* set_console_sink(ConsoleSink* sink);

}  // namespace zelt::log
