// Interruption of a run by SIGINT or SIGTERM.
//
// The signal handler only records the signal. The thread that drives the adapter acts
// on it at its next interruption point: after a driver call, ioctl or sleep of the
// host, and after a message was printed. There it runs the exit routine, in ordinary
// code, never inside the handler: no lock that the interrupted code holds (stdout's,
// a mutex of the progress thread) can be waited for by the handler, and an adapter
// request is never cut off half-way.
#pragma once

#include <string>

namespace zelt::host {

// The routine run at the first interruption point after a signal. It ends the process
// and does not return.
using ExitRoutine = void (*)(int signal);

// Installs the recording handler for SIGINT and SIGTERM. `routine` runs on the calling
// thread only; interruption points on other threads do nothing. Blocking system calls
// are restarted after the handler as before, except the host's sleeps, which end early.
void catch_interrupts(ExitRoutine routine);

// The signal recorded since catch_interrupts, or 0.
int pending_interrupt();

// Runs the exit routine when a signal is pending, this is the thread that installed it,
// and the routine is not already running (it may itself print or call the host). The
// files registered with RemoveOnInterrupt are removed first, since the routine ends the
// process without unwinding the stack.
void interruption_point();

// From now on signals are recorded but no longer acted on: the run is already ending.
void stop_acting_on_interrupts();

// While one is alive, a signal makes a blocking system call fail with EINTR instead of
// restarting it, so that a wait for the user (a prompt reading standard input) ends
// when the user interrupts; the waiting code calls interruption_point() after the call.
class InterruptibleWait {
public:
    InterruptibleWait();
    ~InterruptibleWait();
    InterruptibleWait(const InterruptibleWait&) = delete;
    InterruptibleWait& operator=(const InterruptibleWait&) = delete;
};

// While one is alive, the file at `path` (a path of the real file system, already
// mapped) is removed when the run is interrupted: a temporary or staged file never
// outlives an interrupted run. Registrations nest; at most kMaxRemoveOnInterrupt are
// alive at once (a further one is not registered).
class RemoveOnInterrupt {
public:
    static constexpr int kMaxRemoveOnInterrupt = 8;
    explicit RemoveOnInterrupt(std::string path);
    ~RemoveOnInterrupt();
    RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
    RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;

private:
    std::string path_;
    int slot_ = -1;
};

}  // namespace zelt::host
