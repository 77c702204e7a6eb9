// The file under a flash that is a shared mapping of it, for large writes.
//
// On a virtual machine every page a process writes through a mapping can cost
// microseconds of bookkeeping beyond the copy, so tens of megabytes written through
// the mapping cost several times what the file's own write call does; that call
// copies in the kernel and the mapping sees its bytes at once (one page cache).
#pragma once

#include <cstdint>
#include <span>

namespace zelt::sim {

class FlashBacking {
public:
    virtual ~FlashBacking() = default;
    // Writes `data` at `offset` of the file; false when not all of it was written (the
    // caller then writes through the mapping).
    virtual bool write(uint64_t offset, std::span<const uint8_t> data) = 0;
};

}  // namespace zelt::sim
