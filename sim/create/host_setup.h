// Creating a simulated host directory from a description.
#pragma once

#include <map>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sim/state/description.h"
#include "sim/state/runtime_state.h"

namespace zelt::sim {

// A host to create: its description and each adapter's initial firmware state.
struct HostSetup {
    HostDesc host;
    std::map<std::string, AdapterState> initial;  // by adapter name
};

// Reads a configuration file's JSON. Besides the description fields, an adapter may
// give "options" ([{"num": 157, "index": 0, "bits": 8, "value": 2}], "index" also as
// "1.0.0.0"), "temperature", "temperature_flags" (the temperature answer's flags),
// "fw_status", "crash_dump_length", "live_dump_length" (bytes of the driver's live dump;
// 0, the default, turns its dump facility off) and "option_action_status" (1: a device
// reset is pending, 2: a system reboot is pending, 3: a cold boot is pending).
bool setup_from_json(const nlohmann::json& j, HostSetup& setup, std::string& error);

// The default host.
HostSetup default_setup();

// Creates the host directory at `root` (which must not hold a simulated host yet):
// file tree, flash images with the factory content, the recovery images, description
// and state. Structural
// faults of the description are applied to it first.
bool create_host(const std::string& root, HostSetup setup, std::string& error);

}  // namespace zelt::sim
