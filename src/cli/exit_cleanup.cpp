#include "cli/exit_cleanup.h"

namespace zelt::cli {

// The PCIe eye scope is not part of this build: no test can be running.
void zeltnvm_stop_running_eye_scope() {}

// Direct hardware access is not part of this build: no mailbox flags or PCI lock can be
// held, so there is nothing to release.
void zeltnvm_release_pci_mailbox() {}

}  // namespace zelt::cli
