// zeltsim coredump-info: lists the segments and the dump record of a core dump file
// written by zeltnvm.
#pragma once

#include <string>

namespace zelt::sim {

// Prints the listing of `path` to standard output. 0, or 1 with a message on standard
// error when the file cannot be read or is damaged.
int coredump_info(const std::string& path);

}  // namespace zelt::sim
