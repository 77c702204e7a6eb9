// Component trailer parse and verify over arbitrary images.
#include <cstddef>
#include <cstdint>

#include "formats/image/trailer.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelnvm_component_trailer_t trailer;
    zeltnvmComponentTrailerParse(data, size, &trailer);
    zeltnvmComponentTrailerParse(data, size, nullptr);
    zeltnvmComponentTrailerVerify(data, size);
    if (size > 8) zeltnvmComponentTrailerVerifyAtOffset(data, 8, size - 8);
    return 0;
}
