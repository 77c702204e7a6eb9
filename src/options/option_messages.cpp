#include "options/option_messages.h"

#include <cstdarg>
#include <cstdio>

#include "common/format_text.h"

namespace zelt {

std::string zeltnvm_format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string out = vformat_text(fmt, ap);
    va_end(ap);
    return out;
}

}  // namespace zelt
