// What the program's start and exit use of the front end: adapter discovery and the
// exit routines. Commands are described in cli/command_registry.h.
#pragma once

#include "cli/exit_cleanup.h"
#include "device/discovery.h"
