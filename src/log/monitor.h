// Progress dots during long operations: a thread that writes one '.' to standard
// output per second until it is stopped. One monitor per process.
#pragma once

namespace zelt {

// Starts the dots (does nothing when they are already running). When the thread
// cannot be created, logs "Failed to create thread" and the operation goes on.
void zeltnvm_start_monitor();
// Stops the dots and waits for the thread to end; does nothing when none runs.
void zeltnvm_stop_monitor();

}  // namespace zelt
