// A directory of the system's temporary tree that only the running user can enter,
// for files that must not be seen or replaced by anyone else while the run uses them
// (a download before it has been checked).
#pragma once

#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "host/interrupt.h"

namespace zelt::host {

class PrivateDirectory {
public:
    // Makes a new directory "<tmp>/<prefix>XXXXXX" with mode 0700, <tmp> being TMPDIR
    // when it is an absolute path, else /tmp. nullptr with errno set when it cannot be
    // made.
    static std::unique_ptr<PrivateDirectory> create(std::string_view prefix);

    // Removes the files made in it and the directory itself.
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const;

    // Creates the new file `name` in it for writing, readable and writable by the owner
    // only; an existing file or link of that name is refused. A descriptor, or -1 with
    // errno set. The file is removed with the directory, or by remove().
    int create_file(std::string_view name);
    // Removes a file made by create_file.
    void remove(std::string_view name);

private:
    explicit PrivateDirectory(std::string path);

    struct Entry {
        std::string path;
        RemoveOnInterrupt guard;
        explicit Entry(const std::string& p) : path(p), guard(p) {}
    };
    std::string path_;
    RemoveOnInterrupt guard_;
    std::list<Entry> files_;
};

}  // namespace zelt::host
