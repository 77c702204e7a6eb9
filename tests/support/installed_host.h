// The host a unit test works against. The libraries take the host they use as a
// parameter; a test fixture installs one here and hands it on, so helpers shared by
// many tests can reach the fixture's host. Header-only (one instance per test program).
#pragma once

#include <memory>

#include "host/host.h"
#include "host/linux_host.h"

namespace zelt::test {

inline std::unique_ptr<host::Host>& installed_host_slot() {
    static std::unique_ptr<host::Host> slot;
    return slot;
}

// The installed host; a real host with no path mapping until a test installs one.
inline host::Host& current_host() {
    auto& slot = installed_host_slot();
    if (!slot) slot = std::make_unique<host::LinuxHost>();
    return *slot;
}

inline void install_host(std::unique_ptr<host::Host> h) { installed_host_slot() = std::move(h); }

}  // namespace zelt::test
