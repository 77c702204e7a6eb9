#include "host/private_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace zelt::host {

std::unique_ptr<PrivateDirectory> PrivateDirectory::create(std::string_view prefix) {
    // The system's temporary tree, or the one TMPDIR names: mkdtemp makes a new
    // directory only this user can enter wherever it is.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = tmp && tmp[0] == '/' ? tmp : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    pattern.append(prefix);
    pattern += "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) return nullptr;
    return std::unique_ptr<PrivateDirectory>(new PrivateDirectory(name.data()));
}

PrivateDirectory::PrivateDirectory(std::string path) : path_(std::move(path)), guard_(path_) {}

PrivateDirectory::~PrivateDirectory() {
    for (const Entry& e : files_) ::unlink(e.path.c_str());
    files_.clear();
    ::rmdir(path_.c_str());
}

std::string PrivateDirectory::file(std::string_view name) const {
    std::string p = path_;
    p += '/';
    p.append(name);
    return p;
}

int PrivateDirectory::create_file(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) {
        errno = EINVAL;
        return -1;
    }
    const std::string p = file(name);
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return -1;
    // The mode asked for, whatever the umask.
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(p.c_str());
        errno = err;
        return -1;
    }
    files_.emplace_back(p);
    return fd;
}

void PrivateDirectory::remove(std::string_view name) {
    const std::string p = file(name);
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        if (it->path != p) continue;
        ::unlink(p.c_str());
        files_.erase(it);
        return;
    }
}

}  // namespace zelt::host
