// The walk over a raw directory answer: a count and an entry length as the firmware
// reports them (first 8 bytes), then the answer bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "device/nvm/nvm_directory.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    uint32_t count;
    uint32_t entry_size;
    std::memcpy(&count, data, 4);
    std::memcpy(&entry_size, data + 4, 4);
    std::vector<zelnvm_directory_entry_t> entries;
    if (zelt::device::zeltnvmParseDirectory(data + 8, size - 8, count, entry_size, entries).ok()) {
        zelnvm_directory_entry_t e;
        (void)zelt::device::zeltnvmFindDirEntry(entries, static_cast<uint16_t>(count), 0, 0, &e);
    }
    return 0;
}
