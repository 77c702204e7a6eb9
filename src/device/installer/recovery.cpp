// Recovery of an adapter whose firmware no longer boots from its NVM. This build does
// not start a recovery image: the preparation answers that recovery is not available,
// and there is never a fastboot state to clear.
#include "device/recovery.h"

#include "log/print.h"

namespace zelt::device {

Result zeltnvm_clear_fastboot_regs(const transport::Function&, int) { return Result(); }

namespace {

// Status of a recovery this build cannot run.
constexpr int32_t kRecoveryUnavailable = 2;

}  // namespace

ResultOr<SavedIdentity> zeltnvm_invoke_recovery_process(const InventoryFunction&, int, bool, bool) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Recovery is not available in this build.\n");
    return Result::tool(kRecoveryUnavailable);
}

}  // namespace zelt::device
