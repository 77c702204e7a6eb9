// What sets one program of the tool apart from the other: the platform it names, the
// checks and handlers its entry installs, what its install command offers, and how it
// finds the adapters. The program's main chooses one and hands it to the front end.
#pragma once

#include <functional>

#include "common/result.h"
#include "device/inventory.h"
#include "host/host.h"
#include "log/print.h"

namespace zelt::cli {

struct Platform {
    // Named in the tool identification ("... for <name> ...").
    const char* name = "Linux";
    // The entry refuses a user that is not root, and installs the signal handlers.
    bool root_check = true;
    bool signal_handlers = true;
    // install -recovery can run; without it the recovery preparation refuses with 2.
    bool recovery = true;
    // Packages can be downloaded (install -online); without it every download fails with 14.
    bool downloads = true;
    // Where the log is kept.
    const char* log_path = ZELT_LOG_PATH;
    // Adapter discovery; empty: the firmware-channel and PCI-window roads of the host.
    std::function<Result(host::Host&, device::Inventory&)> discover;
};

// The Linux program's platform.
Platform linux_platform();

struct RunContext;
// Whether the run's platform offers recovery and package downloads.
bool offers_recovery(const RunContext& context);
bool offers_downloads(const RunContext& context);

// The status of a download on a platform without downloads.
inline constexpr int kNoDownloadStatus = 14;
// The status of a recovery asked for on a platform that cannot run one.
inline constexpr int kNoRecoveryStatus = 2;

}  // namespace zelt::cli
