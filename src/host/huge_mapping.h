// Mappings of large files that the kernel can map 2 MiB at a time.
//
// A file whose page cache holds it in whole 2 MiB pieces (written in aligned 2 MiB
// writes) can be mapped with one page-table entry per piece, when the mapping starts on
// a 2 MiB boundary and is advised for huge pages. On a virtual machine the first touch
// of each 4 KiB page of a mapping can cost a microsecond or more; a 64 MiB file mapped
// in 2 MiB pieces is touched in a fraction of a millisecond instead of tens of them.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace zelt::host {

// The size of the pieces (2 MiB).
inline constexpr size_t kHugePieceBytes = size_t{2} << 20;

// mmap(2) of `size` bytes of `fd` from offset 0 at an address on a 2 MiB boundary,
// advised for huge pages. MAP_FAILED (errno set) on failure; unmapped with munmap(2).
void* map_file_aligned(int fd, size_t size, int prot, int flags);

// Writes `count` bytes of `value` at `offset` of `fd` in writes that each fill one
// whole aligned 2 MiB piece where they can, so that the page cache takes the bytes in
// 2 MiB pieces. 0, or the errno of the failure (EIO for a write that wrote nothing).
int write_repeated(int fd, uint64_t offset, uint64_t count, uint8_t value);

// Copies `size` bytes of `in` from offset 0 to `out` at offset 0 through one 2 MiB
// buffer, in aligned 2 MiB writes. 0, or the errno of the failure (EIO when the input
// ends first).
int copy_in_pieces(int in, int out, uint64_t size);

}  // namespace zelt::host
