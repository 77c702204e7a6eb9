#include "sim/flash/populate.h"

#include <sys/mman.h>
#include <unistd.h>

namespace zelt::sim {

void populate_for_write(uint8_t* data, uint64_t length) {
    if (data == nullptr || length < kPopulateBytes) return;
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + length) / page * page;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

}  // namespace zelt::sim
