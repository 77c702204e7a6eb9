#include "log/monitor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "log/log_state.h"
#include "log/print.h"

namespace zelt {

namespace {

using zelt::log::ConsoleSink;
using zelt::log::state;

// The one-second wait is real time even on the simulated host: the dots show a
// person that the tool is alive, they measure nothing.
struct Monitor {
    std::atomic<bool> cmd_status{false};  // set to end the thread
    std::mutex mutex;
    std::condition_variable wake;
    std::thread thread;

    // A run that ends without stopping the dots must not leave a joinable thread.
    ~Monitor() {
        if (!thread.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            cmd_status = true;
        }
        wake.notify_all();
        thread.join();
    }
};

Monitor& monitor() {
    static Monitor m;
    return m;
}

void run_dots(Monitor* m) {
    std::unique_lock<std::mutex> lock(m->mutex);
    for (;;) {
        if (m->wake.wait_for(lock, std::chrono::seconds(1), [m] { return m->cmd_status.load(); })) return;
        if (ConsoleSink* sink = state().sink) {
            sink->progress_tick();
        } else {
            std::fputc('.', stdout);
            std::fflush(stdout);
        }
    }
}

}  // namespace

void zeltnvm_start_monitor() {
    Monitor& m = monitor();
    if (m.thread.joinable()) return;
    m.cmd_status = false;
    try {
        m.thread = std::thread(run_dots, &m);
    } catch (const std::system_error&) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to create thread\n");
    }
}

void zeltnvm_stop_monitor() {
    Monitor& m = monitor();
    if (!m.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        m.cmd_status = true;
    }
    m.wake.notify_all();
    m.thread.join();
}

}  // namespace zelt
