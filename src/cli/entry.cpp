#include "cli/entry.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/cli_helper.h"
#include "cli/front_end_hooks.h"
#include "cli/version.h"
#include "host/host.h"
#include "log/monitor.h"
#include "log/print.h"
#include "log/run_flags.h"

namespace {

constexpr int kNotRootStatus = 40;

// Commands that run without adapter discovery.
bool skips_discovery(const char* first) { return std::strcmp(first, "-h") == 0 || std::strcmp(first, "version") == 0; }

}  // namespace

void zeltnvmExit(int signal) {
    // No dot may follow the last message, nor the thread outlive the log it writes beside.
    zeltnvm_stop_monitor_at_exit();
    zeltnvm_close_log_file();
    zeltnvm_stop_running_eye_scope();
    zeltnvm_release_pci_mailbox();
    if (signal == SIGINT || signal == SIGSEGV) {
        std::fflush(stdout);
        ::_exit(1);
    }
}

int zeltnvm_main(int argc, char** argv) {
    if (zelt::host::current().real_user_id() != 0) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                      "Error: Operation not permitted. This operation requires root privileges\n");
        return kNotRootStatus;
    }
    std::signal(SIGINT, zeltnvmExit);
    std::signal(SIGSEGV, zeltnvmExit);

    zeltnvm_open_log_file();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Halvex Management Utility Version v%u.%u.%u.%u\n", ZELT_VERSION_MAJOR,
                  ZELT_VERSION_MINOR, ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH);

    if (argc > 1 && !skips_discovery(argv[1])) {
        int rc = zelt_nvm_init();
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                          "No supported devices found. Please make sure all the required drivers are loaded "
                          "properly\n");
            zeltnvmExit(0);
            return rc & 0xFF;
        }
    }

    bool debug = false;
    int rc = cliHelper(argc, argv, &debug);
    zeltnvmExit(0);
    return rc & 0xFF;
}
