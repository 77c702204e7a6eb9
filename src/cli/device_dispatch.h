// The device command dispatcher: install and the device forms of the package, backup
// and query commands (invoke_device_commands is declared in cli/front_end_hooks.h).
#pragma once

#include "cli/options_record.h"

// Runs one device-level command on `device` (nullptr when no -dev= was given).
// Commands this dispatcher does not route print "command not supported: %d".
int zelt_invoke_device_command(const char* device, int command, char** files, int count, options* opts, int argc,
                               char (*args)[ZELT_ARG_LEN]);
