#include "log/monitor.h"

#include <cstdio>
#include <system_error>

#include "log/log_state.h"
#include "log/print.h"

namespace zelt::log {

Monitor::Monitor(std::string_view phase) : phase_(phase.empty() ? "Working" : phase) {
    started_ = std::chrono::steady_clock::now();
    try {
        thread_ = std::thread(&Monitor::run_ticks, this);
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
    end_thread(true);
}

void Monitor::end_thread(bool finished) {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cmd_status_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (!finished || ticks_ == 0) return;
    if (ConsoleSink* sink = state().sink) sink->progress_ended(snapshot());
}

ProgressState Monitor::snapshot() {
    ProgressState now;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now.phase = phase_;
    }
    now.permille = permille_.load();
    now.seconds = static_cast<unsigned>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count());
    return now;
}

void Monitor::run_ticks() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return cmd_status_.load(); })) return;
        }
        ++ticks_;
        if (ConsoleSink* sink = state().sink) {
            sink->progress_tick(snapshot());
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
    s.monitor->end_thread(false);
    s.monitor = nullptr;
}

void report_progress(uint64_t done, uint64_t total) {
    if (total == 0) return;
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.monitor_mutex);
    if (!s.monitor) return;
    const uint64_t part = done >= total ? 1000 : done * 1000 / total;
    s.monitor->permille_ = static_cast<int>(part);
}

void set_progress_phase(std::string_view phase) {
    if (phase.empty()) return;
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.monitor_mutex);
    if (!s.monitor) return;
    std::lock_guard<std::mutex> own(s.monitor->mutex_);
    s.monitor->phase_ = phase;
    s.monitor->permille_ = -1;
}

}  // namespace zelt::log
