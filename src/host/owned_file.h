// Opening a file the tool keeps for itself (its log) so that nobody else can have it
// write elsewhere: no link is followed at the last component, a new file gets exactly
// the mode asked for, and an existing one is taken only when it is a regular file of
// the effective user with no other name.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string_view>

namespace zelt::host {

class Host;

enum class OwnedOpen {
    kOpened,      // `file` is open for reading and appending
    kOpenFailed,  // it could not be opened or created (errno in `error`)
    kRefused,     // a link, or not a regular file of the effective user with one name
};

struct OwnedFile {
    FILE* file = nullptr;
    OwnedOpen outcome = OwnedOpen::kOpenFailed;
    int error = 0;
};

// Opens the host file at `path` for reading and appending ("a+"), creating it with
// `mode` whatever the umask. The check is made on the opened descriptor, so the file
// cannot be swapped between the check and the use; a pipe is opened without waiting.
OwnedFile open_owned_append(Host& host, std::string_view path, mode_t mode);

}  // namespace zelt::host
