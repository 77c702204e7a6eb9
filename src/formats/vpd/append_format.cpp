#include "formats/vpd/append_format.h"

#include <cstdarg>
#include <cstdio>

namespace zelt::formats {

void append_format(std::string& out, const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n > 0) {
        if (static_cast<size_t>(n) < sizeof small) {
            out.append(small, static_cast<size_t>(n));
        } else {
            size_t old = out.size();
            out.resize(old + static_cast<size_t>(n) + 1);
            std::vsnprintf(out.data() + old, static_cast<size_t>(n) + 1, format, again);
            out.resize(old + static_cast<size_t>(n));
        }
    }
    va_end(again);
}

}  // namespace zelt::formats
