// Updating the firmware of one adapter: what is saved before the package goes in,
// the installation with its one retry, the install log, and what is written back and
// reset afterwards.
//
// An AdapterUpdate owns the adapter's saved identity for the length of the update:
// the MAC addresses it saves itself before an ordinary installation, or everything the
// recovery preparation saved before a -recovery installation. It is dropped with the
// update, whichever way the update ends.
//
// The command layer shows the progress and the messages: it is told through an
// UpdateObserver, at the point of the update where the message belongs (the reset
// after a recovery tells it as a ResetObserver).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"
#include "device/identity/identity.h"
#include "device/inventory.h"
#include "device/recovery/recovery.h"
#include "device/reset/device_reset.h"
#include "host/file_snapshot.h"
#include "host/interrupt.h"

namespace zelt::device::installer {

// A piece of the identity that could not be written back.
enum class Piece { kMacAddresses, kOnboardCfg, kCertChain, kCertAlias, kFru, kVpd };

// What the command layer is told while an adapter is updated. Every method is called
// at most once per update, in the order of the update's steps.
class UpdateObserver : public ResetObserver {
public:
    // The package is about to be staged and installed / the installation ended.
    virtual void install_starting() {}
    virtual void install_ended() {}
    // The staging item is held by another agent (told before install_ended).
    virtual void access_denied() {}
    // A -recovery installation without -force found no staging item.
    virtual void nvm_not_healthy() {}
    // A -recovery -force installation could not create the staging item.
    virtual void recovery_failed() {}
    // A saved piece could not be written back.
    virtual void restore_failed(Piece) {}
    // The PCI BAR2 size differs after a recovery: the reset is left to a cold boot.
    virtual void bar2_size_changed(uint32_t /*before*/, uint32_t /*after*/) {}
    // Advice about a VPD field that was not written back (its console text).
    virtual void vpd_advice(const std::string& /*text*/) {}
};

// The adapter and how it is updated.
struct UpdateTarget {
    const Inventory* inventory = nullptr;         // the run's adapters (the reset reaches every PF)
    const InventoryFunction* function = nullptr;  // the function the update goes through
    uint16_t device_id = 0;     // PCI device id
    uint32_t install_type = 0;  // -type, as the firmware takes it
    bool recovery = false;      // -recovery
    bool force = false;         // -force
    bool cfg_pkg = false;       // a configuration package: the install log is kept as it was
};

// True for an installation that found no room in the NVM or found it fragmented: a
// firmware answer of no space to the staging write or to the installation, or the
// installation's own no-space result.
bool is_no_room(const Result& result);
// True when the firmware was busy with another request.
bool is_busy(const Result& result);

class AdapterUpdate {
public:
    // `saved`: what the recovery preparation saved (empty for an ordinary update).
    // `recovery`: the adapter's recovery (-recovery), owned by the update from now on;
    // the target's function and inventory are the ones it found again.
    AdapterUpdate(const UpdateTarget& target, SavedIdentity saved, UpdateObserver& observer,
                  std::unique_ptr<RecoveryState> recovery = nullptr);

    // Before the installation. Ordinary update: saves the MAC addresses and, for a
    // configuration package, the install log. -recovery: with -force writes back the
    // onboard configuration (ordinal 0, and 2 when the NVM held two such items); writes
    // back the certificate chain; then makes sure the staging item exists (created from
    // the package only with -force). A failure is the status to end the command with.
    // With -force, a preparation or installation that fails after the erase still writes
    // back the saved items that need no package (certificate alias, FRU, VPD), so that
    // the next run finds them to save again.
    Result prepare(std::span<const uint8_t> pkg);

    // Installs the package (one retry when the NVM had no room or was fragmented; a
    // staging write without room defragments first), then reports and trims the install
    // log (or puts a configuration package's saved log back). After an ordinary
    // installation that succeeded, writes the MAC addresses back. The installation's
    // result.
    // Once the firmware has accepted the package, a signal is acted on only after that
    // (after finish_recovery for a -recovery installation): see host::CarryThrough.
    // `snapshot`: the private file holding exactly `pkg`, staged as it is when the
    // channel can (nullptr: none).
    Result install(std::span<const uint8_t> pkg, const host::FileSnapshot* snapshot = nullptr);

    // After a successful -recovery installation: the multi-function mode, MAC
    // addresses, certificate alias and FRU are written back, and the VPD item when the
    // NVM lost it; then the adapter is reset (unless its PCI BAR2 size changed), then
    // with -force the VPD fields (all of them with `all_vpd_fields`, else the serial
    // number) are rewritten. Everything saved is then forgotten. The reset's exit
    // status.
    Result finish_recovery(bool all_vpd_fields);

    const SavedIdentity& saved() const { return saved_; }
    // What a -recovery installation could not bring back of the adapter's identity, one
    // text per piece or VPD field (with the value it had), in the order found.
    const std::vector<std::string>& lost() const { return lost_; }

private:
    Result prepare_recovery(std::span<const uint8_t> pkg);
    Result create_staging_item(std::span<const uint8_t> pkg);
    Result install_with_retry(std::span<const uint8_t> pkg, const host::FileSnapshot* snapshot);
    Result reset_after_recovery();
    void restore_failed(Piece piece);
    void keep_what_was_saved();
    const transport::Function& fn() const { return target_.function->function; }

    UpdateTarget target_;
    SavedIdentity saved_;
    UpdateObserver& observer_;
    std::string saved_log_;                // a configuration package's install log, kept as it was
    bool onboard_cfg_not_applied_ = false;  // writing it back before the installation failed
    bool cert_chain_not_applied_ = false;
    std::unique_ptr<host::CarryThrough> carry_;
    std::unique_ptr<RecoveryState> recovery_;  // from the installation to the identity's write-back
    std::vector<std::string> lost_;
};

}  // namespace zelt::device::installer
