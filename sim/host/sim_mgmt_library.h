// The stand-in for the platform's management library: handles are plain numbers, and
// every callback goes to the simulated adapter driver of `host`.
#pragma once

#include <set>
#include <string>

#include "host/mgmt_library.h"
#include "sim/host/sim_host.h"

namespace zelt::sim {

class SimMgmtLibrary final : public host::MgmtLibrary {
public:
    explicit SimMgmtLibrary(SimHost& host) : host_(host) {}

    // Refuses a signature other than the adapter driver's interface.
    int user_init(const host::MgmtSignature& signature, host::MgmtHandle& handle) override;
    // A handle that is not open fails the call.
    int invoke(host::MgmtHandle handle, uint32_t number, void* header, size_t header_size, void* payload,
               size_t payload_size) override;
    void user_destroy(host::MgmtHandle handle) override;

    // Handles opened and not yet closed.
    size_t open_handles() const { return open_.size(); }

private:
    SimHost& host_;
    std::set<host::MgmtHandle> open_;
    host::MgmtHandle next_ = 0x7100;
};

}  // namespace zelt::sim
