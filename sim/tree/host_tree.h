// The simulated host's file tree: sysfs and procfs as the utility and libpci read
// them, the firmware-channel device node and the firmware directory.
//
// The tree is derived entirely from the host description; it is rebuilt whenever the
// description changes (a driver unloaded, a function bound to the pass-through
// driver, the VF count changed), so it always agrees with it.
#pragma once

#include <string>

#include "sim/state/description.h"

namespace zelt::sim {

// (Re)writes <root>/sys, <root>/proc and <root>/dev/zelt_lfc; creates <root>/lib/firmware,
// <root>/etc, <root>/var/log and <root>/tmp when missing. False with `error` on failure.
bool render_host_tree(const std::string& root, const HostDesc& host, std::string& error);

}  // namespace zelt::sim
