// The PCI mailbox road of a firmware message. The register handshake is not built
// yet: every exchange is refused with a log line naming the function.
#include "transport/mailbox.h"

#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt::transport {

Result mailbox_exchange(const PciAddress& a, const Message&) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "PCI mailbox is not available in this build (%x:%x:%x.%x)\n", a.domain,
                  a.bus, a.device, a.function);
    return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
}

}  // namespace zelt::transport
