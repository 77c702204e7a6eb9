// The device command dispatcher is not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int invoke_device_commands(const char*, int command, char**, int, options*, int, char (*)[ZELT_ARG_LEN]) {
    return zeltnvm_command_unavailable(command >= 0 && command < ZELT_CMD_COUNT ? cmd_str[command] : "?");
}
