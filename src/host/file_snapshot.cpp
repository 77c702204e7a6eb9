#include "host/file_snapshot.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "host/huge_mapping.h"
#include "host/keeping_errno.h"
#include "host/regular_input.h"

namespace zelt::host {

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
    // Copied through one buffer in aligned 2 MiB writes rather than inside the kernel:
    // the page cache then holds the copy in 2 MiB pieces, which the mapping below maps
    // a piece at a time, and on a virtual machine the first touch of every 4 KiB page
    // of a mapping costs more than the copy does.
    if (const int err = copy_in_pieces(in_closer.fd, out, size); err != 0) {
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
        base = map_file_aligned(out, static_cast<size_t>(size), PROT_READ, MAP_SHARED | MAP_POPULATE);
        if (base == MAP_FAILED) return SnapshotMade::kNoPlace;
    }
    fd_ = std::exchange(out_closer.fd, -1);
    data_ = static_cast<const uint8_t*>(base);
    size_ = static_cast<size_t>(size);
    return SnapshotMade::kOk;
}

}  // namespace zelt::host
