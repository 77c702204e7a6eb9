#include "host/file_reading.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace zelt::host {

namespace {

// From this size on, the second half of a file is read by a second thread: the copy
// out of the page cache and the faults of the buffer's fresh pages then run on two
// processors.
constexpr uint64_t kTwoReadersFrom = uint64_t{8} << 20;

// What a reader reads per call before it tells how far it has got: small enough that
// work on the bytes starts soon after the reading, large enough to cost few calls.
constexpr uint64_t kPiece = uint64_t{512} << 10;

}  // namespace

int read_file_range(int fd, uint8_t* p, uint64_t offset, uint64_t length) {
    while (length > 0) {
        const ssize_t n = ::pread(fd, p, static_cast<size_t>(length), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? EIO : errno;
        p += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<uint64_t>(n);
    }
    return 0;
}

FileReading::FileReading(int fd, ByteBuffer& data) : fd_(fd), data_(&data) {}

std::unique_ptr<FileReading> FileReading::start(int fd, uint64_t size, ByteBuffer& data) {
    std::unique_ptr<FileReading> reading(new FileReading(fd, data));
    Reader* const readers = reading->readers_;
    if (size < kTwoReadersFrom) {
        readers[0].to = size;
        reading->read(readers[0]);
        return reading;
    }
    // The halves meet on a huge-page boundary of the buffer, so no page is faulted in
    // by both readers.
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const auto base = reinterpret_cast<uintptr_t>(data.data());
    const uint64_t half = ((base + size / 2 + kHuge - 1) & ~(kHuge - 1)) - base;
    readers[0].to = half;
    readers[1].from = half;
    readers[1].reached.store(half, std::memory_order_relaxed);
    readers[1].to = size;
    for (Reader& r : reading->readers_) {
        try {
            r.thread = std::thread([&reading = *reading, &r] { reading.read(r); });
        } catch (const std::system_error&) {
            // No thread to be had: this part is read before returning.
            reading->read(r);
        }
    }
    return reading;
}

FileReading::~FileReading() {
    if (finished_) return;
    fail();
    join();
    ::close(fd_);
    ByteBuffer().swap(*data_);
}

void FileReading::read(Reader& reader) {
    uint8_t* const p = data_->data();
    for (uint64_t at = reader.from; at < reader.to;) {
        const uint64_t n = std::min(kPiece, reader.to - at);
        if (const int err = read_file_range(fd_, p + at, at, n); err != 0) {
            reader.error = err;
            fail();
            return;
        }
        at += n;
        {
            // Only a failure changes `reached` behind this reader's back; then stop.
            const std::lock_guard<std::mutex> lock(mutex_);
            if (reader.reached.load(std::memory_order_relaxed) == kFailed) return;
            reader.reached.store(at, std::memory_order_release);
        }
        arrived_.notify_all();
    }
}

void FileReading::fail() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (Reader& r : readers_) r.reached.store(kFailed, std::memory_order_release);
    }
    arrived_.notify_all();
}

void FileReading::join() {
    for (Reader& r : readers_)
        if (r.thread.joinable()) r.thread.join();
}

bool FileReading::wait_for(uint64_t begin, uint64_t end) const {
    for (const Reader& r : readers_) {
        if (end <= r.from || begin >= r.to) continue;
        const uint64_t need = std::min(end, r.to);
        uint64_t reached = r.reached.load(std::memory_order_acquire);
        if (reached != kFailed && reached >= need) continue;  // no lock when the bytes are there
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait(lock, [&] {
            reached = r.reached.load(std::memory_order_acquire);
            return reached == kFailed || reached >= need;
        });
        if (reached == kFailed) return false;
    }
    return true;
}

FileRead FileReading::finish() {
    if (finished_) return result_;
    join();
    finished_ = true;
    int err = 0;
    for (const Reader& r : readers_)
        if (err == 0) err = r.error;
    ::close(fd_);
    if (err != 0) {
        // Never hand on a partial file.
        ByteBuffer().swap(*data_);
        errno = err;
        result_ = FileRead::kReadFailed;
    }
    return result_;
}

}  // namespace zelt::host
