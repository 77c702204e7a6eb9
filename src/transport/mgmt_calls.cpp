#include "transport/mgmt_calls.h"

#include <algorithm>
#include <cstring>

#include "common/hvxretval.h"
#include "log/print.h"
#include "wire/mgmt_callbacks.h"

namespace zelt::transport {

host::MgmtSignature mgmt_signature() {
    host::MgmtSignature sig;
    std::copy(std::begin(wire::mgmt::kInterfaceRevision), std::end(wire::mgmt::kInterfaceRevision), sig.revision);
    sig.name = wire::mgmt::kInterfaceName;
    sig.vendor = wire::mgmt::kInterfaceVendor;
    sig.callbacks = wire::mgmt::kInterfaceCallbacks;
    return sig;
}

MgmtSession::MgmtSession(host::MgmtLibrary& library) : library_(library) {
    const int status = library_.user_init(mgmt_signature(), handle_);
    open_ = status == 0;
    if (!open_) zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "vmk_MgmtUserInit failed with status %d\n", status);
}

MgmtSession::~MgmtSession() {
    if (open_) library_.user_destroy(handle_);
}

Result MgmtSession::open_result() const {
    return open_ ? Result() : Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
}

MgmtSession::Outcome MgmtSession::invoke(std::string_view ifname, uint32_t number, void* payload, size_t size) {
    wire::mgmt::RequestHeader header{};
    std::memcpy(header.ifname, ifname.data(), std::min(ifname.size(), sizeof header.ifname - 1));
    header.callback = number;
    Outcome out;
    out.call = library_.invoke(handle_, number, &header, sizeof header, payload, size);
    out.driver = header.status;
    return out;
}

}  // namespace zelt::transport
