// Version extraction of every item type: the first three bytes choose the directory
// type, the selector and the attribute flags; the rest is the image.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/image/firmware_image.h"
#include "formats/image/item_version.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const unsigned type = data[0] % 90;
    const int selector = data[1] % 5;
    const uint16_t attr = static_cast<uint16_t>(data[2] & 0x11);
    const uint8_t* image = data + 3;
    const size_t length = size - 3;

    char text[256];
    zeltnvmGetItemBufVersionString(type, image, length, selector, text, sizeof text, attr);
    zeltnvmGetItemBufVersionString(type, image, length, selector, text, 1 + data[1] % 16, attr);

    uint8_t raw[ZELT_MAX_RAW_VERSION];
    size_t raw_length = data[2] % (sizeof raw + 1);
    int format = 0;
    if (zeltnvmGetItemBufVersion(type, image, length, selector, raw, &raw_length, &format, attr) == 0) {
        zeltnvmVersionString(raw, raw_length, format, text, sizeof text);
    }
    // Raw bytes in any format.
    zeltnvmVersionString(image, length < 128 ? length : 128, data[1] % 5, text, sizeof text);

    size_t offset = 0, read_length = 0;
    zeltnvmItemVersionReadRange(type, attr, length, selector, &offset, &read_length);

    std::string report;
    zeltnvmViewApeBinHdr(image, length, &report);
    return 0;
}
