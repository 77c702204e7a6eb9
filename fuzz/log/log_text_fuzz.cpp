// The configuration file reader and the text helpers over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "log/log_config.h"
#include "log/text_helpers.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0) {
        if (FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r")) {
            zeltnvm_parse_log_level(f);
            std::rewind(f);
            zelt::log::parse_lock_wait_seconds(f);
            std::fclose(f);
        }
    }
    // The first byte picks a column and a separator set; the rest is the text.
    const int column = size > 0 ? data[0] % 8 : 1;
    const char* separators = size > 0 && (data[0] & 0x80) ? " \t=:#" : ",";
    std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    text = text.c_str();  // the helpers take zero-terminated text
    zelt_nvm_parse(text.c_str(), column, separators);
    zeltnvm_get_filename_ext(text.c_str());
    checkInputValue(text.c_str());
    zelt_nvm_string_split(text.data(), separators);
    return 0;
}
