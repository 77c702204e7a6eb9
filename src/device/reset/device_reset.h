// Resetting an adapter's firmware from the host and checking that the adapter came
// back: the firmware answers, its reset counter moved, every PF answers and has its
// VFs registered again, and on the newest chips the firmware copies are in step.
//
// Results are success, the channel's result for a failed message, or the tool's
// statuses below.
#pragma once

#include <cstdint>
#include <vector>

#include "common/result.h"
#include "device/inventory.h"
#include "transport/function.h"

namespace zelt::device {

// The function an adapter reset is aimed at.
struct zelt_nvm_pci_info {
    zelt::transport::Function function;
    uint16_t device_id = 0;
    uint16_t vendor_id = 0;
    char serial_number[16] = {};
    // Device type of the supported-device table row (0 when the table has none).
    uint16_t device_type = 0;
    // The functions of the adapter (zelt::device::same_adapter) and the count its
    // adapter presents.
    std::vector<zelt::transport::Function> adapter_pfs;
    int active_pf_count = 0;
};

// Wait periods of a reset when the firmware reports none: the first sleep after the
// reset, the wait for the counter to move and the wait for the firmware to answer.
inline constexpr unsigned ZELT_RESET_DEFAULT_SLEEP_MS = 3000;
inline constexpr unsigned ZELT_RESET_DEFAULT_COUNTER_WAIT_S = 12;
inline constexpr unsigned ZELT_RESET_DEFAULT_ANSWER_WAIT_S = 120;
// Time limits of the PF and VF checks when the firmware reports no bail-out time.
inline constexpr unsigned ZELT_RESET_DEFAULT_PF_WAIT_S = 6;
inline constexpr unsigned ZELT_RESET_DEFAULT_VF_WAIT_S = 120;
// Firmware status bits that mean the firmware copies are out of step, and the sync
// status bits that mean synchronising failed.
inline constexpr uint32_t ZELT_FW_STATUS_UNSYNCED_MASK = 0x1E2A;
inline constexpr uint32_t ZELT_FW_SYNC_FAILED_MASK = 0x40000003;
// Option status values of the firmware's status query.
inline constexpr uint8_t ZELT_FW_STATUS_REBOOT_PENDING = 2;
inline constexpr uint8_t ZELT_FW_STATUS_COLD_BOOT_PENDING = 3;

// Statuses of a reset that did not complete.
inline constexpr int32_t kNotSynchronised = 1;  // the firmware copies could not be synchronised
inline constexpr int32_t kTimedOut = 1;         // a PF or VF check ran out of time
inline constexpr int32_t kResetFailed = 5;      // the reset failed or the firmware did not come back
inline constexpr int32_t kPfNotBack = 41;       // a PF did not come back
inline constexpr int32_t kVfNotBack = 42;       // a PF did not get its VFs back
inline constexpr int32_t kRecoveryFailed = 58;  // the adapter does not answer after a recovery

// Sets `hot` to 1 when the firmware reports the three hot-reset capability bits (it is
// left alone otherwise). Success, or the failing message's result.
zelt::Result zelt_check_hotfw_supported(const zelt::transport::Function& fn, int* hot);
// Resets the whole chip (`flags` 1 from the verified device reset, 0 elsewhere).
zelt::Result zelt_hot_fw_reset(const zelt::transport::Function& fn, uint8_t flags);
// Resets the boot processor only.
zelt::Result zeltnvm_warm_fw_reset(const zelt::transport::Function& fn);

// The longest wait a reset takes from the firmware's answer. The firmware gives its
// waits in tenths of a second in 32-bit fields, so a damaged answer could ask for weeks
// while the adapter stays locked. Five minutes is more than twice the longest wait the
// tool uses when the firmware gives none.
inline constexpr uint32_t ZELT_RESET_WAIT_MAX_MS = 5u * 60u * 1000u;

// A wait period of the firmware (`tenths` of a second) in milliseconds, computed without
// overflow and clamped to ZELT_RESET_WAIT_MAX_MS; `clamped` (optional) says whether it was.
uint32_t zelt_reset_wait_ms(uint32_t tenths, bool* clamped = nullptr);

// The firmware's wait periods in milliseconds: the minimum wait after a reset and the
// maximum time to bail out, each as zelt_reset_wait_ms gives it (a clamped one is logged).
zelt::Result zelt_get_timeout_vals(const zelt::transport::Function& fn, uint32_t* min_wait_ms,
                                   uint32_t* max_timeout_ms);
// The firmware's reset counter.
zelt::Result zelt_get_fw_reset_counter(const zelt::transport::Function& fn, uint32_t* value, int device_type);

// Waits for the firmware to answer and its counter to pass `counter_before`. Success,
// or kResetFailed on time-out.
zelt::Result zelt_nvm_reset_status(const zelt::transport::Function& fn, uint16_t device_type,
                                   uint32_t counter_before, uint32_t min_wait_ms, uint32_t max_timeout_ms);

// Polls every PF until each answers. Success, or kTimedOut.
zelt::Result zelt_nvm_check_pf_status(const zelt::transport::Function* pfs, int pf_count, int* loaded_pf_count,
                                      uint32_t max_timeout_ms);
// Registered VF count of each PF before a reset, indexed as zelt_reset_vf_index (PFs
// that do not answer are left out). Returns the sum of the counts.
int zelt_nvm_get_active_vf_count(const zelt::transport::Function* pfs, int pf_count, uint16_t registered_vfs[256]);
// Polls every PF until its registered VF count is back to the count before the reset.
// Success, or kTimedOut (then `total_registered` is the sum of the counts seen).
zelt::Result zelt_nvm_check_vf_status(const zelt::transport::Function* pfs, int pf_count,
                                      const uint16_t registered_vfs_before[256], int* total_registered,
                                      uint32_t max_timeout_ms);
// Slot of a PF in the VF count table.
int zelt_reset_vf_index(uint32_t device, uint32_t function);

// What the command layer is told while an adapter is reset, at the point of the reset
// where its message belongs.
class ResetObserver {
public:
    virtual ~ResetObserver() = default;
    // The reset is about to be sent / it failed (the firmware did not come back).
    virtual void resetting() {}
    virtual void reset_failed() {}
    // The firmware came back (told before the PF and VF checks' outcome).
    virtual void reset_completed() {}
    // `loaded` of `expected` PFs answered / `registered` of `total` VFs came back.
    virtual void pfs_not_back(int /*loaded*/, int /*expected*/) {}
    virtual void vfs_not_back(int /*registered*/, int /*total*/) {}
    // The firmware copies could not be synchronised.
    virtual void not_synchronised() {}
    // After a recovery installation: the check begins / the device at `at` answers / it
    // does not (`force`: the installation ran with -force).
    virtual void checking_recovery() {}
    virtual void recovered(const PciAddress& /*at*/) {}
    virtual void not_recovered(bool /*force*/) {}
};

// The full hot reset of the adapter of `info`, with its checks: success,
// kNotSynchronised, kResetFailed, kPfNotBack or kVfNotBack.
zelt::Result zeltnvm_device_reset(const zelt_nvm_pci_info* info, ResetObserver& observer);

// The reset that ends a recovery installation (`force`: the installation ran with
// -force, which changes the advice on failure). Success, or kRecoveryFailed when the
// adapter does not answer afterwards.
zelt::Result zeltnvm_post_recovery(const zelt_nvm_pci_info* info, bool force, ResetObserver& observer);

// Fills `info` from the inventory's function `target` and its adapter.
void zelt_fill_reset_info(const Inventory& inventory, const InventoryFunction& target, zelt_nvm_pci_info* info);

// Function 0 of the device that holds the reset's function, as the inventory has it
// among the adapter's functions. A device whose function 0 the inventory does not hold
// gets a value made from the address alone: function 0's address, the name that holds
// that address, and the channel of the reset's function.
transport::Function zelt_reset_function_zero(const zelt_nvm_pci_info& info);

}  // namespace zelt::device
