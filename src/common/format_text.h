// printf-style formatting into a string, shared by the print routine, reports and
// option messages.
#pragma once

#include <cstdarg>
#include <string>

namespace zelt {

// The text `format` makes of `args` (which is left unconsumed: a copy is used), or ""
// when formatting fails.
std::string vformat_text(const char* format, va_list args);

}  // namespace zelt
