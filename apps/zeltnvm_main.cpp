// zeltnvm: chooses the host (real, or the simulated adapter host named by
// ZELTNVM_SIM) and runs the front end.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/entry.h"
#include "host/host.h"
#include "host/linux_host.h"
#include "sim/host/sim_host.h"

int main(int argc, char** argv) {
    // The run's one host, owned here and passed down.
    std::unique_ptr<zelt::host::Host> host;
    if (const char* sim = std::getenv("ZELTNVM_SIM")) {
        struct stat st;
        if (::stat(sim, &st) != 0 || !S_ISDIR(st.st_mode)) {
            std::fprintf(stderr, "Error: ZELTNVM_SIM='%s' is not a directory of a simulated host\n", sim);
            return 1;
        }
        host = std::make_unique<zelt::sim::SimHost>(sim);
    } else {
        host = std::make_unique<zelt::host::LinuxHost>();
    }
    return zelt::cli::zeltnvm_main(argc, argv, *host);
}
