// A file written under a temporary name beside its final one and renamed into place
// once it is complete, so that no reader ever sees it half-written.
//
// The temporary is created exclusively and without following a symbolic link, so a
// link planted under its name is never written through; the rename replaces whatever
// the final name held (a planted link included) instead of following it. Dropped
// without commit(), or when the run is interrupted, the temporary is removed and the
// final name is left as it was.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "host/host.h"
#include "host/interrupt.h"

namespace zelt::host {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary for the host path `path` (mapped by `host`; a relative path
    // is in the working directory). False with errno set when it cannot be created.
    bool open(Host& host, std::string_view path, mode_t mode = 0644);
    // The open temporary, for writers that print into it; nullptr before open().
    FILE* stream() const { return file_; }
    // Appends `data`. False with errno set on a failed write.
    bool write(std::span<const uint8_t> data);
    bool write(std::string_view text);
    // Flushes the data to the disk, closes the temporary and renames it to the final
    // name. False with errno set on failure; the temporary is removed then.
    bool commit();
    // The same without waiting for the disk: for a file only read back on this boot and
    // removed soon after (the rename alone keeps readers from seeing half of it).
    bool commit_transient();
    // The same, except that the final name must not exist yet: whatever stands there (a
    // file or a symbolic link, dangling or not) is left alone and the commit fails with
    // EEXIST.
    bool commit_new();
    // Removes the temporary without touching the final name.
    void discard();

    // The final path, as the file system sees it (mapped).
    const std::string& final_path() const { return final_; }

private:
    bool close_and_rename(bool to_disk);
    std::string final_;
    std::string temp_;
    FILE* file_ = nullptr;
    std::unique_ptr<RemoveOnInterrupt> guard_;
};

// Removes the temporaries that OutputFiles of `path` left behind when their process was
// killed outright. Only for a caller that holds the lock serialising every writer of
// `path`: no live writer's temporary can then be among them.
void remove_leftover_temporaries(Host& host, std::string_view path);

// Writes `data` as the whole of `path` through an OutputFile. False with errno set on
// failure, the final name then untouched.
bool write_file_replacing(Host& host, std::string_view path, std::span<const uint8_t> data, mode_t mode = 0644);

// Gives the unnamed file open on `fd` (a FileSnapshot's) the name `path`, replacing
// whatever the name held: linked under the temporary name an OutputFile of `path` uses
// and renamed into place, so a reader sees the whole file or none, and a run killed in
// between leaves only a temporary that remove_leftover_temporaries clears. The file
// must be on the same file system. False with errno set on failure; nothing is left
// behind then and the final name is untouched.
bool link_replacing(Host& host, std::string_view path, int fd);

}  // namespace zelt::host
