// Information lines of the log that carry their time like error and debug lines do:
// the lines that mark a run's start, end or interruption.
#pragma once

#include <string_view>

namespace zelt::log {

// Writes "<local time>   INFO:<text>\n" to the log when it is open and takes
// information messages; the text is shown with its control characters escaped.
void stamped_info_line(std::string_view text);

}  // namespace zelt::log
