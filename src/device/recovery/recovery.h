// Recovery of an adapter whose firmware no longer boots from its NVM.
//
// The recovery halts the chip's processors, loads a recovery firmware image from the
// host's firmware directory straight into chip memory through the BAR0 window, starts
// it, and then reaches that image over the PCI mailbox to rewrite the NVM. This header
// holds what the install command uses: the preparation run before a package is written
// with -recovery (driver released, function found again, image started, NVM made
// ready), and the clearing of the fastboot state after the installation.
//
// Device code does not print to the console: what the administrator must read is told
// to a RecoveryObserver as it happens; the command layer prints it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "device/host_actions.h"
#include "device/identity/identity.h"
#include "device/inventory.h"
#include "host/host.h"
#include "transport/mailbox_road.h"

namespace zelt::device {

// Statuses of the recovery preparation.
inline constexpr int32_t kRecoveryNeedsCfgSection = 59;  // -force with a package without a configuration section
inline constexpr int32_t kRecoveryNoDevice = 58;         // the function cannot be found (again)
inline constexpr int32_t kRecoveryUnbindFailed = 53;     // the driver could not release the adapter
inline constexpr int32_t kRecoveryImageFailed = 55;      // the recovery image did not come up
inline constexpr int32_t kRecoveryVfFailed = 52;         // the virtual functions could not be turned off

// What the recovery tells the administrator while it runs.
class RecoveryObserver : public HostActionObserver {
public:
    // A message for the console (and the log); `error` for a failure.
    virtual void say(const std::string& text, bool error) { (void)text, (void)error; }
};

// The steps a recovery went through, for the command's report.
struct RecoverySteps {
    bool vfs_disabled = false;     // the adapter's VFs were turned off
    bool unbound = false;          // the adapter's functions were released from the driver
    bool found_again = false;      // the function was found again by its PCI window name
    bool protection_unlocked = false;
    bool image_started = false;    // the recovery image runs
    bool identity_saved = false;   // -force: the identity was saved
    bool nvm_erased = false;       // -force: the NVM's start was erased
    bool defragmented = false;     // without -force: the NVM was defragmented
    bool defragment_failed = false;
};

// The recovery of one adapter: owned by the adapter's update for the length of the
// install command. It holds the run's adapters as found again after the driver let
// go of them, the mailbox road the recovered function is reached on (its run knows the
// function is in recovery and whether the recovery image runs), what was saved of the
// identity, and what the administrator must do next.
struct RecoveryState {
    std::shared_ptr<transport::MailboxRoad> road;
    Inventory inventory;           // the adapters as found again
    size_t function_index = 0;     // the recovered function in `inventory`
    int device_type = 0;
    std::string image;             // the recovery image file that was started
    RecoverySteps steps;
    SavedIdentity saved;           // -force: what the NVM erase would lose
    // What the administrator must do next, in words; empty when nothing.
    std::string next_action;

    const InventoryFunction& function() const { return inventory.functions[function_index]; }
    // The image runs: the mailbox does not ask the firmware health any more.
    void image_running(bool running) const;
    // The function is no longer in recovery (after the reset that ends it).
    void leave_recovery() const;
};

// Options of the recovery preparation.
struct RecoveryRequest {
    bool force = false;             // -force: erase the NVM and keep the identity aside
    bool cfg_section = false;       // the package has a configuration section
    bool onboard_cfg_required = false;  // the package needs the onboard configuration (more VPD fields saved)
    // 0 when the package has the staging item's record (which -force needs to create the
    // staging item in the erased NVM), else the status of looking for it.
    int32_t update_record_status = 0;
};

// The outcome of the recovery preparation.
struct RecoveryPreparation {
    Result result;  // success, or the failing status
    // Always set: on failure it still says which steps ran and what the administrator
    // must do next.
    std::unique_ptr<RecoveryState> state;
};

// Prepares the adapter of `target` (a function of `inventory`) for a recovery
// installation: refuses -force with a package without a configuration section (59) or
// without the staging item's record (its lookup status), before anything is touched,
// since the erase would leave an NVM the package cannot fill; with a driver bound
// turns the VFs off (52), unbinds the
// adapter (53) and finds the function again by its PCI window name (58); starts the
// recovery image (55); with -force saves the identity and erases the NVM's start (the
// erase's status), without it defragments the NVM (a failed defragmentation is only
// reported).
RecoveryPreparation zeltnvm_invoke_recovery_process(host::Host& host, const Inventory& inventory,
                                                    const InventoryFunction& target, const RecoveryRequest& request,
                                                    RecoveryObserver& observer);

// Unlocks the register protection and starts the recovery image on the function `fn`
// by family. Success, or the failing step's result.
// The chip is reached through the host of `fn`'s channel; messages through the
// firmware (the unlock of a running firmware, the warm reset) go through `fn`.
// `run` (optional): the mailbox run `fn` is reached on, told when the image runs.
Result zeltnvm_fastboot_recovery_image(const transport::Function& fn, int device_type, RecoveryObserver& observer,
                                       std::string* image_out = nullptr, transport::MailboxRun* run = nullptr);

// Clears the fastboot state of the recovered adapter of `fn` (device types above 7;
// nothing on the others). Success, or a register access failure.
Result zeltnvm_clear_fastboot_regs(const transport::Function& fn, int device_type);

}  // namespace zelt::device
