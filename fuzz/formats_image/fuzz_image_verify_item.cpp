// Item verification: the first 24 bytes are the directory entry, the rest is the
// buffer holding the image (at the entry's item_location, as inside a package).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/directory_entry.h"
#include "formats/crypto/crc32.h"
#include "formats/image/verify_item.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelnvm_directory_entry_t entry;
    if (size < sizeof entry) return 0;
    std::memcpy(&entry, data, sizeof entry);
    const uint8_t* buffer = data + sizeof entry;
    const size_t length = size - sizeof entry;

    zeltnvmVerifyItemAtOffset(buffer, length, entry.item_location, entry);

    // The same image with a data length and checksum that fit, so the checks behind
    // the data checksum are reached.
    entry.data_length = static_cast<uint32_t>(length);
    entry.data_chksum = file_crc32(buffer, length);
    zeltnvmVerifyItem(buffer, length, entry);
    zeltnvmAutodetectDirectoryType(buffer, length);
    return 0;
}
