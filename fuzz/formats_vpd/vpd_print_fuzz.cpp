// The VPD report over arbitrary bytes at every verbosity: no access outside the buffer.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "formats/vpd/vpd.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int verbosity = data[0] % 4;
    const size_t len = size - 1;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[len + 1]);
    if (len != 0) std::memcpy(buf.get(), data + 1, len);

    std::string out;
    vpd_print(buf.get(), len, verbosity, out);
    vpd_print_fields(buf.get(), len, VPD_RESOURCE_TAG_READ_ONLY, verbosity, out);
    vpd_print_fields(buf.get(), len, 3, verbosity, out);
    vpd_hex_dump(buf.get(), len, out);
    return 0;
}
