// The simulated firmware's reset: what a reset activates, how long the firmware and the
// VFs take to come back, and the reset faults that stop any of it.
//
// A "reset_fault" scheduled on the host picks its effect with `cmd_err`:
//   1  the firmware does not come back after the reset (it stays down for an hour)
//   2  the reset counter does not move
//   3  the PFs the fault names (all when none) get one VF fewer back than they had
//   4  the firmware reports no wait periods (both read as 0)
//   5  synchronising the firmware copies fails (the sync status reports failure)
#pragma once

#include <cstdint>

#include "sim/chip/recovery_chip.h"
#include "sim/firmware/firmware.h"
#include "wire/hwrm_query.h"

namespace zelt::sim {

// Virtual time the firmware needs to restart after a reset, and the time after that
// until the drivers have registered the VFs again.
inline constexpr unsigned kResetRestartMs = 2000;
inline constexpr unsigned kResetVfReturnMs = 1500;
// How long a firmware that does not come back stays down.
inline constexpr unsigned kResetStuckMs = 3600u * 1000u;

enum class ResetFault : uint8_t {
    none = 0,
    stays_down = 1,
    counter_stuck = 2,
    fewer_vfs = 3,
    no_wait_periods = 4,
    sync_fails = 5,
};

// Sync status bit the firmware reports when synchronising its copies failed.
inline constexpr uint32_t kSyncStatusFailed = 0x40000000;
// Redundancy status bits an update of the newest chips leaves set (the SRT and CRT
// copies differ) until the images are synchronised.
inline constexpr uint32_t kFwStatusImagesUpdated = 0x0008 | 0x0020;
// Pending boot action of the firmware status query: a device reset activates an
// installation.
inline constexpr uint8_t kBootActionDeviceReset = 1;

// Offsets of the firmware registers that the newest chips (device type above 7) put
// behind the configuration direct window; the health word is at
// ZELT_CFG_WINDOW_FW_HEALTH. The recovery query names them with the window encoding.
inline constexpr uint16_t kWindowHeartbeat = 0x524;
inline constexpr uint16_t kWindowResetCount = 0x528;
inline constexpr uint16_t kWindowResetInProgress = 0x52C;
inline constexpr uint16_t kWindowErrorRecoveryCount = 0x530;

// True when the adapter's firmware can reset the whole chip on request.
bool sim_hot_reset_capable(const AdapterDesc& adapter);
// Answers a reset request: a chip or boot-processor reset activates the installed
// firmware and moves the counter. A chip that can reset under running drivers is down
// for its restart afterwards. Any other chip resets while the administrator reloads
// the drivers, which the simulated host does not model: its firmware answers again
// at once, as it does by the time reloaded drivers talk to it.
void sim_fw_reset(FirmwareContext& ctx, const hwrm_fw_reset_input& request);
// True when a synchronisation of the firmware copies is to fail.
bool sim_sync_fails(FirmwareContext& ctx);
// The registers of the recovery query, named for the configuration direct window.
void sim_window_recovery_registers(hwrm_error_recovery_qcfg_output& out);
// The register at a direct-window offset at virtual time `now_us`: 0 for offsets the
// firmware does not use.
uint32_t sim_window_register(const AdapterState& state, uint64_t now_us, uint16_t offset);
// VFs the function has registered now: none while the firmware restarts or the drivers
// have not brought them back yet.
uint16_t sim_registered_vfs(FirmwareContext& ctx);
// The firmware's wait periods in units of 100 ms.
void sim_reset_wait_periods(FirmwareContext& ctx, uint32_t& normal_wait, uint32_t& max_bailout);

// The recovery registers of the adapter's chip: its family, CRID and SBI counter.
RecoveryChipConfig recovery_chip_config(const AdapterDesc& adapter);

// True when the NVM holds a boot code image that passes the firmware's image check.
bool nvm_boot_image_verifies(const FlashModel& flash);
// The same, taking `verified` (what the firmware last verified in full) as the answer
// for the image it describes: an image whose entry lies where it lay and whose bytes
// have its CRCs (one CRC pass instead of the signature check). Any other image is
// checked in full, and `verified` then describes it when it passes.
bool nvm_boot_image_verifies(const FlashModel& flash, VerifiedBootImage& verified);

// Notes in `verified` the boot code image an installation just wrote to `flash` from
// package data it had verified in full: a signed image of `data_length` bytes ending in
// `head_crc`, the CRC-32 of the bytes before it. Nothing is noted when the flash's boot
// entry is not of that length.
void note_installed_boot_image(const FlashModel& flash, uint32_t data_length, uint32_t head_crc,
                               VerifiedBootImage& verified);

// The chip's processors restart from the NVM through the firmware's reset: what the
// reset activates takes effect and the firmware runs when the boot image verifies.
class FirmwareChipHost : public RecoveryChipHost {
public:
    FirmwareChipHost(FirmwareContext& ctx, unsigned restart_ms) : ctx_(ctx), restart_ms_(restart_ms) {}
    void boot_from_nvm(RecoveryChipState& chip) override;

private:
    FirmwareContext& ctx_;
    unsigned restart_ms_;
};

}  // namespace zelt::sim
