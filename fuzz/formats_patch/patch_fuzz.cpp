// Patch texts over arbitrary images: binary and VPD lines never write outside the
// buffer, and applying a diff to the original rebuilds the modified image.
//
// Input: capacity, data length, diff unit; then the image and the text, split at the
// first "\n--\n" (or all image when there is none).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "formats/patch/patch.h"

using namespace zelt;

namespace {

std::unique_ptr<uint8_t[]> exact_copy(const uint8_t* data, size_t len, size_t capacity) {
    std::unique_ptr<uint8_t[]> buf(new uint8_t[capacity + 1]());
    std::memcpy(buf.get(), data, len < capacity ? len : capacity);
    return buf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t capacity = data[0];
    const size_t data_len = data[1];
    const unsigned units[] = {1, 8, 16, 32, 64};
    const unsigned unit = units[data[2] % 5];
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const size_t split = rest.find("\n--\n");
    const std::string_view image = rest.substr(0, split);
    const std::string_view text = split == std::string_view::npos ? std::string_view() : rest.substr(split + 4);
    const auto* image_bytes = reinterpret_cast<const uint8_t*>(image.data());

    // Binary lines.
    {
        auto buf = exact_copy(image_bytes, image.size(), capacity);
        const std::string copy(text);  // exact-size heap text
        const int32_t rc = zeltnvmPatch(buf.get(), capacity, data_len, copy.data(), copy.size());
        if (rc >= 0 && (static_cast<size_t>(rc) > capacity || static_cast<size_t>(rc) < data_len)) __builtin_trap();
    }
    // VPD lines over the image as a resource list.
    {
        auto buf = exact_copy(image_bytes, image.size(), image.size());
        const std::string copy(text);
        const int32_t rc = zeltnvmPatchVPD(buf.get(), image.size(), copy.data(), copy.size());
        if (rc > static_cast<int32_t>(image.size())) __builtin_trap();
    }
    // Diff of the image against the text's bytes, applied back.
    {
        const auto* original = image_bytes;
        const auto* modified = reinterpret_cast<const uint8_t*>(text.data());
        if (unit == 1 && image.size() != text.size()) return 0;
        std::string lines;
        if (zeltnvmDiff(lines, unit, original, image.size(), modified, text.size(), "was") < 0) __builtin_trap();
        const size_t len = text.size() > image.size() ? text.size() : image.size();
        auto buf = exact_copy(original, image.size(), len);
        const int32_t rc = zeltnvmPatch(buf.get(), len, image.size(), lines.data(), lines.size());
        if (rc != static_cast<int32_t>(len)) __builtin_trap();
        if (text.size() != 0 && std::memcmp(buf.get(), modified, text.size()) != 0) __builtin_trap();
    }
    return 0;
}
