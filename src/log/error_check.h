// Short reports of a failed operation's result code.
#pragma once

#include <cstdint>

namespace zelt {

// For 3 (the function lacks administrative rights) prints "This operation does not
// have administrative privileges for given interface"; otherwise, when `show` is set,
// prints the display name of `rc`. Console and log, information level.
void checkErrorcode(int32_t rc, bool show);

}  // namespace zelt
