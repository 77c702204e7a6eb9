// zeltnvm-esx: the tool for the hypervisor platform. It reaches the adapters through the
// adapter driver's management callbacks: by the platform's management library, or, when
// ZELTNVM_SIM names a simulated adapter host in a build that has one, by its stand-in
// serving the simulated driver.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/entry.h"
#include "cli/platform.h"
#include "device/mgmt_discovery.h"
#include "host/host.h"
#include "host/linux_host.h"
#include "host/mgmt_library.h"
#include "transport/mgmt_channel.h"
#if ZELT_WITH_SIM
#include "sim/host/sim_host.h"
#include "sim/host/sim_mgmt_library.h"
#include "sim/host/sim_root.h"
#endif

int main(int argc, char** argv) {
    // The run's host and management library, owned here and passed down.
    std::unique_ptr<zelt::host::Host> host;
    std::unique_ptr<zelt::host::MgmtLibrary> library;
    if (const char* sim = std::getenv("ZELTNVM_SIM")) {
#if ZELT_WITH_SIM
        std::string root, error;
        if (!zelt::sim::accept_sim_root(sim, root, error)) {
            std::fprintf(stderr, "Error: %s\n", error.c_str());
            return 1;
        }
        auto sim_host = std::make_unique<zelt::sim::SimHost>(root);
        library = std::make_unique<zelt::sim::SimMgmtLibrary>(*sim_host);
        host = std::move(sim_host);
#else
        (void)sim;
        std::fprintf(stderr, "zeltnvm-esx: ZELTNVM_SIM is ignored: this build has no simulated adapter host\n");
#endif
    }
    if (!host) {
        host = std::make_unique<zelt::host::LinuxHost>();
        library = zelt::host::platform_mgmt_library();
    }

    zelt::cli::Platform platform;
    platform.name = "ESXi";
    platform.root_check = false;
    platform.signal_handlers = false;
    platform.recovery = false;
    platform.downloads = false;
    platform.log_path = "zeltnvm.log";  // in the working directory
    platform.discover = [&library](zelt::host::Host& on, zelt::device::Inventory& inventory) {
        auto channel = std::make_shared<const zelt::transport::MgmtChannel>(on, *library);
        return zelt::device::zelt_nvm_discover_by_callbacks(*library, channel, inventory);
    };
    return zelt::cli::zeltnvm_main(argc, argv, *host, platform);
}
