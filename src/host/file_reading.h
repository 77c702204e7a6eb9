// A regular file read into a buffer by background threads, whose bytes may be used as
// they arrive: the reading overlaps work on the bytes already read (checksums), and
// each piece is worked on while it is still in the processor's cache.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "common/arriving_bytes.h"
#include "common/byte_buffer.h"

namespace zelt::host {

// How a read of a regular file ended.
enum class FileRead { kOk, kOpenFailed, kNotRegular, kTooLarge, kNoMemory, kReadFailed };

// Reads [offset, offset + length) of the open file `fd` into `p`. 0, or the errno of
// the failure (EIO when the file ends before).
int read_file_range(int fd, uint8_t* p, uint64_t offset, uint64_t length);

class FileReading final : public ArrivingBytes {
public:
    // Starts reading `size` bytes of the open file `fd` (owned from here on) into
    // `data`, which is sized to hold them; `data` must not be resized, moved or
    // destroyed until finish() has returned. A small file is read before this returns.
    static std::unique_ptr<FileReading> start(int fd, uint64_t size, ByteBuffer& data);

    FileReading(const FileReading&) = delete;
    FileReading& operator=(const FileReading&) = delete;
    // A reading not finished is stopped and its buffer emptied.
    ~FileReading();

    bool wait_for(uint64_t begin, uint64_t end) const override;

    // Waits for the reading to end and closes the file (once; later calls return the
    // same result). kOk when every byte was read;
    // else kReadFailed with the buffer emptied and errno telling why (EIO when the
    // file ended early: it shrank while being read).
    FileRead finish();

private:
    // Each of up to two readers reads [from, to) front to back and publishes how far
    // it has got in `reached` (changed under `mutex_`, waited on with `arrived_`);
    // kFailed there in every reader means the reading failed.
    struct Reader {
        uint64_t from = 0;
        uint64_t to = 0;
        std::atomic<uint64_t> reached{0};
        int error = 0;
        std::thread thread;
    };
    static constexpr uint64_t kFailed = UINT64_MAX;

    FileReading(int fd, ByteBuffer& data);
    void read(Reader& reader);
    void fail();
    void join();

    int fd_;
    ByteBuffer* data_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    Reader readers_[2];
    bool finished_ = false;
    FileRead result_ = FileRead::kOk;
};

}  // namespace zelt::host
