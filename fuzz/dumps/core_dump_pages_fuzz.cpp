// Arbitrary page answers fed to the segment list and segment data assembly: the result
// never holds more than the pages delivered or the limit allows, and the page loop
// always ends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "common/hvxretval.h"
#include "device/dumps/core_dump.h"

namespace {

// Reads answers from the fuzz input: per page a 2-byte data_len, a flag byte, a 2-byte
// total and a fill byte. Out of input: a failed exchange.
class Script {
public:
    Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    zelt::Result page(std::span<uint8_t> buf, zelt::device::DumpPage& answer) {
        if (size_ - at_ < 6) return zelt::Result::tool(zelt::HVXRETVAL_FAILURE);
        const uint8_t* p = data_ + at_;
        at_ += 6;
        answer.data_len = static_cast<uint32_t>(p[0] | (p[1] << 8));
        answer.more = p[2] & 1;
        answer.total_segments = static_cast<uint32_t>(p[3] | (p[4] << 8));
        std::memset(buf.data(), p[5], buf.size());
        delivered_ += std::min<size_t>(answer.data_len, buf.size());
        return zelt::Result();
    }
    size_t delivered() const { return delivered_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    size_t delivered_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zelt::device;
    if (size == 0) return 0;
    const bool list = data[0] & 1;
    Script script(data + 1, size - 1);
    auto reader = [&script](uint32_t, std::span<uint8_t> page, DumpPage& answer) {
        return script.page(page, answer);
    };
    if (list) {
        const auto records = collect_segment_list(reader);
        if (records.ok() && records->size() * sizeof(zelt::coredump_segment_record) > script.delivered())
            __builtin_trap();
    } else {
        const uint64_t limit = 3 * 4096 + 17;
        const auto bytes = collect_segment_data(reader, limit);
        if (bytes.ok() && (bytes->size() > limit || bytes->size() > script.delivered())) __builtin_trap();
    }
    return 0;
}
