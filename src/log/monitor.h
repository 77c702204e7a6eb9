// Progress dots during long operations: while a monitor runs, a thread writes one '.'
// to standard output per second (or hands the tick to the console sink, which may
// keep it off standard output). Whoever shows the progress owns the monitor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelt::log {

class Monitor {
public:
    // Starts the dots. When the thread cannot be created, logs "Failed to create
    // thread" and the operation goes on without dots.
    Monitor();
    // Stops the dots.
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Stops the dots and waits for the thread to end; does nothing once they ended.
    void stop();

private:
    friend void stop_running_monitor();
    // Ends the thread; the caller holds the log state's monitor lock.
    void end_thread();
    void run_dots();

    // The one-second wait is real time even on the simulated host: the dots show a
    // person that the tool is alive, they measure nothing.
    std::atomic<bool> cmd_status_{false};  // set to end the thread
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

// Stops the monitor that runs now, if any, and waits for its thread to end. The exit
// path calls it before it closes the log: a run that ends without unwinding (an
// interruption) shows no dot after its last message either.
void stop_running_monitor();

}  // namespace zelt::log
