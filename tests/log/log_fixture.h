// Fixtures of the log tests: a host whose absolute paths live under a temporary
// directory and whose clock the test sets, and a capture of the standard streams.
#pragma once

#include <sys/time.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/linux_host.h"
#include "tests/support/run_program.h"

namespace zelt::test {

// LinuxHost under a temporary root with a clock that stands still until moved.
class TestHost : public host::LinuxHost {
public:
    explicit TestHost(std::string root) : host::LinuxHost(std::move(root)) {}
    struct timeval now() override { return clock; }
    void sleep_ms(unsigned ms) override {
        uint64_t us = static_cast<uint64_t>(clock.tv_usec) + ms * 1000ull;
        clock.tv_sec += static_cast<time_t>(us / 1000000u);
        clock.tv_usec = static_cast<suseconds_t>(us % 1000000u);
    }
    struct timeval clock{1000000000, 0};
};

// Redirects standard output and standard error into files while alive.
class StreamCapture {
public:
    StreamCapture();
    ~StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;
    // Ends the capture (once) and returns what was written.
    std::string out();
    std::string err();

private:
    void finish();
    TempDir dir_;
    int saved_out_ = -1;
    int saved_err_ = -1;
    bool done_ = false;
    std::string out_, err_;
};

}  // namespace zelt::test
