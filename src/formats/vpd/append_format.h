// printf-style formatting appended to a std::string, for the text reports of the
// format code (which returns its reports instead of printing them).
#pragma once

#include <string>

namespace zelt::formats {

void append_format(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace zelt::formats
