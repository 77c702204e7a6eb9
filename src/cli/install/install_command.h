// The install command: picks the package for each adapter, decides which adapters need
// it, asks once, then installs adapter by adapter and advises how the new firmware
// takes effect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/byte_buffer.h"
#include "common/result.h"
#include "device/identity/identity.h"
#include "device/inventory.h"
#include "device/recovery/recovery.h"
#include "host/file_snapshot.h"
#include "host/host.h"

namespace zelt::cli {

struct ScanOptions;
struct ParsedCommand;
struct RunContext;

// The arguments of install (its file arguments are the parsed command's file list).
struct InstallArgs {
    // The pattern after '=' of the command word (install=<pattern>); nullptr without one.
    const char* pattern = nullptr;
    bool force = false;      // -force: install even an older or the same package
    bool recovery = false;   // -recovery: recover the adapter named by -dev=
    bool online = false;     // -online: the package comes from the support site
    bool yes = false;        // -y: no confirmation question
    bool noidcheck = false;  // -noidcheck: with -recovery, skip the identity check
    int32_t type = 0;        // -type=: the install type handed to the firmware
    bool plan = false;       // -plan: stop before the question; nothing is written

    static InstallArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

// A package's bytes: a private snapshot of its file (host/file_snapshot.h), which
// the installation can stage as it is, or the file read into memory (a wrapped package,
// unwrapped in place, or where no snapshot could be made).
class PackageBytes {
public:
    PackageBytes() = default;
    explicit PackageBytes(zelt::ByteBuffer buffer) : buffer_(std::move(buffer)) {}
    explicit PackageBytes(host::FileSnapshot snapshot) : snapshot_(std::move(snapshot)) {}

