// Applying binary patch lines to an image held in memory.
#include <climits>

#include "formats/patch/patch.h"
#include "formats/patch/patch_line.h"

namespace zelt {

using namespace zelt::formats::patch;

namespace {

struct BitLine {
    uint64_t bit = 0;
    uint64_t offset = 0;
    uint64_t value = 0;
    bool overflow = false;
};

struct WidthLine {
    uint64_t width = 0;
    uint64_t offset = 0;
    uint64_t value = 0;
    bool overflow = false;
};

bool parse_bit_line(const char* line, BitLine& out) {
    LineScanner s(line);
    return s.literal("Bit ") && s.number(10, out.bit) && s.literal(" at ") && s.number(16, out.offset) &&
           s.literal(" = ") && s.integer(out.value, out.overflow);
}

bool parse_width_line(const char* line, WidthLine& out) {
    LineScanner s(line);
    return s.number(10, out.width) && s.literal(" bits at ") && s.number(16, out.offset) &&
           s.literal(" = ") && s.integer(out.value, out.overflow);
}

}  // namespace

int32_t zeltnvmPatch(uint8_t* image, size_t capacity, size_t data_len, const char* text,
                     size_t text_len) {
    if (image == nullptr && capacity != 0) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (data_len > capacity || capacity > static_cast<size_t>(INT32_MAX)) return HVXRETVAL_INVALID_DATA_LENGTH;
    if (text == nullptr) return static_cast<int32_t>(data_len);
    size_t length = data_len;

    int32_t rc = for_each_line(text, text_len, [&](const char* line) -> int32_t {
        BitLine bit;
        if (parse_bit_line(line, bit)) {
            if (bit.bit > 7) return HVXRETVAL_INVALID_BIT_PARAMETER;
            if (bit.overflow || bit.value > 1) return HVXRETVAL_INVALID_PARAMETER_VALUE;
            if (bit.offset >= capacity) return HVXRETVAL_INVALID_OFFSET_PARAMETER;
            const uint8_t mask = static_cast<uint8_t>(1u << bit.bit);
            uint8_t& byte = image[bit.offset];
            byte = static_cast<uint8_t>(bit.value != 0 ? (byte | mask) : (byte & ~mask));
            if (bit.offset >= length) length = bit.offset + 1;
            return 0;
        }
        WidthLine w;
        if (parse_width_line(line, w)) {
            if (w.width != 8 && w.width != 16 && w.width != 32 && w.width != 64)
                return HVXRETVAL_INVALID_BIT_PARAMETER;
            if (w.overflow) return HVXRETVAL_INVALID_PARAMETER_VALUE;
            const size_t bytes = static_cast<size_t>(w.width / 8);
            if (bytes > capacity || w.offset > capacity - bytes) return HVXRETVAL_INVALID_OFFSET_PARAMETER;
            for (size_t i = 0; i < bytes; ++i) image[w.offset + i] = static_cast<uint8_t>(w.value >> (8 * i));
            if (w.offset + bytes > length) length = w.offset + bytes;
            return 0;
        }
        return 0;  // no form: a comment
    });
    return rc != 0 ? rc : static_cast<int32_t>(length);
}

}  // namespace zelt
