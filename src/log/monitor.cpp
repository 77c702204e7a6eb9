#include "log/monitor.h"

#include <chrono>
#include <cstdio>
#include <system_error>

#include "log/log_state.h"
#include "log/print.h"

namespace zelt::log {

Monitor::Monitor() {
    try {
        thread_ = std::thread(&Monitor::run_dots, this);
    } catch (const std::system_error&) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to create thread\n");
        return;
    }
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.monitor_mutex);
    if (!s.monitor) s.monitor = this;
}

Monitor::~Monitor() { stop(); }

void Monitor::stop() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.monitor_mutex);
    if (s.monitor == this) s.monitor = nullptr;
    end_thread();
}

void Monitor::end_thread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cmd_status_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Monitor::run_dots() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return cmd_status_.load(); })) return;
        if (ConsoleSink* sink = state().sink) {
            sink->progress_tick();
        } else {
            std::fputc('.', stdout);
            std::fflush(stdout);
        }
    }
}

void stop_running_monitor() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.monitor_mutex);
    if (!s.monitor) return;
    s.monitor->end_thread();
    s.monitor = nullptr;
}

}  // namespace zelt::log
