// What one run of the tool is given from the start: the host it works on, the output
// its reports go to, how long it waits for a lock, and the texts that name the tool.
// The front end's entry builds it once and hands it to every command.
#pragma once

#include <cstdint>
#include <string>

#include "cli/platform.h"
#include "host/host.h"

namespace zelt::cli {

namespace report {
class Output;
}  // namespace report

struct RunContext {
    // The OS seam of the run; its now() is the run's clock.
    host::Host& host;
    // Where the run's reports are rendered (text or JSON).
    report::Output& output;
    // How long a command waits for a lock another run holds, in real milliseconds.
    unsigned lock_wait_ms = 0;
    // The -v count (all bits for -V), set by the argument scan; 0 is quiet.
    uint32_t verbosity = 0;
    // -debug: traces of the scan and of option lookups.
    bool debug = false;
    // "zeltnvm v<version> for <platform> built <date> <time> by <account>".
    std::string tool_identification;
    // The program's platform.
    const Platform* platform = nullptr;
};

}  // namespace zelt::cli
