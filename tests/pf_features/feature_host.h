// A simulated host for the per-feature device commands, with a count of the firmware
// messages the simulated drivers received (so a test can show that a refused argument
// sent nothing).
#pragma once

#include <string>

#include "tests/support/simulated_host.h"

namespace zelt::test {

class FeatureHost : public SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // Firmware messages of number `req_type` received so far.
    int requests(int req_type) const {
        const std::string log = read_text_file(root() + "/sim/requests.log");
        const std::string key = "\"req_type\":" + std::to_string(req_type) + ",";
        int n = 0;
        for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) ++n;
        return n;
    }
    // Every firmware message received so far.
    int all_requests() const {
        const std::string log = read_text_file(root() + "/sim/requests.log");
        int n = 0;
        for (size_t at = log.find("\"req_type\":"); at != std::string::npos; at = log.find("\"req_type\":", at + 1))
            ++n;
        return n;
    }
};

}  // namespace zelt::test
