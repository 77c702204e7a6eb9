// The report of a command whose family is not part of this build.
#pragma once

// Prints "Command '<word>' is not available in this build." to standard error and
// returns HVXRETVAL_UNSUPPORTED_OPERATION.
int zeltnvm_command_unavailable(const char* word);
