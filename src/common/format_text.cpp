#include "common/format_text.h"

#include <cstdio>

namespace zelt {

std::string vformat_text(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int n = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    va_list fill;
    va_copy(fill, args);
    std::vsnprintf(text.data(), text.size(), format, fill);
    va_end(fill);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

}  // namespace zelt
