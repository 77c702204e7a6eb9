// A private, read-only copy of a file, kept in an unnamed file of a directory the
// caller names.
//
// The copy has no name (it is made with O_TMPFILE), mode 0600, and only this process
// holds it: nobody can change the bytes under the reader, and the kernel removes it
// when the process ends however it ends, so nothing is ever left behind. Its bytes are
// mapped read-only. Because the copy is a file, it can later be given a name in the
// same file system (link_replacing in output_file.h) instead of being written out again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zelt::host {

// How making a snapshot ended. kNoPlace: the directory cannot hold an unnamed file
// (missing, read-only, a file system or kernel without O_TMPFILE, no room); the input
// was not judged, and the caller reads the file some other way. The other refusals are
// those of Host::read_regular_file, with the same errno.
enum class SnapshotMade { kOk, kNoPlace, kOpenFailed, kNotRegular, kTooLarge, kReadFailed };

class FileSnapshot {
public:
    FileSnapshot() = default;
    ~FileSnapshot();
    FileSnapshot(FileSnapshot&& other) noexcept;
    FileSnapshot& operator=(FileSnapshot&& other) noexcept;
    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    // Copies the regular file `path` (a real path, already mapped) of at most `max_size`
    // bytes into an unnamed file of `directory` (real path). The input is opened as
    // Host::read_regular_file opens it (without blocking, checked on the descriptor); a
    // file whose size changes while it is copied is refused whole (kReadFailed, EIO).
    // On failure the snapshot is empty and errno tells why.
    SnapshotMade make(const std::string& path, uint64_t max_size, const std::string& directory);

    bool holds() const { return fd_ >= 0; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    // The descriptor of the unnamed file (-1 when empty); it stays owned by the snapshot.
    int descriptor() const { return fd_; }
    // Unmaps and closes: the copy is gone.
    void reset();

private:
    int fd_ = -1;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace zelt::host
