// Bytes of a buffer that another thread is still filling (a file being read), for
// code that works through the buffer as it fills: each piece is checked while it is
// still in the processor's cache, and the work overlaps the reading.
#pragma once

#include <cstdint>

namespace zelt {

class ArrivingBytes {
public:
    // Blocks until every byte of [begin, end) is in the buffer. False when some never
    // will be (the filling failed); once false, always false, and nothing taken from
    // the buffer may be trusted.
    virtual bool wait_for(uint64_t begin, uint64_t end) const = 0;

protected:
    ~ArrivingBytes() = default;
};

// The same bytes as seen from `offset` on: byte i here is byte offset + i there.
class ArrivingFrom final : public ArrivingBytes {
public:
    ArrivingFrom(const ArrivingBytes& bytes, uint64_t offset) : bytes_(bytes), offset_(offset) {}
    bool wait_for(uint64_t begin, uint64_t end) const override {
        return bytes_.wait_for(begin + offset_, end + offset_);
    }

private:
    const ArrivingBytes& bytes_;
    uint64_t offset_;
};

}  // namespace zelt
