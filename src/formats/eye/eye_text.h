// printf-style text for the eye plots and rating lines.
#pragma once

#include <cstdarg>
#include <string>

#include "common/format_text.h"

namespace zelt::formats::eye {

inline std::string text_of(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string text_of(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = vformat_text(format, args);
    va_end(args);
    return s;
}

}  // namespace zelt::formats::eye
