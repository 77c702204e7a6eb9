// What a run tells its user beside the command's own output: the modes it runs in
// (a simulated host, a build that trusts the public test signing key), its start and
// end in the log, one-line hints after messages that leave the user stuck, and where
// the log file is when a message sends the user there.
#pragma once

#include <string>
#include <string_view>

#include "host/host.h"

namespace zelt::cli {

namespace report {
class Output;
}  // namespace report

// The line every run on a simulated host starts with on standard error.
inline constexpr const char* kSimulatedHostLine = "SIMULATED HOST: ";
// The warning of a build that accepts packages signed with the public test key.
inline constexpr const char* kTestKeyWarning =
    "WARNING: this build trusts the public test signing key: packages signed with it install as genuine.\n";

// True when the build verifies packages against the repository's public test key.
bool trusts_test_key();

// Before anything else of the run, on standard error: "SIMULATED HOST: <dir>" on a
// simulated host, and the test-key warning before `version` and `install`.
void show_run_modes(const host::Host& host, std::string_view command);

// What the run learns on its way that the notes at its end need.
struct RunNotes {
    std::string log_path;       // the log file as the user finds it
    bool log_open = false;      // the run writes to it
    bool found_functions = false;  // discovery found functions on the roads that use
                                   // the firmware-channel device
};

// Once the log is open: notes where it is, and logs the start line (arguments, user,
// process id) and, on a simulated host, that it is one.
void log_run_start(const host::Host& host, const char* log_path, int argc, char** argv, RunNotes& notes);
// The run's end line with its exit status (before the log is closed).
void log_run_end(int status);
// A run stopped by `signal`; called by the exit routine outside any signal handler.
void log_run_interrupted(int signal);

// One-line hints on standard error, each after the message it explains.
// A -dev= selector that names no function.
void hint_unknown_selector(std::string_view selector);
// A command that needs -dev= on a host with several adapters.
void hint_choose_selector();
// Discovery found no function the tool supports.
void hint_no_devices(host::Host& host);

// At the very end of the run, on standard error: the log file's path when a message
// sent the user to the log, and a hint when a failed run had no firmware-channel
// device to send messages through.
void show_next_steps(host::Host& host, const report::Output& output, const RunNotes& notes, int status);

}  // namespace zelt::cli
