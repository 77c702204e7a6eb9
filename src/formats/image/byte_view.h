// Bounds-checked reads from an image held in memory. Every read says whether the
// whole record lay inside the image; nothing outside it is ever touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace zelt::image {

using Bytes = std::span<const uint8_t>;

// True when [offset, offset + size) lies inside an image of `length` bytes.
constexpr bool range_inside(size_t length, size_t offset, size_t size) {
    return offset <= length && size <= length - offset;
}

// Copies the record at `offset` into `out`; false (and `out` untouched) when the
// record does not lie wholly inside `image`.
template <typename T>
bool load_record(Bytes image, size_t offset, T* out) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!range_inside(image.size(), offset, sizeof(T))) return false;
    std::memcpy(out, image.data() + offset, sizeof(T));
    return true;
}

// Length of the NUL-terminated text in `field`, at most its size.
inline size_t bounded_text_length(const char* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size;
}

}  // namespace zelt::image
