// Opening a file that is read whole as a regular file of bounded size: shared by the
// reads of such files into memory and by snapshots of them.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"

namespace zelt::host {

// Opens `mapped` for reading without blocking and checks it on the opened descriptor:
// a pipe without a writer, a device, a socket or a directory is refused without
// waiting on it, and a file over `max_size` bytes without reading any of it. kOk with
// `fd` (close-on-exec, owned by the caller) and the file's `size`; otherwise no
// descriptor is left open and errno tells why (EISDIR, ENODEV or EFBIG for the refusals).
FileRead open_regular_input(const std::string& mapped, uint64_t max_size, int& fd, uint64_t& size);

}  // namespace zelt::host
