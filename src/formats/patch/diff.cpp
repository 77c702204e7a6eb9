// Writing binary patch lines that turn one image into another.
#include <cinttypes>

#include "formats/patch/patch.h"
#include "formats/vpd/append_format.h"

namespace zelt {

using zelt::formats::append_format;

namespace {

uint64_t load_le(const uint8_t* p, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

// Writes one width line, with the comment naming the original value when there is one.
void append_unit(std::string& out, size_t bytes, size_t offset, uint64_t value, const uint64_t* original,
                 const char* label) {
    const unsigned long long off = offset;
    switch (bytes) {
    case 8:
        append_format(out, "64bits at %03llx = 0x%016" PRIx64, off, value);
        if (original) append_format(out, "\t; %s 0x%016" PRIx64, label, *original);
        break;
    case 4:
        append_format(out, "32bits at %03llx = 0x%08x", off, static_cast<unsigned>(value));
        if (original) append_format(out, "\t; %s 0x%08x", label, static_cast<unsigned>(*original));
        break;
    case 2:
        append_format(out, "16bits at %03llx = 0x%04hx", off, static_cast<unsigned short>(value));
        if (original) append_format(out, "\t; %s 0x%04hx", label, static_cast<unsigned short>(*original));
        break;
    default:
        append_format(out, "8bits at %03llx = 0x%02x", off, static_cast<unsigned>(value));
        if (original) append_format(out, "\t; %s 0x%02x", label, static_cast<unsigned>(*original));
        break;
    }
    out.push_back('\n');
}

// Compares units of `bytes` bytes from `offset` while whole units remain; returns the
// offset where it stopped.
size_t diff_units(std::string& out, size_t bytes, size_t offset, const uint8_t* original, size_t original_len,
                  const uint8_t* modified, size_t modified_len, const char* label, int32_t& lines) {
    for (; modified_len - offset >= bytes; offset += bytes) {
        const uint64_t value = load_le(modified + offset, bytes);
        if (original_len < bytes || offset > original_len - bytes) {
            append_unit(out, bytes, offset, value, nullptr, label);
            ++lines;
            continue;
        }
        const uint64_t old = load_le(original + offset, bytes);
        if (old == value) continue;
        append_unit(out, bytes, offset, value, &old, label);
        ++lines;
    }
    return offset;
}

}  // namespace

bool zeltnvmValidDiffSize(unsigned unit) {
    return unit == 1 || unit == 8 || unit == 16 || unit == 32 || unit == 64;
}

int32_t zeltnvmDiff(std::string& out, unsigned unit, const uint8_t* original, size_t original_len,
                    const uint8_t* modified, size_t modified_len, const char* label) {
    if (!zeltnvmValidDiffSize(unit)) return HVXRETVAL_INVALID_PARAMETER_VALUE;
    if (original == nullptr) original_len = 0;
    if (modified == nullptr) modified_len = 0;
    if (label == nullptr) label = "";
    int32_t lines = 0;
    if (unit == 1) {
        const size_t common = modified_len < original_len ? modified_len : original_len;
        for (size_t i = 0; i < common; ++i) {
            const unsigned changed = modified[i] ^ original[i];
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((changed >> bit & 1u) == 0) continue;
                append_format(out, "Bit%u at %03llx = %u\n", bit, static_cast<unsigned long long>(i),
                              (modified[i] >> bit) & 1u);
                ++lines;
            }
        }
        return lines;
    }
    size_t offset = diff_units(out, unit / 8, 0, original, original_len, modified, modified_len, label, lines);
    // A partial unit at the end is compared byte by byte rather than read past the end.
    diff_units(out, 1, offset, original, original_len, modified, modified_len, label, lines);
    return lines;
}

}  // namespace zelt
