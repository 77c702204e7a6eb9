#include "host/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>
#include <vector>

#include "host/keeping_errno.h"

namespace zelt::host {

namespace {

// The directory (with its trailing '/', or empty) and the name of a path.
std::pair<std::string, std::string> split_path(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// "<dir>/.<name>.<pid>.tmp" beside `final_path`.
std::string temporary_beside(const std::string& final_path) {
    const auto [dir, name] = split_path(final_path);
    return dir + "." + name + "." + std::to_string(::getpid()) + ".tmp";
}

// True for ".<name>.<digits>.tmp".
bool is_temporary_of(std::string_view entry, std::string_view name) {
    const std::string prefix = "." + std::string(name) + ".";
    constexpr std::string_view kSuffix = ".tmp";
    if (entry.size() <= prefix.size() + kSuffix.size() || entry.substr(0, prefix.size()) != prefix ||
        entry.substr(entry.size() - kSuffix.size()) != kSuffix)
        return false;
    const std::string_view digits = entry.substr(prefix.size(), entry.size() - prefix.size() - kSuffix.size());
    return digits.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(Host& host, std::string_view path, mode_t mode) {
    discard();
    final_ = host.map_path(path);
    temp_ = temporary_beside(final_);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(temp_.c_str(), flags, mode);
    if (fd < 0 && errno == EEXIST) {
        // No live process but this one uses this process id: the name is a leftover of
        // a run that was killed. It is unlinked, never followed.
        ::unlink(temp_.c_str());
        fd = ::open(temp_.c_str(), flags, mode);
    }
    if (fd < 0) {
        temp_.clear();
        return false;
    }
    guard_ = std::make_unique<RemoveOnInterrupt>(temp_);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        keeping_errno([&] {
            ::close(fd);
            discard();
        });
        return false;
    }
    return true;
}

bool OutputFile::write(std::span<const uint8_t> data) {
    if (!file_) {
        errno = EBADF;
        return false;
    }
    if (data.empty()) return true;
    // Straight to the descriptor, after whatever a writer printed into the stream: the
    // bytes are not copied through the stream's buffer on their way.
    if (std::fflush(file_) != 0) return false;
    const int fd = ::fileno(file_);
    const uint8_t* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::write(std::string_view text) {
    return write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool OutputFile::commit() { return close_and_rename(true); }

bool OutputFile::commit_transient() { return close_and_rename(false); }

bool OutputFile::close_and_rename(bool to_disk) {
    if (!file_) {
        errno = EBADF;
        return false;
    }
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && (!to_disk || ::fsync(::fileno(file_)) == 0);
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (ok && ::rename(temp_.c_str(), final_.c_str()) == 0) {
        temp_.clear();
        guard_.reset();
        return true;
    }
    keeping_errno([&] { discard(); });
    return false;
}

bool OutputFile::commit_new() {
    if (!file_) {
        errno = EBADF;
        return false;
    }
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && ::fsync(::fileno(file_)) == 0;
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    // link() never replaces and never follows a link at the final name: anything there
    // (a file, a dangling or planted symbolic link) makes it fail with EEXIST.
    if (ok && ::link(temp_.c_str(), final_.c_str()) == 0) {
        discard();
        return true;
    }
    keeping_errno([&] { discard(); });
    return false;
}

void OutputFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    guard_.reset();
}

void remove_leftover_temporaries(Host& host, std::string_view path) {
    const auto [dir, name] = split_path(host.map_path(path));
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!listing) return;
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(listing)) {
        if (is_temporary_of(entry->d_name, name)) leftovers.push_back(dir + entry->d_name);
    }
    ::closedir(listing);
    for (const std::string& leftover : leftovers) ::unlink(leftover.c_str());
}

bool write_file_replacing(Host& host, std::string_view path, std::span<const uint8_t> data, mode_t mode) {
    OutputFile out;
    return out.open(host, path, mode) && out.write(data) && out.commit();
}

bool link_replacing(Host& host, std::string_view path, int fd) {
    const std::string final_path = host.map_path(path);
    const std::string temp = temporary_beside(final_path);
    const std::string source = "/proc/self/fd/" + std::to_string(fd);
    // A leftover of a killed run of the same process id is unlinked, never followed.
    ::unlink(temp.c_str());
    // The staged file is read by others than this process: readable, as a written one is.
    if (::fchmod(fd, 0644) != 0) return false;
    // Through /proc the descriptor names the unnamed file itself; linkat never creates
    // through a symbolic link planted at the new name.
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        keeping_errno([&] { ::fchmod(fd, 0600); });
        return false;
    }
    RemoveOnInterrupt guard(temp);
    if (::rename(temp.c_str(), final_path.c_str()) == 0) return true;
    keeping_errno([&] { ::unlink(temp.c_str()); });
    return false;
}

}  // namespace zelt::host
