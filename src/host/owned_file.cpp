#include "host/owned_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "host/host.h"

namespace zelt::host {

OwnedFile open_owned_append(Host& host, std::string_view path, mode_t mode) {
    const std::string real = host.map_path(path);
    const int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    OwnedFile out;
    bool created = true;
    int fd = ::open(real.c_str(), flags | O_CREAT | O_EXCL, mode);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(real.c_str(), flags);
    }
    if (fd < 0) {
        out.error = errno;
        // O_NOFOLLOW refuses a link at the last component with ELOOP.
        out.outcome = errno == ELOOP ? OwnedOpen::kRefused : OwnedOpen::kOpenFailed;
        return out;
    }
    struct stat st {};
    const auto refuse = [&](OwnedOpen outcome, int error) {
        ::close(fd);
        out.outcome = outcome;
        out.error = error;
        return out;
    };
    if (::fstat(fd, &st) != 0) return refuse(OwnedOpen::kOpenFailed, errno);
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) return refuse(OwnedOpen::kRefused, EPERM);
    // The umask has no say over who may read the new file.
    if (created && ::fchmod(fd, mode) != 0) return refuse(OwnedOpen::kOpenFailed, errno);
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) return refuse(OwnedOpen::kOpenFailed, errno);
    out.file = ::fdopen(fd, "a+");
    if (!out.file) return refuse(OwnedOpen::kOpenFailed, errno);
    out.outcome = OwnedOpen::kOpened;
    return out;
}

}  // namespace zelt::host
