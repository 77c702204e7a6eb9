#include "cli/device_dispatch.h"

#include "cli/command_table.h"
#include "cli/command_unavailable.h"
#include "cli/device_queries.h"
#include "cli/front_end_hooks.h"
#include "cli/install/install_command.h"
#include "log/print.h"

int zelt_invoke_device_command(const char* device, int command, char** files, int count, options* opts, int,
                               char (*)[ZELT_ARG_LEN]) {
    switch (command) {
        case CMD_INSTALL: return zeltnvm_install_command(device, files, count, opts);
        case CMD_DEVID:
        case CMD_PKGVER:
            if (!device) return zeltnvm_device_command_all_adapters(command, opts);
            return command == CMD_DEVID ? zeltnvm_devid_device(device, opts) : zeltnvm_pkgver_device(device, opts);
        // Handlers that are not part of this build yet.
        case CMD_BACKUP:
        case CMD_VERIFY:
        case CMD_LIST:
        case CMD_VIEW:
        case CMD_MODULEINFO:
        case CMD_SAVEOPTIONS:
        case CMD_DEVICETEMP:
        case CMD_PCIECOUNTERS: return zeltnvm_command_unavailable(cmd_str[command]);
        default: zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "command not supported: %d\n", command); return -1;
    }
}

int invoke_device_commands(const char* device, int command, char** files, int count, options* opts, int argc,
                           char (*args)[ZELT_ARG_LEN]) {
    if (command == CMD_INSTALL) {
        if (!opts->arg && count > 0) opts->arg = files[0];
        if (!opts->arg && !opts->online) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command requires a filename argument\n");
            return -1;
        }
    }
    return zelt_invoke_device_command(device, command, files, count, opts, argc, args);
}
