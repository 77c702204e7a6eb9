#include "sim/state/sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zelt::sim {

namespace {

// Keeps the descriptor only when it is a regular file.
int regular_only(int fd) {
    if (fd < 0) return fd;
    struct stat st;
    const bool stated = ::fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        const int saved = stated ? EINVAL : errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace

int open_sim_file(const std::string& path, int flags, mode_t mode) {
    // O_NONBLOCK keeps a planted pipe from stalling the open. Only regular files are
    // kept, and on those the flag changes nothing, so it is left set (sparing two
    // system calls on every one of the many small files a simulated host reads).
    const int base = flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    if (!(flags & O_CREAT)) return regular_only(::open(path.c_str(), base | O_NONBLOCK));
    const bool must_be_new = (flags & O_EXCL) != 0;
    // A file removed between the two opens is tried again; a few rounds are plenty.
    for (int round = 0; round < 4; ++round) {
        int fd = ::open(path.c_str(), base | O_EXCL, mode);
        if (fd >= 0 || errno != EEXIST || must_be_new) return fd;
        fd = regular_only(::open(path.c_str(), (base & ~O_CREAT) | O_NONBLOCK));
        if (fd >= 0) return fd;
        if (errno != ENOENT) return -1;
    }
    errno = EAGAIN;
    return -1;
}

bool read_sim_file(const std::string& path, std::string& data) {
    const int fd = open_sim_file(path, O_RDONLY);
    if (fd < 0) return false;
    data.clear();
    char buf[16384];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        data.append(buf, static_cast<size_t>(n));
        // A regular file gives fewer bytes than asked for only at its end: most files of
        // a simulated host (sysfs attributes) take one read and no second one to find it.
        if (static_cast<size_t>(n) < sizeof buf) break;
    }
    ::close(fd);
    return ok;
}

FILE* open_sim_stream(const std::string& path, const char* mode) {
    int flags = 0;
    const bool plus = std::strchr(mode, '+') != nullptr;
    switch (mode[0]) {
        case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
        case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
        case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
        default: errno = EINVAL; return nullptr;
    }
    const int fd = open_sim_file(path, flags);
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, mode);
    if (!f) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return f;
}

bool append_sim_file(const std::string& path, std::string_view text) {
    const int fd = open_sim_file(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && done == text.size();
}

}  // namespace zelt::sim
