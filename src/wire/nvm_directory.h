// The NVM directory as the firmware reports it: entries of the shared 24-byte record
// (common/directory_entry.h), possibly spaced wider on the wire; the directory answer
// gives the stride.
#pragma once

#include <cstdint>

#include "common/directory_entry.h"

namespace zelt {

// Size of the buffer the directory answer is read into.
inline constexpr uint32_t ZEL_DIR_ANSWER_BUFFER_SIZE = 4096;

}  // namespace zelt
