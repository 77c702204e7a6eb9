// A buffer filled from a source in pieces by a thread of its own, the way a file is
// read in the background, for tests of code that works through bytes as they arrive.
// The filling can be made to fail partway, as a read of a file that shrinks does.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "common/arriving_bytes.h"

namespace zelt::test {

class TrickledBytes final : public ArrivingBytes {
public:
    // Copies `source` in `piece`-byte steps; with `fail_at`, the filling fails before
    // the piece that holds that byte (the bytes from there on stay 0xEE).
    TrickledBytes(std::span<const uint8_t> source, size_t piece, std::optional<uint64_t> fail_at = {})
        : buffer_(source.size(), 0xEE) {
        thread_ = std::thread([this, source, piece, fail_at] {
            for (uint64_t at = 0; at < source.size(); at += piece) {
                const uint64_t n = std::min<uint64_t>(piece, source.size() - at);
                if (fail_at && *fail_at < at + n) break;
                std::memcpy(buffer_.data() + at, source.data() + at, n);
                reached_.store(at + n, std::memory_order_release);
                reached_.notify_all();
                std::this_thread::yield();  // let the consumer catch up now and then
            }
            if (reached_.load() != source.size()) {
                reached_.store(kFailed, std::memory_order_release);
                reached_.notify_all();
            }
        });
    }
    ~TrickledBytes() { thread_.join(); }
    TrickledBytes(const TrickledBytes&) = delete;
    TrickledBytes& operator=(const TrickledBytes&) = delete;

    // The buffer being filled, at its full size from the start.
    std::span<const uint8_t> bytes() const { return buffer_; }

    bool wait_for(uint64_t begin, uint64_t end) const override {
        if (begin >= end) return true;
        for (;;) {
            const uint64_t reached = reached_.load(std::memory_order_acquire);
            if (reached == kFailed) return false;
            if (reached >= end) return true;
            reached_.wait(reached, std::memory_order_acquire);
        }
    }

private:
    static constexpr uint64_t kFailed = UINT64_MAX;
    std::vector<uint8_t> buffer_;
    std::atomic<uint64_t> reached_{0};
    std::thread thread_;
};

}  // namespace zelt::test
