// Maps the pages of a large range about to be written in one call, instead of taking
// a page fault for each of them on the first write. On a virtual machine a fault can
// cost several microseconds, so tens of megabytes written page by page cost tens of
// milliseconds more than the copy itself.
#pragma once

#include <cstdint>

namespace zelt::sim {

// Writes of at least this many bytes have their pages mapped first.
inline constexpr uint64_t kPopulateBytes = 256 * 1024;

// Maps for writing the whole pages inside [data, data + length) when the range is at
// least kPopulateBytes long. Every byte of those pages must be about to be written (on
// a shared file mapping each of them becomes dirty). A kernel without the call leaves
// the faults to the writes.
void populate_for_write(uint8_t* data, uint64_t length);

}  // namespace zelt::sim
