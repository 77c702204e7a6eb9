// Small helpers shared by the option library tests.
#pragma once

#include <cstring>
#include <string>

#include "options/option_parse.h"

namespace zelt::test {

// Messages a call reported, by stream.
struct CapturedMessages {
    std::string out;
    std::string err;
    zeltnvm_option_sink sink() {
        return [this](zeltnvm_stream s, const std::string& text) { (s == zeltnvm_stream::out ? out : err) += text; };
    }
};

// A zero-filled record for `command`, with the instance limit the commands set.
inline zeltnvm_option make_option(uint16_t command) {
    zeltnvm_option opt;
    std::memset(&opt, 0, sizeof opt);
    opt.command = command;
    opt.max_instance = ZELTNVM_MAX_PHYS_INSTANCE;
    return opt;
}

}  // namespace zelt::test
