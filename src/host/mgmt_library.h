// The hypervisor platform's management library, as the tool uses it: a handle opened
// for the adapter driver's management interface, callbacks invoked through it, and the
// handle closed again. The platform build links the real library when the machine has
// it; the simulated adapter host serves the same calls from its state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zelt::host {

// The interface a handle is opened for: revision, name, vendor and callback count.
struct MgmtSignature {
    uint8_t revision[4] = {};
    std::string name;
    std::string vendor;
    uint32_t callbacks = 0;
};

using MgmtHandle = uint64_t;

class MgmtLibrary {
public:
    virtual ~MgmtLibrary() = default;
    // vmk_MgmtUserInit: 0 and an open handle, or the library's non-zero status.
    virtual int user_init(const MgmtSignature& signature, MgmtHandle& handle) = 0;
    // The callback invocation: runs callback `number` of the driver with the request
    // header (its status written by the driver) and the payload record. 0 when the
    // call reached the driver, else the library's non-zero status.
    virtual int invoke(MgmtHandle handle, uint32_t number, void* header, size_t header_size, void* payload,
                       size_t payload_size) = 0;
    // vmk_MgmtUserDestroy.
    virtual void user_destroy(MgmtHandle handle) = 0;
};

// The status of every call when the build has no platform library.
inline constexpr int kMgmtLibraryAbsent = -2;

// The platform's own library when this build links it; otherwise a library whose
// handles never open (kMgmtLibraryAbsent).
std::unique_ptr<MgmtLibrary> platform_mgmt_library();

}  // namespace zelt::host
