#include "host/host.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "host/linux_host.h"
#include "host/regular_input.h"

namespace zelt::host {

DownloadOutcome Host::download(std::string_view url, int fd, const DownloadLimits& limits) {
    return download_url(kUrlLibrary, url, fd, limits);
}

namespace {

// Asks for huge pages under a buffer of many megabytes (a package file) before it is
// first touched: a few hundred page faults instead of one for every 4 KiB. Only the
// whole huge pages inside the buffer are advised; a kernel without them ignores it.
void advise_large_buffer(void* data, size_t size) {
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (data == nullptr || size < 4 * kHuge) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

FILE* Host::open_file(std::string_view path, const char* mode) {
    return std::fopen(map_path(path).c_str(), mode);
}

bool Host::exists(std::string_view path) {
    struct stat st;
    return ::stat(map_path(path).c_str(), &st) == 0;
}

bool Host::is_directory(std::string_view path) {
    struct stat st;
    return ::stat(map_path(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Host::list_directory(std::string_view path, std::vector<std::string>& names) {
    // A plain directory stream: fewer system calls than a filesystem iterator, for the
    // many small sysfs directories discovery lists.
    DIR* dir = ::opendir(map_path(path).c_str());
    if (!dir) return false;
    names.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const bool ok = errno == 0;
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return ok;
}

bool Host::read_file(std::string_view path, std::string& data) {
    FILE* f = open_file(path, "rb");
    if (!f) return false;
    data.clear();
    // Read from the descriptor: the stream's own buffer would cost a status call and
    // a further read for each of the many small files read this way (sysfs attributes).
    const int fd = ::fileno(f);
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        data.append(buf, static_cast<size_t>(n));
    }
    std::fclose(f);
    return ok;
}

namespace {

// Reads [offset, offset + length) of the file into `p`. 0, or the errno of the
// failure (EIO when the file ends before).
int read_range(int fd, uint8_t* p, uint64_t offset, size_t length) {
    while (length > 0) {
        const ssize_t n = ::pread(fd, p, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? EIO : errno;
        p += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<size_t>(n);
    }
    return 0;
}

// From this size on, the second half of a file is read by a second thread: the copy
// out of the page cache and the faults of the buffer's fresh pages then run on two
// processors.
constexpr size_t kTwoReadersFrom = size_t{8} << 20;

int read_whole(int fd, uint8_t* p, size_t size) {
    if (size < kTwoReadersFrom) return read_range(fd, p, 0, size);
    // The halves meet on a huge-page boundary of the buffer, so no page is faulted in
    // by both threads.
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const uintptr_t middle = (reinterpret_cast<uintptr_t>(p) + size / 2 + kHuge - 1) & ~(kHuge - 1);
    const size_t half = static_cast<size_t>(middle - reinterpret_cast<uintptr_t>(p));
    int second_result = 0;
    std::thread second;
    try {
        second = std::thread([&] { second_result = read_range(fd, p + half, half, size - half); });
    } catch (const std::system_error&) {
        second_result = read_range(fd, p + half, half, size - half);
    }
    const int first_result = read_range(fd, p, 0, half);
    if (second.joinable()) second.join();
    return first_result != 0 ? first_result : second_result;
}

}  // namespace

FileRead open_regular_input(const std::string& mapped, uint64_t max_size, int& fd, uint64_t& size) {
    fd = ::open(mapped.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A socket cannot be opened at all; tell it apart from a missing file.
        struct stat st;
        if (errno == ENXIO && ::stat(mapped.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            errno = ENODEV;
            return FileRead::kNotRegular;
        }
        return FileRead::kOpenFailed;
    }
    auto refuse = [&](FileRead why, int err) {
        ::close(fd);
        fd = -1;
        errno = err;
        return why;
    };
    struct stat st;
    if (::fstat(fd, &st) != 0) return refuse(FileRead::kOpenFailed, errno);
    if (!S_ISREG(st.st_mode)) return refuse(FileRead::kNotRegular, S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
    size = static_cast<uint64_t>(st.st_size);
    if (size > max_size) return refuse(FileRead::kTooLarge, EFBIG);
    return FileRead::kOk;
}

namespace {

template <class Buffer>
FileRead read_regular(const std::string& mapped, uint64_t max_size, Buffer& data) {
    Buffer().swap(data);
    int fd = -1;
    uint64_t size = 0;
    if (const FileRead opened = open_regular_input(mapped, max_size, fd, size); opened != FileRead::kOk)
        return opened;
    struct Closer {
        int fd;
        ~Closer() {
            const int saved = errno;
            ::close(fd);
            errno = saved;
        }
    } closer{fd};
    try {
        data.reserve(static_cast<size_t>(size));
        advise_large_buffer(data.data(), static_cast<size_t>(size));
        data.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return FileRead::kNoMemory;
    }
    if (const int err = read_whole(fd, data.data(), data.size()); err != 0) {
        // Shrunk while being read, or an error: never hand on a partial file.
        Buffer().swap(data);
        errno = err;
        return FileRead::kReadFailed;
    }
    return FileRead::kOk;
}

}  // namespace

FileRead Host::read_regular_file(std::string_view path, uint64_t max_size, ByteBuffer& data) {
    return read_regular(map_path(path), max_size, data);
}

FileRead Host::read_regular_file(std::string_view path, uint64_t max_size, std::vector<uint8_t>& data) {
    return read_regular(map_path(path), max_size, data);
}

SnapshotMade Host::snapshot_regular_file(std::string_view path, uint64_t max_size, std::string_view directory,
                                         FileSnapshot& snapshot) {
    return snapshot.make(map_path(path), max_size, map_path(directory));
}

bool Host::write_file(std::string_view path, std::string_view data) {
    FILE* f = open_file(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

bool Host::read_link(std::string_view path, std::string& target) {
    char buf[4096];
    ssize_t n = ::readlink(map_path(path).c_str(), buf, sizeof buf - 1);
    if (n < 0) return false;
    target.assign(buf, static_cast<size_t>(n));
    return true;
}

bool Host::remove_file(std::string_view path) { return ::unlink(map_path(path).c_str()) == 0; }

bool Host::make_directories(std::string_view path) {
    std::error_code ec;
    std::filesystem::create_directories(map_path(path), ec);
    return !ec && is_directory(path);
}

int Host::glob_paths(std::string_view pattern, std::vector<std::string>& matches) {
    matches.clear();
    std::string mapped = map_path(pattern);
    std::string prefix = mapped.substr(0, mapped.size() - pattern.size());
    glob_t g{};
    int rc = ::glob(mapped.c_str(), 0, nullptr, &g);
    if (rc == 0) {
        for (size_t i = 0; i < g.gl_pathc; ++i) {
            std::string m = g.gl_pathv[i];
            // Report matches in host terms, without the simulated root.
            if (!prefix.empty() && m.compare(0, prefix.size(), prefix) == 0) m.erase(0, prefix.size());
            matches.push_back(std::move(m));
        }
    }
    globfree(&g);
    return rc;
}

bool Host::discard_stream(FILE* stream) {
    // The null device of the machine itself, also on the simulated host.
    return std::freopen("/dev/null", "w", stream) != nullptr;
}

struct tm Host::local_time(time_t t) {
    struct tm out{};
    localtime_r(&t, &out);
    return out;
}

}  // namespace zelt::host
