// NVM configuration options are not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int zeltnvm_option_check(const char*, int command, options*, int, char (*)[ZELT_ARG_LEN]) {
    return zeltnvm_command_unavailable(cmd_str[command]);
}

int zeltnvm_option_command(const char*, int command, options*, int, char (*)[ZELT_ARG_LEN]) {
    return zeltnvm_command_unavailable(cmd_str[command]);
}

int zeltnvm_optionhelp_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) {
    return zeltnvm_command_unavailable("optionhelp");
}
