// The identity steps of a -recovery installation (filled in below as they are built).
#include "cli/install/recovery_steps.h"

int zeltnvm_recovery_before_install(const zelt_update_row&, const uint8_t*, uint32_t, options*) { return 0; }

int zeltnvm_recovery_after_install(const zelt_update_row&, const char*, options*) { return 0; }
