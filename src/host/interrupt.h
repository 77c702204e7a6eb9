// Interruption of a run by a signal: SIGINT, SIGTERM, SIGHUP (the terminal or the ssh
// session went away), SIGQUIT and SIGPIPE (the reader of the output went away).
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

// Installs the recording handler for those signals. `routine` runs on the calling
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

// Work that, once the firmware has taken it on, is carried to its end before a signal
// stops the run: after a package is installed, the install log and the adapter's
// identity (MAC addresses and the rest) are written back whatever comes meanwhile,
// since a run stopped in between leaves an adapter without its own addresses.
//
// A CarryThrough is opened around such work and holds nothing at first: before the
// firmware has the work a signal stops the run as anywhere else. The code that sends
// the request handing the work to the firmware arms it just before (arm_carry_through)
// and disarms it again when the request failed (disarm_carry_through: the firmware
// took nothing on). While it is armed, interruption points leave a signal recorded;
// once the CarryThrough closes, the next interruption point acts on it.
class CarryThrough {
public:
    CarryThrough();
    ~CarryThrough();
    CarryThrough(const CarryThrough&) = delete;
    CarryThrough& operator=(const CarryThrough&) = delete;
};

// Arms the open CarryThrough of the driving thread; nothing without one.
void arm_carry_through();
// Disarms it: signals are acted on again from the next interruption point.
void disarm_carry_through();
// True when a signal came while a CarryThrough was armed and the work was carried to
// its end before the signal was acted on (the exit routine says so).
bool signal_carried_through();

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
// outlives an interrupted run. A directory is removed when it is empty by then; the
// newest registrations go first, so a directory registered before its files goes too. Registrations nest; at most kMaxRemoveOnInterrupt are
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
