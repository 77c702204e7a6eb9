#include "transport/mailbox_release.h"

#include <signal.h>

#include <atomic>

#include "wire/pci_mailbox_registers.h"

namespace zelt::transport {
namespace {

namespace bar = wire::bar;

// A signal handler reaches only what is global. Lock-free atomics keep the reads in
// the handler safe whatever the interrupted code was doing.
std::atomic<host::RegisterWindow*> g_armed_window{nullptr};
std::atomic<uint32_t> g_armed_ctrl{0};
std::atomic<bool> g_handler_installed{false};
// The handling the process had before, put back by the handler.
struct sigaction g_previous_action {};

extern "C" void release_on_fault(int signal) {
    mailbox_release_now();
    // Put back the earlier handling; returning repeats the faulting access, which then
    // ends the process (or reaches the earlier handler) as it would have without this one.
    ::sigaction(signal, &g_previous_action, nullptr);
}

}  // namespace

bool mailbox_release_now() {
    host::RegisterWindow* window = g_armed_window.exchange(nullptr);
    if (!window) return false;
    const uint32_t ctrl = g_armed_ctrl.load();
    window->write32(bar::kWindowRegister, bar::window_base(ctrl));
    const uint32_t value = window->read32(bar::window_offset(ctrl));
    window->write32(bar::kWindowRegister, bar::window_base(ctrl));
    window->write32(bar::window_offset(ctrl), value & bar::kCtrlHostMask & ~bar::kCtrlDataValid);
    return true;
}

void mailbox_release_arm(host::RegisterWindow* window, uint32_t ctrl_address) {
    if (!g_handler_installed.exchange(true)) {
        struct sigaction action {};
        action.sa_handler = release_on_fault;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGSEGV, &action, &g_previous_action);
    }
    g_armed_ctrl.store(ctrl_address);
    g_armed_window.store(window);
}

void mailbox_release_forget() { g_armed_window.store(nullptr); }

}  // namespace zelt::transport
