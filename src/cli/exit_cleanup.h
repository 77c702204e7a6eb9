// Routines the exit path runs to leave the adapter as it found it.
#pragma once

namespace zelt::cli {

// Stops a PCIe eye-scope test recorded as running (target BER 1e-8).
void zeltnvm_stop_running_eye_scope();
// Clears the host mailbox request/response flags and releases the PCI lock if this
// process holds them.
void zeltnvm_release_pci_mailbox();

}  // namespace zelt::cli
