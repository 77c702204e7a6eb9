// Downloading a URL into an open file with the system's URL transfer library, loaded
// at run time: a host without the library runs every command but the one that
// downloads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelt::host {

// The library's name as the dynamic loader looks it up.
inline constexpr const char* kUrlLibrary = "libcurl.so.4";

// Bounds of one download.
struct DownloadLimits {
    uint64_t max_bytes = 0;        // the transfer stops once more would arrive
    unsigned timeout_seconds = 0;  // the whole transfer, connection included
};

// Where a download stopped.
enum class DownloadStep {
    kDone,        // the whole body is in the file
    kLoad,        // the library could not be loaded
    kLookup,      // a function of the library is missing (`what` names it)
    kInit,        // the library gave no transfer handle
    kOption,      // the library refused an option (`what` names it)
    kTransfer,    // the transfer failed
    kTooLarge,    // the body is larger than the limit
    kInterrupted, // a signal came during the transfer
};

struct DownloadOutcome {
    DownloadStep step = DownloadStep::kDone;
    int code = 0;        // 0, or the library's code; 1 when the library or a function is missing
    std::string what;    // the missing function or the refused option
    std::string error;   // the loader's or the library's text
    long http_status = 0;  // the server's answer, 0 when none came

    bool ok() const { return step == DownloadStep::kDone; }
};

// Downloads `url` (http or https only, redirects included, server certificates
// verified) into the file open for writing on `fd`, loading `library` by name. An
// answer of 400 or above is a failed transfer, not a body.
DownloadOutcome download_url(const char* library, std::string_view url, int fd, const DownloadLimits& limits);

}  // namespace zelt::host
