// zeltnvm: chooses the host (real, or the simulated adapter host named by
// ZELTNVM_SIM in a build that has one) and runs the front end.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/entry.h"
#include "host/host.h"
#include "host/linux_host.h"
#if ZELT_WITH_SIM
#include "sim/host/sim_host.h"
#include "sim/host/sim_root.h"
#endif

int main(int argc, char** argv) {
    // The run's one host, owned here and passed down.
    std::unique_ptr<zelt::host::Host> host;
    if (const char* sim = std::getenv("ZELTNVM_SIM")) {
#if ZELT_WITH_SIM
        // Only a directory no other user can change: this process may be root.
        std::string root, error;
        if (!zelt::sim::accept_sim_root(sim, root, error)) {
            std::fprintf(stderr, "Error: %s\n", error.c_str());
            return 1;
        }
        host = std::make_unique<zelt::sim::SimHost>(root);
#else
        (void)sim;
        std::fprintf(stderr, "zeltnvm: ZELTNVM_SIM is ignored: this build has no simulated adapter host\n");
#endif
    }
    if (!host) host = std::make_unique<zelt::host::LinuxHost>();
    return zelt::cli::zeltnvm_main(argc, argv, *host);
}
