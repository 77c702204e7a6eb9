// Calls into the adapter driver's management interface: a handle opened for the
// interface, a callback invoked with its request header and payload record, and the
// handle closed again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/result.h"
#include "host/mgmt_library.h"

namespace zelt::transport {

// The interface the tool opens handles for.
host::MgmtSignature mgmt_signature();

// An open management handle, closed when it goes.
class MgmtSession {
public:
    // Opens a handle; on failure logs "vmk_MgmtUserInit failed with status %d".
    explicit MgmtSession(host::MgmtLibrary& library);
    ~MgmtSession();
    MgmtSession(const MgmtSession&) = delete;
    MgmtSession& operator=(const MgmtSession&) = delete;

    bool is_open() const { return open_; }
    // HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE when the handle did not open.
    Result open_result() const;

    // How one callback ended: the library's status and the driver's.
    struct Outcome {
        int call = 0;
        uint32_t driver = 0;
        bool ok() const { return call == 0 && driver == 0; }
    };
    // Invokes callback `number` for interface `ifname` (at most 15 characters are sent)
    // with `payload` of `size` bytes.
    Outcome invoke(std::string_view ifname, uint32_t number, void* payload, size_t size);
    template <class Payload>
    Outcome invoke(std::string_view ifname, uint32_t number, Payload& payload) {
        return invoke(ifname, number, &payload, sizeof payload);
    }

private:
    host::MgmtLibrary& library_;
    host::MgmtHandle handle_ = 0;
    bool open_ = false;
};

}  // namespace zelt::transport
