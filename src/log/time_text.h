// Local time as text in the C library's ctime form.
#pragma once

#include <ctime>
#include <string>

namespace zelt::log {

// "Wed Jun 30 21:49:08 1993": weekday, month, day of month padded with a blank to two
// places, time and year; 24 characters for years 1000 to 9999, no line feed.
std::string ctime_text(const struct tm& t);

}  // namespace zelt::log
