#include "host/file_snapshot.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>
#include <utility>

#include "host/regular_input.h"

namespace zelt::host {

namespace {

// Keeps errno across a cleanup call.
template <class F>
void keeping_errno(F cleanup) {
    const int saved = errno;
    cleanup();
    errno = saved;
}

// Copies `size` bytes from the start of `in` to `out` with read and write. 0, or the
// errno of the failure (EIO when the input ends early).
int copy_by_reading(int in, int out, uint64_t offset, uint64_t size) {
    constexpr size_t kPiece = size_t{1} << 20;
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kPiece]);
    if (!buffer) return ENOMEM;
    while (offset < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, size - offset));
        const ssize_t n = ::pread(in, buffer.get(), want, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? EIO : errno;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(out, buffer.get() + done, static_cast<size_t>(n - done),
                                       static_cast<off_t>(offset) + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return w == 0 ? EIO : errno;
            done += w;
        }
        offset += static_cast<uint64_t>(n);
    }
    return 0;
}

// Copies the first `size` bytes of `in` to `out` inside the kernel, or by reading and
// writing where the kernel will not copy between these two files. 0, or the errno of
// the failure (EIO when the input ends early).
int copy_file(int in, int out, uint64_t size) {
    uint64_t copied = 0;
    while (copied < size) {
        loff_t from = static_cast<loff_t>(copied);
        loff_t to = static_cast<loff_t>(copied);
        const ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<size_t>(size - copied), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == ENOSYS || errno == EXDEV || errno == EOPNOTSUPP || errno == EINVAL ||
                      errno == EPERM || errno == ETXTBSY))
            return copy_by_reading(in, out, copied, size);
        if (n <= 0) return n == 0 ? EIO : errno;
        copied += static_cast<uint64_t>(n);
    }
    return 0;
}

}  // namespace

FileSnapshot::~FileSnapshot() { reset(); }

FileSnapshot::FileSnapshot(FileSnapshot&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

FileSnapshot& FileSnapshot::operator=(FileSnapshot&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = std::exchange(other.fd_, -1);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void FileSnapshot::reset() {
    keeping_errno([&] {
        if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
        if (fd_ >= 0) ::close(fd_);
    });
    fd_ = -1;
    data_ = nullptr;
    size_ = 0;
}

SnapshotMade FileSnapshot::make(const std::string& path, uint64_t max_size, const std::string& directory) {
    reset();
    // The place first: where it cannot take an unnamed file, the input is left for the
    // caller's own read to judge.
    const int out = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (out < 0) return SnapshotMade::kNoPlace;
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0) keeping_errno([&] { ::close(fd); });
        }
    } out_closer{out}, in_closer{-1};

    uint64_t size = 0;
    switch (open_regular_input(path, max_size, in_closer.fd, size)) {
        case FileRead::kOk: break;
        case FileRead::kOpenFailed: return SnapshotMade::kOpenFailed;
        case FileRead::kNotRegular: return SnapshotMade::kNotRegular;
        case FileRead::kTooLarge: return SnapshotMade::kTooLarge;
        case FileRead::kNoMemory:
        case FileRead::kReadFailed: return SnapshotMade::kReadFailed;
    }
    if (const int err = copy_file(in_closer.fd, out, size); err != 0) {
        // A full or quota-bound directory is a place problem, not the input's.
        errno = err;
        return err == ENOSPC || err == EDQUOT ? SnapshotMade::kNoPlace : SnapshotMade::kReadFailed;
    }
    // A file that grew while it was copied is refused as one that shrank: the copy
    // would be neither the file before nor after.
    struct stat in_after, out_after;
    if (::fstat(in_closer.fd, &in_after) != 0 || ::fstat(out, &out_after) != 0) return SnapshotMade::kReadFailed;
    if (static_cast<uint64_t>(in_after.st_size) != size || static_cast<uint64_t>(out_after.st_size) != size) {
        errno = EIO;
        return SnapshotMade::kReadFailed;
    }
    const void* base = nullptr;
    if (size > 0) {
        // Populated at once: the whole copy is read (checked, hashed) straight after.
        base = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED | MAP_POPULATE, out, 0);
        if (base == MAP_FAILED) return SnapshotMade::kNoPlace;
    }
    fd_ = std::exchange(out_closer.fd, -1);
    data_ = static_cast<const uint8_t*>(base);
    size_ = static_cast<size_t>(size);
    return SnapshotMade::kOk;
}

}  // namespace zelt::host
