#include "sim/host/sim_mgmt_library.h"

#include <csignal>
#include <pthread.h>

#include "host/interrupt.h"
#include "sim/driver/sim_devices.h"
#include "wire/mgmt_callbacks.h"

namespace zelt::sim {

namespace {

constexpr int kBadSignature = 0x0BAD0003;

// A callback runs to its end like a call into the kernel: signals wait until it returns.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t held;
        sigemptyset(&held);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&held, sig);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

int SimMgmtLibrary::user_init(const host::MgmtSignature& signature, host::MgmtHandle& handle) {
    if (signature.name != wire::mgmt::kInterfaceName || signature.vendor != wire::mgmt::kInterfaceVendor ||
        signature.callbacks != wire::mgmt::kInterfaceCallbacks)
        return kBadSignature;
    handle = next_++;
    open_.insert(handle);
    return 0;
}

int SimMgmtLibrary::invoke(host::MgmtHandle handle, uint32_t number, void* header, size_t header_size, void* payload,
                           size_t payload_size) {
    if (!open_.count(handle)) return -1;
    int rc;
    {
        HeldSignals held;
        rc = mgmt_callback(host_.root(), number, header, header_size, payload, payload_size);
    }
    host_.clock_changed();  // the driver may have waited on the virtual clock
    host::interruption_point();
    return rc;
}

void SimMgmtLibrary::user_destroy(host::MgmtHandle handle) { open_.erase(handle); }

}  // namespace zelt::sim
