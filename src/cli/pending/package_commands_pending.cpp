// Package file commands are not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int invoke_package_commands(char**, int, int command, options*) {
    return zeltnvm_command_unavailable(command >= 0 && command < ZELT_CMD_COUNT ? cmd_str[command] : "?");
}
