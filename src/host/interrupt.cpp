#include "host/interrupt.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>
#include <utility>

namespace zelt::host {

namespace {

volatile std::sig_atomic_t g_signal = 0;
ExitRoutine g_routine = nullptr;
pthread_t g_driving_thread;
std::atomic<bool> g_exiting{false};

// The CarryThrough state, touched only by the driving thread.
struct CarryState {
    int open = 0;          // CarryThrough objects alive
    bool armed = false;    // the firmware has the work: interruption points wait
    bool carried = false;  // a signal waited for the work to end
};
CarryState g_carry;

// The files to remove on interruption: slots hold pointers to the registrations' own
// strings, touched only by the driving thread.
const std::string* g_remove_on_interrupt[RemoveOnInterrupt::kMaxRemoveOnInterrupt] = {};

// Newest first, so that the files made in a registered directory go before it.
void remove_registered_files() {
    for (int i = RemoveOnInterrupt::kMaxRemoveOnInterrupt - 1; i >= 0; --i) {
        const std::string*& path = g_remove_on_interrupt[i];
        if (path && ::unlink(path->c_str()) != 0 && errno == EISDIR) ::rmdir(path->c_str());
        path = nullptr;
    }
}

extern "C" void record_signal(int signal) { g_signal = signal; }

// Installs the recording handler; `flags` decides whether interrupted calls restart.
void install_handler(int flags) {
    struct sigaction action{};
    action.sa_handler = record_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::sigaction(signal, &action, nullptr);
}

}  // namespace

void catch_interrupts(ExitRoutine routine) {
    g_driving_thread = pthread_self();
    g_routine = routine;
    install_handler(SA_RESTART);
}

InterruptibleWait::InterruptibleWait() {
    if (g_routine) install_handler(0);
}

InterruptibleWait::~InterruptibleWait() {
    if (g_routine) install_handler(SA_RESTART);
}

int pending_interrupt() { return g_signal; }

void interruption_point() {
    const int signal = g_signal;
    if (signal == 0 || g_routine == nullptr || !pthread_equal(pthread_self(), g_driving_thread)) return;
    if (g_carry.armed) return;
    if (g_exiting.exchange(true)) return;
    remove_registered_files();
    g_routine(signal);
}

void stop_acting_on_interrupts() { g_exiting = true; }

CarryThrough::CarryThrough() { ++g_carry.open; }

CarryThrough::~CarryThrough() {
    if (--g_carry.open > 0) return;
    if (g_carry.armed && g_signal != 0) g_carry.carried = true;
    g_carry.armed = false;
}

void arm_carry_through() {
    if (g_carry.open > 0) g_carry.armed = true;
}

void disarm_carry_through() { g_carry.armed = false; }

bool signal_carried_through() { return g_carry.carried; }

RemoveOnInterrupt::RemoveOnInterrupt(std::string path) : path_(std::move(path)) {
    for (int i = 0; i < kMaxRemoveOnInterrupt; ++i) {
        if (g_remove_on_interrupt[i] == nullptr) {
            g_remove_on_interrupt[i] = &path_;
            slot_ = i;
            return;
        }
    }
}

RemoveOnInterrupt::~RemoveOnInterrupt() {
    if (slot_ >= 0) g_remove_on_interrupt[slot_] = nullptr;
}

}  // namespace zelt::host
