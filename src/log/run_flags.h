// Process-wide flags of one run, set by the front end and read by lower layers.
#pragma once

#include <cstdint>

// Discovery has run (the mailbox code gives friendlier messages once it has).
extern bool zelt_util_init;
// Verbosity of the run (the -v count; all bits for -V). 0 is quiet.
extern uint32_t zeltnvm_verbose;
// The adapter is being reached in recovery mode (its firmware is being reloaded);
// NVM data then moves in small pieces.
extern bool recovery_mode_enabled;
