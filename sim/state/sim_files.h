// Opening the files of a simulated host.
//
// A simulated host directory may be used by a process running as root, so none of its
// files is ever opened through a symbolic link: a link planted under one of the
// simulator's names would otherwise make that process write wherever it points. Files
// are opened with O_NOFOLLOW, created with O_EXCL, and only regular files are accepted.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace zelt::sim {

// open(2) of a regular file without following a link in its last component. With
// O_CREAT a missing file is created exclusively (mode `mode`) and an existing one is
// opened as it is (with O_TRUNC emptied); O_EXCL in `flags` accepts only a new file.
// Returns -1 with errno set (ELOOP for a link, EINVAL for a file that is not regular).
int open_sim_file(const std::string& path, int flags, mode_t mode = 0644);

// Reads the whole of a file of the host (a regular file, not through a link) into
// `data`: a small file in one read. False when it cannot be opened or read.
bool read_sim_file(const std::string& path, std::string& data);

// The same as a stdio stream; `mode` as for fopen(3) ("r", "w", "a", with "+" and "b").
FILE* open_sim_stream(const std::string& path, const char* mode);

// Appends `text` to a file (created when missing) in one write.
bool append_sim_file(const std::string& path, std::string_view text);

}  // namespace zelt::sim
