// Eye diagrams are not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int zeltnvm_ether_eye_diagram_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("ether_serdes_eye_diagram"); }
int zeltnvm_pci_eye_diagram_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("pci_eye_diagram"); }
