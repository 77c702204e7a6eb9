// Recovery of an adapter whose firmware no longer boots from its NVM. This build does
// not start a recovery image: the preparation answers that recovery is not available,
// and there is never a fastboot state to clear.
#include "device/recovery.h"

#include "log/print.h"

namespace zelt::device {

Result zeltnvm_clear_fastboot_regs(const transport::Function&, int) { return Result(); }

ResultOr<SavedIdentity> zeltnvm_invoke_recovery_process(const InventoryFunction&, int, bool, bool) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "No recovery image handling in this build.\n");
    return Result::tool(kRecoveryUnavailable);
}

}  // namespace zelt::device
