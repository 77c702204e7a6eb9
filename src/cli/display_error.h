// The standard failure report of a command handler.
#pragma once

#include <cstdint>

namespace zelt::cli {

// Reports a handler's failure `rc` for command `cmd` and returns the result the
// handler should return:
// - busy (16 or -16): "Error: Adapter is busy. Please try again after some time"
//   (console and log), result 21;
// - HVXRETVAL_INVALID_SYNTAX: "Error: Invalid syntax. Please run "zeltnvm <word> -h"
//   for help." on standard error, result 15;
// - otherwise "Error: <the command's failure text>" on standard error, result `rc`.
int zeltnvm_display_error_msg(int cmd, int32_t rc);

// Prints the syntax error of a command word to standard error (and the log).
void zeltnvm_print_syntax_error(int cmd);

}  // namespace zelt::cli
