// Creating a simulated host directory from a description.
#pragma once

#include <map>
#include <set>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include <vector>

#include "sim/create/flash_file.h"
#include "sim/state/description.h"
#include "sim/state/runtime_state.h"

namespace zelt::sim {

// A host to create: its description, each adapter's initial firmware state and, for an
// adapter that does not start from the factory content, the items its NVM holds.
// `erased_flash` gives, by adapter name, the bytes of erased flash the adapter's file
// already holds under the host (written while other work went on).
struct HostSetup {
    HostDesc host;
    std::map<std::string, AdapterState> initial;           // by adapter name
    std::map<std::string, std::vector<NvmItem>> nvm_items;  // by adapter name
    std::map<std::string, uint64_t> erased_flash;
};

// Reads a configuration file's JSON. Besides the description fields, an adapter may
// give "options" ([{"num": 157, "index": 0, "bits": 8, "value": 2}], "index" also as
// "1.0.0.0"), "temperature", "temperature_flags" (the temperature answer's flags),
// "fw_status", "crash_dump_length", "live_dump_length" (bytes of the driver's live dump;
// 0, the default, turns its dump facility off) and "option_action_status" (1: a device
// reset is pending, 2: a system reboot is pending, 3: a cold boot is pending).
bool setup_from_json(const nlohmann::json& j, HostSetup& setup, std::string& error);

// Removes, unless kept, what was added under a host's root since it was made: the
// root itself when it did not exist, else the entries that the root and its sim/
// directory did not hold. A host that fails half-way through its creation is not left
// behind.
class NewHostDir {
public:
    explicit NewHostDir(std::string root);
    ~NewHostDir();
    NewHostDir(const NewHostDir&) = delete;
    NewHostDir& operator=(const NewHostDir&) = delete;
    void keep() { kept_ = true; }

private:
    std::string root_;
    bool existed_ = false;
    std::set<std::string> before_;  // entries of the root and of its sim/, by path
    bool kept_ = false;
};

// The default host.
HostSetup default_setup();

// Creates the host directory at `root` (which must not hold a simulated host yet):
// file tree, flash images with the factory content, the recovery images, description
// and state. Structural faults of the description are applied to it first. On failure
// nothing it made is left behind: `root` itself when it did not exist, else the files
// and directories it added there.
bool create_host(const std::string& root, HostSetup setup, std::string& error);

}  // namespace zelt::sim
