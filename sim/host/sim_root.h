// Whether a directory may serve as the simulated host of this process.
//
// zeltnvm runs as root; a simulated host directory that another user could change
// would let that user steer root's writes (links planted under the simulator's file
// names, files swapped between a check and their use). A directory is accepted only
// when it belongs to the effective user, no other user may write it, and no directory
// on its resolved path may be written by another user unless it is sticky (as /tmp
// is: there nobody can rename or remove another user's entries).
#pragma once

#include <string>

namespace zelt::sim {

// True with `resolved` set to the directory's canonical path (the one to use from then
// on); false with a one-line reason in `error`.
bool accept_sim_root(const std::string& dir, std::string& resolved, std::string& error);

}  // namespace zelt::sim
