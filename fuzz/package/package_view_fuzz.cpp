// The package report over arbitrary bytes, at every verbosity.
#include <cstdint>
#include <string>

#include "package/package_view.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (unsigned verbosity = 0; verbosity < 3; ++verbosity) {
        std::string out;
        zelpkgView(data, size, verbosity == 0 ? 5 : 0, verbosity, out);
    }
    return 0;
}
