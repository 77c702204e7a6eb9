#include "cli/device_commands/device_command_common.h"

#include "log/print.h"

namespace zelt::cli {

int argument_error(const char* message) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", message);
    return kResultInvalidArgument;
}

const device::InventoryFunction* selected_function(const ParsedCommand& parsed) { return parsed.device; }

int device_missing() {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Can't set device properties on option\n");
    return -1;
}

}  // namespace zelt::cli
