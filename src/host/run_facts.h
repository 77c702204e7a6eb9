// Facts about the run that the tool shows its user and writes to its log: who asked
// for it, and whether its standard output is a terminal a person watches.
#pragma once

#include <string>

namespace zelt::host {

// The account the run is done for: SUDO_USER when the run came through sudo, else the
// name of the real user id (its number when the name is unknown).
std::string run_user_name();

// `path` as the user finds it from anywhere: a relative path is taken in the working
// directory (it is returned unchanged when that cannot be read).
std::string absolute_path(const std::string& path);

// True when standard output is a terminal (progress may then be redrawn in place).
bool stdout_is_terminal();

}  // namespace zelt::host
