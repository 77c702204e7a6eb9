// Cleanup on a failure path that must not change errno, which tells the caller why the
// work failed.
#pragma once

#include <cerrno>

namespace zelt::host {

// Runs `cleanup` and restores errno as it was before.
template <class F>
void keeping_errno(F cleanup) {
    const int saved = errno;
    cleanup();
    errno = saved;
}

}  // namespace zelt::host
