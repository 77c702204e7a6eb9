// The front end's argument scan and dispatch.
#pragma once

#include "cli/options_record.h"

// Scans the arguments once, left to right (options, the command word, the device
// selector, file arguments), checks the chosen command's argument count and runs the
// command. Returns the command's result (the exit status is its low 8 bits).
// `debug` (may be nullptr) is the caller's trace flag; -debug sets it.
int cliHelper(int argc, char** argv, bool* debug);

// Checks the argument count and form of command `cmd` over the argument table as it
// stands after the implicit -dev= insertion (args[1] the selector, args[2] the
// command word when one was inserted). Prints the syntax error and returns
// HVXRETVAL_INVALID_SYNTAX when the rule fails; 0 otherwise. A fourth argument of
// setoption, getoption and optionhelp sets opts->force.
int zeltnvm_check_input_args(int cmd, int argc, char (*args)[ZELT_ARG_LEN], options* opts);
