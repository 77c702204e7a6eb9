#include "host/url_download.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "host/interrupt.h"

namespace zelt::host {

namespace {

// The library's interface as this file uses it. The numbers are the library's own
// option and information identifiers, which it keeps unchanged across versions, so no
// development header is needed to build.
using Handle = void*;
using InitFn = Handle (*)();
using SetoptFn = int (*)(Handle, int, ...);
using PerformFn = int (*)(Handle);
using CleanupFn = void (*)(Handle);
using StrerrorFn = const char* (*)(int);
using GetinfoFn = int (*)(Handle, int, ...);

using WriteFn = size_t (*)(char*, size_t, size_t, void*);
using ProgressFn = int (*)(void*, int64_t, int64_t, int64_t, int64_t);

constexpr int kOptWriteData = 10001;
constexpr int kOptUrl = 10002;
constexpr int kOptErrorBuffer = 10010;
constexpr int kOptWriteFunction = 20011;
constexpr int kOptTimeout = 13;
constexpr int kOptUserAgent = 10018;
constexpr int kOptNoProgress = 43;
constexpr int kOptFailOnError = 45;
constexpr int kOptFollowLocation = 52;
constexpr int kOptSslVerifyPeer = 64;
constexpr int kOptMaxRedirs = 68;
constexpr int kOptSslVerifyHost = 81;
constexpr int kOptNoSignal = 99;
constexpr int kOptProtocols = 181;       // bit mask, older libraries
constexpr int kOptRedirProtocols = 182;  // bit mask, older libraries
constexpr int kOptXferInfoData = 10057;
constexpr int kOptXferInfoFunction = 20219;
constexpr int kOptMaxFileSizeLarge = 30117;
constexpr int kOptProtocolsStr = 10318;
constexpr int kOptRedirProtocolsStr = 10319;
constexpr int kInfoResponseCode = 0x200002;

constexpr long kProtoHttp = 1;
constexpr long kProtoHttps = 2;

constexpr int kCodeWriteError = 23;
constexpr int kCodeAbortedByCallback = 42;
constexpr int kCodeUnknownOption = 48;
constexpr int kCodeFileSizeExceeded = 63;
constexpr size_t kErrorBufferSize = 256;

constexpr const char* kUserAgent = "zeltnvm/curl_api";
// Redirects are followed, but not in a circle until the time-out.
constexpr long kMostRedirects = 10;

// The file being written, and what the transfer has brought so far.
struct Sink {
    int fd = -1;
    uint64_t max_bytes = 0;
    uint64_t written = 0;
    bool too_large = false;
    int write_error = 0;  // errno of a failed write, 0 when none failed
};

size_t write_body(char* data, size_t size, size_t count, void* user) {
    Sink& sink = *static_cast<Sink*>(user);
    const size_t total = size * count;
    if (total > sink.max_bytes - sink.written) {
        sink.too_large = true;
        return 0;  // stops the transfer
    }
    size_t done = 0;
    while (done < total) {
        const ssize_t n = ::write(sink.fd, data + done, total - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            sink.write_error = n < 0 ? errno : EIO;
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    sink.written += total;
    return total;
}

// Stops the transfer as soon as the announced length is over the limit, and when a
// signal asks the run to end (acted on by the caller's next interruption point).
int watch_transfer(void* user, int64_t expected, int64_t, int64_t, int64_t) {
    Sink& sink = *static_cast<Sink*>(user);
    if (expected > 0 && static_cast<uint64_t>(expected) > sink.max_bytes) {
        sink.too_large = true;
        return 1;
    }
    return pending_interrupt() != 0 ? 1 : 0;
}

DownloadOutcome stopped(DownloadStep step, int code, std::string what, std::string error) {
    DownloadOutcome out;
    out.step = step;
    out.code = code;
    out.what = std::move(what);
    out.error = std::move(error);
    return out;
}

// Closes the transfer handle on every path.
struct HandleCloser {
    CleanupFn cleanup;
    Handle handle;
    ~HandleCloser() { cleanup(handle); }
};

}  // namespace

DownloadOutcome download_url(const char* library, std::string_view url, int fd, const DownloadLimits& limits) {
    // The library stays loaded for the rest of the run: it keeps process-wide state
    // (its TLS back end) that must not vanish under it.
    void* lib = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = ::dlerror();
        return stopped(DownloadStep::kLoad, 1, library, why ? why : "");
    }
    auto lookup = [lib](const char* name) { return ::dlsym(lib, name); };
    const auto init = reinterpret_cast<InitFn>(lookup("curl_easy_init"));
    const auto setopt = reinterpret_cast<SetoptFn>(lookup("curl_easy_setopt"));
    const auto perform = reinterpret_cast<PerformFn>(lookup("curl_easy_perform"));
    const auto cleanup = reinterpret_cast<CleanupFn>(lookup("curl_easy_cleanup"));
    const auto describe = reinterpret_cast<StrerrorFn>(lookup("curl_easy_strerror"));
    const auto getinfo = reinterpret_cast<GetinfoFn>(lookup("curl_easy_getinfo"));
    const std::pair<const char*, bool> needed[] = {
        {"curl_easy_init", init != nullptr},       {"curl_easy_setopt", setopt != nullptr},
        {"curl_easy_perform", perform != nullptr}, {"curl_easy_cleanup", cleanup != nullptr},
        {"curl_easy_strerror", describe != nullptr}, {"curl_easy_getinfo", getinfo != nullptr},
    };
    for (const auto& [name, found] : needed)
        if (!found) return stopped(DownloadStep::kLookup, 1, name, "not found in " + std::string(library));

    Handle handle = init();
    if (!handle) return stopped(DownloadStep::kInit, 1, "curl_easy_init", "no transfer handle");
    const HandleCloser closer{cleanup, handle};

    const std::string target(url);
    Sink sink;
    sink.fd = fd;
    sink.max_bytes = limits.max_bytes;
    char error_text[kErrorBufferSize] = {};
    const WriteFn write_fn = write_body;
    const ProgressFn progress_fn = watch_transfer;

    int rc = 0;
    auto failed = [&](const char* name) {
        return stopped(DownloadStep::kOption, rc, name, describe(rc));
    };
    if ((rc = setopt(handle, kOptUrl, target.c_str())) != 0) return failed("CURLOPT_URL");
    if ((rc = setopt(handle, kOptSslVerifyPeer, 1L)) != 0) return failed("CURLOPT_SSL_VERIFYPEER");
    if ((rc = setopt(handle, kOptSslVerifyHost, 2L)) != 0) return failed("CURLOPT_SSL_VERIFYHOST");
    if ((rc = setopt(handle, kOptUserAgent, kUserAgent)) != 0) return failed("CURLOPT_USERAGENT");
    if ((rc = setopt(handle, kOptFollowLocation, 1L)) != 0) return failed("CURLOPT_FOLLOWLOCATION");
    if ((rc = setopt(handle, kOptMaxRedirs, kMostRedirects)) != 0) return failed("CURLOPT_MAXREDIRS");
    // Only web addresses, also where a redirect leads: never a local file or another
    // protocol the library knows.
    rc = setopt(handle, kOptProtocolsStr, "http,https");
    if (rc == kCodeUnknownOption) rc = setopt(handle, kOptProtocols, kProtoHttp | kProtoHttps);
    if (rc != 0) return failed("CURLOPT_PROTOCOLS");
    rc = setopt(handle, kOptRedirProtocolsStr, "http,https");
    if (rc == kCodeUnknownOption) rc = setopt(handle, kOptRedirProtocols, kProtoHttp | kProtoHttps);
    if (rc != 0) return failed("CURLOPT_REDIR_PROTOCOLS");
    // An error page is not the file asked for.
    if ((rc = setopt(handle, kOptFailOnError, 1L)) != 0) return failed("CURLOPT_FAILONERROR");
    if ((rc = setopt(handle, kOptNoSignal, 1L)) != 0) return failed("CURLOPT_NOSIGNAL");
    if ((rc = setopt(handle, kOptTimeout, static_cast<long>(limits.timeout_seconds))) != 0)
        return failed("CURLOPT_TIMEOUT");
    if ((rc = setopt(handle, kOptMaxFileSizeLarge, static_cast<int64_t>(limits.max_bytes))) != 0)
        return failed("CURLOPT_MAXFILESIZE_LARGE");
    if ((rc = setopt(handle, kOptErrorBuffer, error_text)) != 0) return failed("CURLOPT_ERRORBUFFER");
    if ((rc = setopt(handle, kOptWriteFunction, write_fn)) != 0) return failed("CURLOPT_WRITEFUNCTION");
    if ((rc = setopt(handle, kOptWriteData, &sink)) != 0) return failed("CURLOPT_WRITEDATA");
    if ((rc = setopt(handle, kOptXferInfoFunction, progress_fn)) != 0) return failed("CURLOPT_XFERINFOFUNCTION");
    if ((rc = setopt(handle, kOptXferInfoData, &sink)) != 0) return failed("CURLOPT_XFERINFODATA");
    if ((rc = setopt(handle, kOptNoProgress, 0L)) != 0) return failed("CURLOPT_NOPROGRESS");

    rc = perform(handle);
    long http_status = 0;
    if (getinfo(handle, kInfoResponseCode, &http_status) != 0) http_status = 0;
    if (rc == 0) {
        DownloadOutcome out;
        out.http_status = http_status;
        return out;
    }
    const std::string text = error_text[0] != '\0' ? std::string(error_text) : std::string(describe(rc));
    DownloadStep step = DownloadStep::kTransfer;
    if (sink.too_large || rc == kCodeFileSizeExceeded) {
        step = DownloadStep::kTooLarge;
    } else if (rc == kCodeAbortedByCallback && pending_interrupt() != 0) {
        step = DownloadStep::kInterrupted;
    } else if (rc == kCodeWriteError && sink.write_error != 0) {
        DownloadOutcome out = stopped(step, rc, "curl_easy_perform", text + ": " + std::strerror(sink.write_error));
        out.http_status = http_status;
        return out;
    }
    DownloadOutcome out = stopped(step, rc, "curl_easy_perform", text);
    out.http_status = http_status;
    return out;
}

}  // namespace zelt::host
