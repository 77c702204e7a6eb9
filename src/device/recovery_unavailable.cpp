// Stand-in for the recovery code until it is built: the entry flow fails clearly and
// there is no fastboot state to clear.
#include "device/recovery.h"

#include "log/print.h"

bool zeltnvm_fastboot_enabled = false;
bool indirect_mode = false;

int zeltnvm_invoke_recovery_process(const char*, int, bool, int) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Recovery is not available in this build.\n");
    return 2;
}

int32_t zeltnvm_clear_fastboot_regs(const char*, int, uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }
