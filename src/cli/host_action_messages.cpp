#include "cli/host_action_messages.h"

#include "log/print.h"

namespace zelt::cli {

void HostActionMessages::turning_off_vfs(const PciAddress& pf) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Turning off the configured sriov vf's on PCI device %04x:%02x:%02x.\n",
                  pf.domain, pf.bus, pf.device);
}

}  // namespace zelt::cli
