// The version text of an item in the adapter's NVM.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// Reads the version of the item of `type`, `ordinal` and `ext` from the device's NVM:
// selector 0 the primary version, 1 the secondary (the install log also answers 2 and
// 3). Only the bytes that hold the version are read, through the function's channel. `text` (`capacity` bytes) is cleared first
// and holds the text on success. Results: 0; -62 for a type without a version; the
// lookup's failure (-80 when absent); the image's version failures (-10, -21, -28,
// -85, -86, -88); -3 on allocation failure; -1 when the read fails.
Result zeltnvmGetItemVersionString(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                   int selector, char* text, size_t capacity);

}  // namespace zelt::device
