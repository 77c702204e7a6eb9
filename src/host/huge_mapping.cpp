#include "host/huge_mapping.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zelt::host {

void* map_file_aligned(int fd, size_t size, int prot, int flags) {
    if (size < kHugePieceBytes) return ::mmap(nullptr, size, prot, flags, fd, 0);
    // A reservation one piece larger, then the mapping placed over its first boundary
    // and the rest of the reservation given back.
    void* reserved = ::mmap(nullptr, size + kHugePieceBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                            -1, 0);
    if (reserved == MAP_FAILED) return ::mmap(nullptr, size, prot, flags, fd, 0);
    const auto start = reinterpret_cast<uintptr_t>(reserved);
    const uintptr_t aligned = (start + kHugePieceBytes - 1) & ~(uintptr_t{kHugePieceBytes} - 1);
    void* mapped = ::mmap(reinterpret_cast<void*>(aligned), size, prot, flags | MAP_FIXED, fd, 0);
    if (mapped == MAP_FAILED) {
        const int err = errno;
        ::munmap(reserved, size + kHugePieceBytes);
        errno = err;
        return MAP_FAILED;
    }
    if (aligned > start) ::munmap(reserved, aligned - start);
    const uintptr_t end = aligned + size, reserved_end = start + size + kHugePieceBytes;
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t tail = (end + page - 1) / page * page;
    if (reserved_end > tail) ::munmap(reinterpret_cast<void*>(tail), reserved_end - tail);
    ::madvise(mapped, size, MADV_HUGEPAGE);  // advice only: a kernel without it maps pages
    return mapped;
}

namespace {

// The bytes up to the next 2 MiB boundary after `offset`, at most `left`.
uint64_t to_boundary(uint64_t offset, uint64_t left) {
    return std::min<uint64_t>(left, kHugePieceBytes - offset % kHugePieceBytes);
}

// One 2 MiB-aligned buffer of at most 2 MiB, on a huge page when the kernel has one to
// give. A write of a whole piece must come from one buffer: the page cache sizes what
// it takes by each buffer of the write.
class PieceBuffer {
public:
    explicit PieceBuffer(uint64_t wanted)
        : length_(static_cast<size_t>(std::min<uint64_t>(wanted, kHugePieceBytes))),
          mem_(::mmap(nullptr, length_ + kHugePieceBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {
        if (mem_ == MAP_FAILED) return;
        const auto start = reinterpret_cast<uintptr_t>(mem_);
        data_ = reinterpret_cast<uint8_t*>((start + kHugePieceBytes - 1) & ~(uintptr_t{kHugePieceBytes} - 1));
        ::madvise(data_, length_, MADV_HUGEPAGE);
    }
    ~PieceBuffer() {
        if (mem_ != MAP_FAILED) ::munmap(mem_, length_ + kHugePieceBytes);
    }
    PieceBuffer(const PieceBuffer&) = delete;
    PieceBuffer& operator=(const PieceBuffer&) = delete;

    uint8_t* data() const { return data_; }  // null when no memory was to be had

private:
    size_t length_;
    void* mem_;
    uint8_t* data_ = nullptr;
};

// Writes [p, p + n) at `offset` whole. 0, or the errno (EIO for a write of nothing).
int write_all(int fd, const uint8_t* p, size_t n, uint64_t offset) {
    for (size_t put = 0; put < n;) {
        const ssize_t w = ::pwrite(fd, p + put, n - put, static_cast<off_t>(offset + put));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return w == 0 ? EIO : errno;
        put += static_cast<size_t>(w);
    }
    return 0;
}

}  // namespace

int write_repeated(int fd, uint64_t offset, uint64_t count, uint8_t value) {
    if (count == 0) return 0;
    const PieceBuffer buffer(count + offset % kHugePieceBytes);
    if (!buffer.data()) return errno;
    std::memset(buffer.data(), value, static_cast<size_t>(std::min<uint64_t>(count + offset % kHugePieceBytes,
                                                                             kHugePieceBytes)));
    while (count > 0) {
        const uint64_t n = to_boundary(offset, count);
        if (const int err = write_all(fd, buffer.data(), static_cast<size_t>(n), offset); err != 0) return err;
        offset += n;
        count -= n;
    }
    return 0;
}

int copy_in_pieces(int in, int out, uint64_t size) {
    if (size == 0) return 0;
    const PieceBuffer buffer(size);
    if (!buffer.data()) return errno;
    for (uint64_t offset = 0; offset < size;) {
        const size_t n = static_cast<size_t>(to_boundary(offset, size - offset));
        for (size_t got = 0; got < n;) {
            const ssize_t r = ::pread(in, buffer.data() + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return r == 0 ? EIO : errno;
            got += static_cast<size_t>(r);
        }
        if (const int err = write_all(out, buffer.data(), n, offset); err != 0) return err;
        offset += n;
    }
    return 0;
}

}  // namespace zelt::host
