// Releasing the mailbox when the process faults while BAR0 is mapped: a SIGSEGV
// handler clears the host's handshake bits (HRTS, HCTS, data valid) so that the next
// exchange of any process starts clean, then lets the fault end the process as before.
// The handler uses only volatile register accesses of the mapped window: no locks, no
// allocation.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace zelt::transport {

// Records the mapped window and its mailbox CTRL address for the handler (installed on
// first use).
void mailbox_release_arm(host::RegisterWindow* window, uint32_t ctrl_address);
// Forgets them: called before the window is unmapped.
void mailbox_release_forget();

// What the handler does, callable directly: clears the host's bits on the armed window.
// Returns false when nothing is armed.
bool mailbox_release_now();

}  // namespace zelt::transport
