// The PCIe eye scope is not part of this build yet; no test can be running.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int zeltnvm_pci_eye_scope_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("pci_eye_scope"); }

void zeltnvm_stop_running_eye_scope() {}
