// Option arguments as typed on the command line: parse for each command, then check
// the record as the commands do, and render the help of what was found.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "options/option_help.h"
#include "options/option_parse.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the command and the instance limit; the rest is the text.
    const uint16_t command = static_cast<uint16_t>(1 + data[0] % 3);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    zeltnvm_option opt;
    std::memset(&opt, 0, sizeof opt);
    opt.command = command;
    opt.max_instance = data[0] & 0x80 ? 15 : 3;
    std::string sink_text;
    auto sink = [&sink_text](zeltnvm_stream, const std::string& s) { sink_text += s; };
    if (zeltnvm_fill_option_Info(&opt, text.c_str(), sink) == 0) {
        if (zeltnvm_verify_option_Info(&opt, sink) == 0) {
            std::string label;
            zeltnvm_get_option_string(&opt, &label);
            uint32_t elements[4];
            zeltnvm_option_elements(&opt, elements);
        }
        (void)zeltnvm_detailed_option_help(&opt, data[0] % 10);
    }
    return 0;
}