    std::span<const uint8_t> span() const {
        return snapshot_.holds() ? snapshot_.bytes() : std::span<const uint8_t>(buffer_);
    }
    operator std::span<const uint8_t>() const { return span(); }
    const uint8_t* data() const { return span().data(); }
    size_t size() const { return span().size(); }
    bool empty() const { return span().empty(); }
    // The snapshot holding the bytes; nullptr when they were read into memory.
    const host::FileSnapshot* snapshot() const { return snapshot_.holds() ? &snapshot_ : nullptr; }
    // Lets go of the bytes (memory or snapshot).
    void release() {
        zelt::ByteBuffer().swap(buffer_);
        snapshot_.reset();
    }

private:
    zelt::ByteBuffer buffer_;
    host::FileSnapshot snapshot_;
};

// The package file chosen for one adapter, and what the package says of itself.
struct ChosenPackage {
    std::string file;                   // as named on the command line or matched by its pattern
    PackageBytes bytes;                 // the package as read and verified: what gets installed
    std::string version;                // the package version, "" when it has none
    bool onboard_cfg_required = false;  // needs the adapter's onboard configuration item
    bool livepatch = false;             // a live patch: takes effect without a reboot
};

// The selection for one adapter among the candidate files.
struct PackageChoice {
    int status = 4;  // 0 when at least one package applies; else 4, 8, 12, 69 or 77
    ChosenPackage chosen;                 // the first applicable package (status 0)
    std::vector<std::string> applicable;  // every applicable file, in the order given
    int failing_item = 0;  // 1-based package item that failed the last verification (status 12), else 0
};

// What the install command decided for an adapter and how it ended.
enum class InstallDecision {
    kRefused,   // not installed: no package for it, several, a failed check, busy, ...
    kUpToDate,  // already runs the package (or a newer one): skipped
    kUpdate,    // to be updated (when the run goes that far)
};
// What the new firmware still needs before it runs.
enum class PendingAction { kNone, kReset, kReboot, kColdBoot };

// One adapter of the install command: the data its report shows.
struct AdapterOutcome {
    const device::InventoryFunction* function = nullptr;  // the function the install goes through
    int adapter = 0;  // the adapter's number from 1 in listing order, 0 when not known
    int number = 0;   // its "Controller #" in the messages, 0 when it got none
    std::string package_file;     // the chosen package, "" when none was chosen
    std::string package_version;  // its version, "" when it has none
    std::optional<std::string> version_before;  // the installed package version, when it was read
    InstallDecision decision = InstallDecision::kRefused;
    std::string reason;      // why it was refused
    int failing_item = 0;     // 1-based package item that failed, 0 when none is known
    bool attempted = false;  // the installation was started
    bool completed = false;  // ... and completed
    Result result;           // how the installation (or a refused recovery's preparation) failed
    int status = 0;          // the adapter's exit status
    PendingAction action = PendingAction::kNone;
    // -recovery: the preparation's steps, the image it started, the name the adapter was
    // reached by afterwards, and what the administrator must do next.
    bool recovery = false;
    device::RecoverySteps recovery_steps;
    std::string recovery_image;
    std::string reached_as;
    std::string next_action;
    // What the recovery could not bring back of the adapter's identity ("; " between
    // pieces), told first in the next action; empty when nothing.
    std::string lost;
};

// The install command's outcome: the run's exit status and every adapter considered,
// in discovery order.
struct InstallOutcome {
    int status = 0;
    std::vector<AdapterOutcome> adapters;
};

// One adapter considered by the install command.
struct zelt_update_row {
    const zelt::device::InventoryFunction* target = nullptr;  // the function the update goes through
    uint32_t domain;
    uint32_t bus;
    uint32_t device;
    uint32_t function;
    uint16_t device_id;
    int device_type;
    zelt::cli::ChosenPackage package;  // the package this adapter gets
    int cfg_pkg = 0;                   // 1 when it is a configuration package for the adapter
    int skip;  // 0 update, 1 already up to date, 76 several applicable packages
    // What the recovery preparation saved of the adapter's identity, written back by
    // the update (empty without -recovery).
    zelt::device::SavedIdentity saved;
    // -recovery: the adapter's recovery (its function found again is `target`), handed
    // to the adapter's update.
    std::unique_ptr<zelt::device::RecoveryState> recovery;
};

// The adapters the selection numbered, each with its row and its entry in the
// outcome's adapters.
struct InstallRows {
    std::vector<zelt_update_row> rows;
    std::vector<size_t> outcome_of;  // rows[i]'s index in InstallOutcome::adapters
};

// The install command on the selected function (nullptr: every adapter), on the run
// context's host.
// Under -json the confirmation question goes to standard error (standard output holds
// a document). Each adapter's lock is taken, with the context's wait, after the
// question and before the adapter is written to.
// With args.plan the command ends where the question would be asked: every adapter has
// its decision and status as the install would have them, nothing has been written,
// and `rows` (when given) keeps what the selection chose for each numbered adapter.
zelt::cli::InstallOutcome zeltnvm_install_command(const zelt::device::Inventory& inventory,
                                                  const zelt::device::InventoryFunction* selected, char** files, int count, const zelt::cli::InstallArgs& args,
                                                  const zelt::cli::RunContext& context,
                                                  zelt::cli::InstallRows* rows = nullptr);

// True when `installed` is the same as or newer than `package` (both "a.b.c.d").
bool is_pkg_upgrade(const char* installed, const char* package);

// Package selection for one function among `files`, read through `host`. A file's properties count only
// once the file has passed every check; the chosen package keeps the bytes that passed
// them.
zelt::cli::PackageChoice zeltnvm_check_package_supported(zelt::host::Host& host,
                                                         const zelt::device::InventoryFunction& function,
                                                         const std::vector<std::string>& files,
                                                         const zelt::cli::InstallArgs& args);

// Installs the row's package on its adapter; the row's saved identity goes with the
// update. Returns the exit status of that adapter's update; `outcome` gets the
// installation's result and what the adapter still needs.
int zeltnvm_invoke_firmware_update(const zelt::device::Inventory& inventory, zelt_update_row& row,
                                   const zelt::cli::InstallArgs& args, zelt::cli::AdapterOutcome& outcome);

// The message and exit status of an installation of `file` that failed with `result`
// (not busy): 67 anti-rollback, 73 voltage regulator, 20 no room or fragmented NVM, 10
// no administrative rights, 57 resources locked, 11 anything else.
int zeltnvm_install_failure_status(const char* file, const zelt::Result& result);

// How the new firmware takes effect (cold boot, reboot, or nothing for a live patch),
// read from the adapter and the package without writing anything; `message` (when
// given) gets the console line that says so, nullptr when there is none.
zelt::cli::PendingAction zeltnvm_pending_action(const zelt::device::InventoryFunction& device,
                                               const zelt::cli::ChosenPackage& package, int cfg_pkg,
                                               const char** message);

// How the new firmware takes effect (cold boot, reboot, or nothing for a live patch):
// printed, and returned.
zelt::cli::PendingAction print_reboot_message(const zelt::device::InventoryFunction& device,
                                              const zelt::cli::ChosenPackage& package, int cfg_pkg);

// Primary version of the first item of `dir_type` in the package; empty when there is
// none.
std::string zeltnvm_get_pkg_dir_type_version(std::span<const uint8_t> pkg, int dir_type);

// The installed package version of the adapter: what the driver (or, for a PCI
// window function, the firmware) reports, else the install log's last version. Empty when
// neither is known.
std::string zeltnvm_installed_pkg_version(const zelt::device::InventoryFunction& target);

}  // namespace zelt::cli
