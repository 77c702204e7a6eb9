// Progress of long operations: while a monitor runs, a thread looks once a second at
// where the operation stands and hands that to the console sink (which shows it as
// the run's output wants); without a sink it writes one '.' to standard output per
// second. Whoever shows the progress owns the monitor.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "log/console_sink.h"

namespace zelt::log {

class Monitor {
public:
    // Starts the progress of an operation named `phase` ("Flashing"). When the thread
    // cannot be created, logs "Failed to create thread" and the operation goes on
    // without progress.
    explicit Monitor(std::string_view phase = "Working");
    // Stops the progress.
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Stops the progress and waits for the thread to end; once it had shown anything,
    // the sink is told that the operation ended. Does nothing once stopped.
    void stop();

private:
    friend void stop_running_monitor();
    friend void report_progress(uint64_t done, uint64_t total);
    friend void set_progress_phase(std::string_view phase);
    // Ends the thread; the caller holds the log state's monitor lock. `finished`: the
    // operation ended (not a run stopped by a signal).
    void end_thread(bool finished);
    void run_ticks();
    ProgressState snapshot();

    // The one-second wait is real time even on the simulated host: the progress shows
    // a person that the tool is alive, it measures nothing.
    std::atomic<bool> cmd_status_{false};  // set to end the thread
    std::atomic<int> permille_{-1};
    std::mutex mutex_;  // guards phase_ and the wake-up
    std::condition_variable wake_;
    std::string phase_;
    std::chrono::steady_clock::time_point started_;
    unsigned ticks_ = 0;  // seconds shown; written by the thread, read after the join
    std::thread thread_;
};

// Stops the monitor that runs now, if any, and waits for its thread to end. The exit
// path calls it before it closes the log: a run that ends without unwinding (an
// interruption) shows no progress after its last message either.
void stop_running_monitor();

// Tells the monitor that runs now (if any) how far the operation is: `done` of
// `total` units. Code below the front end calls it from its transfer loops; it prints
// nothing itself.
void report_progress(uint64_t done, uint64_t total);
// Renames the step the running operation is in (if a monitor runs); how far it is
// becomes unknown again.
void set_progress_phase(std::string_view phase);

}  // namespace zelt::log
