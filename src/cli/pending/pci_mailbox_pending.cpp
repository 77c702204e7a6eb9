// Direct hardware access is not part of this build yet: no mailbox flags or PCI lock
// can be held, so the exit routine has nothing to release.
#include "cli/front_end_hooks.h"

void zeltnvm_release_pci_mailbox() {}
