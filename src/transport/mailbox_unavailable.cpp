// Stand-in for the PCI mailbox until it is built: every exchange fails clearly.
#include "common/hvxretval.h"
#include "log/print.h"
#include "transport/mailbox.h"

int32_t zeltnvm_issue_pci_ioctl(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, void*, uint32_t,
                                void*, uint32_t, uint16_t, uint8_t, void*, uint32_t) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "PCI mailbox is not available in this build (%x:%x:%x.%x)\n", domain,
                  bus, device, function);
    return HVXRETVAL_UNSUPPORTED_OPERATION;
}
