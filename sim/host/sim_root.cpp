#include "sim/host/sim_root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace zelt::sim {

namespace {

// Whether a user other than `self` (or root) may change the entries of a directory.
// In a sticky directory group and others may only add entries and change their own,
// which is harmless when `sticky_is_safe`; its owner may still change any of them.
bool others_may_write(const struct stat& st, uid_t self, bool sticky_is_safe) {
    if (st.st_uid != self && st.st_uid != 0 && (st.st_mode & S_IWUSR)) return true;
    if (sticky_is_safe && (st.st_mode & S_ISVTX)) return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

}  // namespace

bool accept_sim_root(const std::string& dir, std::string& resolved, std::string& error) {
    const uid_t self = ::geteuid();
    char* real = ::realpath(dir.c_str(), nullptr);
    struct stat st;
    if (!real || ::stat(real, &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::free(real);
        error = "ZELTNVM_SIM='" + dir + "' is not a directory of a simulated host";
        return false;
    }
    resolved = real;
    std::free(real);
    if (st.st_uid != self) {
        error = "ZELTNVM_SIM='" + dir + "' is refused: it belongs to user " + std::to_string(st.st_uid) +
                ", not to the user running zeltnvm (" + std::to_string(self) + ")";
        return false;
    }
    if (others_may_write(st, self, false)) {
        error = "ZELTNVM_SIM='" + dir + "' is refused: other users may write it";
        return false;
    }
    // Every directory above it, up to the root directory.
    std::string path = resolved;
    while (path.size() > 1) {
        const size_t slash = path.rfind('/');
        path.erase(slash == 0 ? 1 : slash);
        if (::lstat(path.c_str(), &st) != 0) {
            error = "ZELTNVM_SIM='" + dir + "' is refused: " + path + ": " + std::strerror(errno);
            return false;
        }
        if (others_may_write(st, self, true)) {
            error = "ZELTNVM_SIM='" + dir + "' is refused: other users may write " + path;
            return false;
        }
    }
    return true;
}

}  // namespace zelt::sim
