// Text from outside the tool (package properties, firmware answers, NVM items) made safe
// to show on a terminal or write to a log: control characters cannot move the cursor,
// change colours, erase a line or start a fake one.
#pragma once

#include <string>
#include <string_view>

namespace zelt {

// `text` with every control character other than tab and line feed written as "\xNN"
// (two lower-case hex digits), and so is DEL, a C1 control in UTF-8 form (each of its
// two bytes) and every byte that is not part of a well-formed UTF-8 sequence. Other
// characters, UTF-8 ones included, are kept as they are.
std::string printable_text(std::string_view text);

}  // namespace zelt
