#include "device/reset/device_reset.h"

#include <sys/time.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "device/discovery_records.h"
#include "device/recovery/recovery.h"
#include "host/host.h"
#include "host/interrupt.h"
#include "log/print.h"
#include "transport/function.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"

using namespace zelt;

using zelt::transport::exchange;
using zelt::transport::Function;

namespace zelt::device {

namespace {

// Pause between two readings of the reset counter. The counter is read by firmware
// message; polling it back to back only loads the firmware channel while it restarts.
constexpr unsigned kCounterPollMs = 100;
constexpr unsigned kAnswerPollMs = 200;
constexpr unsigned kProbePauseMs = 10;
constexpr unsigned kPostRecoverySettleMs = 5000;

// Seconds on the host clock (virtual on the simulated host).
double host_seconds(const Function& fn) {
    struct timeval tv = fn.channel->host().now();
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// The longest single sleep of a wait: between two slices a pending interrupt ends the
// run, so a long wait never outlasts the user's patience by more than this.
constexpr unsigned kSleepSliceMs = 1000;

// Waits on the host of `fn`'s channel, in slices.
void sleep_ms(const Function& fn, unsigned ms) {
    host::Host& host = fn.channel->host();
    while (ms > 0) {
        const unsigned slice = ms < kSleepSliceMs ? ms : kSleepSliceMs;
        host.sleep_ms(slice);
        host::interruption_point();
        ms -= slice;
    }
}

// One of the firmware's wait periods in milliseconds, logged when it had to be clamped.
uint32_t firmware_wait_ms(const char* what, uint32_t tenths) {
    bool clamped = false;
    const uint32_t ms = zelt_reset_wait_ms(tenths, &clamped);
    if (clamped)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                      "The firmware asks for a %s of %llu ms; waiting at most %u ms.\n", what,
                      static_cast<unsigned long long>(tenths) * 100u, ms);
    return ms;
}

zelt::Result send_fw_reset(const Function& fn, uint8_t proc_type, uint8_t selfrst, uint8_t flags) {
    if (!fn.channel) return zelt::Result::tool(HVXRETVAL_INVALID_PARAMETER);
    return fn.channel->reset(fn, transport::ResetRequest{proc_type, selfrst, flags});
}

zelt::Result error_recovery_cfg(const Function& fn, hwrm_error_recovery_qcfg_output& out) {
    hwrm_error_recovery_qcfg_input req{};
    return exchange(fn, HWRM_ERROR_RECOVERY_QCFG, req, out);
}

// After the reset has been verified: on the newest chips the firmware copies must be
// in step, synchronising them when the firmware reports they are not.
bool firmware_synchronised(const Function& fn, int device_type) {
    if (device_type <= 7) return true;
    uint32_t fw_status = 0;
    if (!zelt_check_sync_status(fn, &fw_status).ok()) return false;
    if ((fw_status & ZELT_FW_STATUS_UNSYNCED_MASK) == 0) return true;
    uint32_t sync_status = 0;
    if (!zelt_sync_fw(fn, &sync_status).ok()) return false;
    return (sync_status & ZELT_FW_SYNC_FAILED_MASK) == 0;
}

}  // namespace

int zelt_reset_vf_index(uint32_t device, uint32_t function) {
    return static_cast<int>(((device << 3) & 0xFF) | (function & 7));
}

zelt::Result zelt_check_hotfw_supported(const Function& fn, int* hot) {
    hwrm_func_qcaps_input caps_req{};
    caps_req.fid = cpu_to_le16(HWRM_FID_SELF);
    hwrm_func_qcaps_output caps{};
    zelt::Result rc = exchange(fn, HWRM_FUNC_QCAPS, caps_req, caps);
    if (!rc.ok()) return rc;
    hwrm_func_qcfg_input cfg_req{};
    cfg_req.fid = cpu_to_le16(HWRM_FID_SELF);
    hwrm_func_qcfg_output cfg{};
    rc = exchange(fn, HWRM_FUNC_QCFG, cfg_req, cfg);
    if (!rc.ok()) return rc;
    const bool capable = (le32_to_cpu(caps.flags) & HWRM_FUNC_QCAPS_FLAGS_HOT_RESET_CAPABLE) &&
                         (le32_to_cpu(caps.flags_ext) & HWRM_FUNC_QCAPS_FLAGS_EXT_HOT_RESET_IF_SUPPORT) &&
                         (le16_to_cpu(cfg.flags) & HWRM_FUNC_QCFG_FLAGS_HOT_RESET_ALLOWED);
    if (capable && hot) *hot = 1;
    return zelt::Result();
}

zelt::Result zelt_hot_fw_reset(const Function& fn, uint8_t flags) {
    return send_fw_reset(fn, HWRM_FW_RESET_EMBEDDED_PROC_TYPE_CHIP, HWRM_FW_RESET_SELFRST_STATUS_SELFRSTASAP, flags);
}

zelt::Result zeltnvm_warm_fw_reset(const Function& fn) {
    return send_fw_reset(fn, HWRM_FW_RESET_EMBEDDED_PROC_TYPE_BOOT, HWRM_FW_RESET_SELFRST_STATUS_SELFRSTPCIERST, 0);
}

zelt::Result zelt_get_timeout_vals(const Function& fn, uint32_t* min_wait_ms, uint32_t* max_timeout_ms) {
    hwrm_error_recovery_qcfg_output cfg{};
    const zelt::Result rc = error_recovery_cfg(fn, cfg);
    if (!rc.ok()) return rc;
    if (min_wait_ms) *min_wait_ms = firmware_wait_ms("wait after a reset", le32_to_cpu(cfg.normal_func_wait_period));
    if (max_timeout_ms)
        *max_timeout_ms = firmware_wait_ms("bail-out time", le32_to_cpu(cfg.max_bailout_time_after_reset));
    return zelt::Result();
}

uint32_t zelt_reset_wait_ms(uint32_t tenths, bool* clamped) {
    const uint64_t ms = uint64_t{tenths} * 100u;
    const bool over = ms > ZELT_RESET_WAIT_MAX_MS;
    if (clamped) *clamped = over;
    return over ? ZELT_RESET_WAIT_MAX_MS : static_cast<uint32_t>(ms);
}

zelt::Result zelt_get_fw_reset_counter(const Function& fn, uint32_t* value, int device_type) {
    if (zelt::Result rc; transport::driver_fw_counter(fn, true, value, rc)) return rc;
    hwrm_error_recovery_qcfg_output cfg{};
    const zelt::Result rc = error_recovery_cfg(fn, cfg);
    if (!rc.ok()) return rc;
    return zeltnvm_read_counter_register(fn, le32_to_cpu(cfg.fw_reset_cnt_reg), device_type, value);
}

zelt::Result zelt_nvm_reset_status(const Function& fn, uint16_t device_type, uint32_t counter_before, uint32_t min_wait_ms,
                              uint32_t max_timeout_ms) {
    static constexpr const char* kFn = "zelt_nvm_reset_status";
    double wait_s = ZELT_RESET_DEFAULT_COUNTER_WAIT_S;
    double bailout_s = ZELT_RESET_DEFAULT_ANSWER_WAIT_S;
    if (min_wait_ms != 0 && max_timeout_ms != 0) {
        wait_s = min_wait_ms / 1000;
        bailout_s = max_timeout_ms / 1000;
    }
    double start = host_seconds(fn);
    for (;;) {
        int32_t rc = zelt_nvm_ver_get_status(fn).code();
        if (rc == 0) break;
        const double elapsed = host_seconds(fn) - start;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "%s: FID (0x%x) VER_GET failed with status 0x%x and elapsed time = %f\n", kFn, fn.address.function,
                      static_cast<unsigned>(rc), elapsed);
        if (elapsed > bailout_s) return zelt::Result::tool(kResetFailed);
        sleep_ms(fn, kAnswerPollMs);
    }

    start = host_seconds(fn);
    for (;;) {
        uint32_t counter = 0;
        (void)zelt_get_fw_reset_counter(fn, &counter, device_type);
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Current Reset Counter = %d\n", static_cast<int>(counter));
        if (counter != 0 && counter > counter_before) return zelt::Result();
        const double elapsed = host_seconds(fn) - start;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: fw_reg_cntr elapsed time = %f\n", kFn, elapsed);
        if (elapsed > wait_s) return zelt::Result::tool(kResetFailed);
        sleep_ms(fn, kCounterPollMs);
    }
}

zelt::Result zelt_nvm_check_pf_status(const Function* pfs, int pf_count, int* loaded_pf_count,
                                      uint32_t max_timeout_ms) {
    static constexpr const char* kFn = "zelt_nvm_check_pf_status";
    if (loaded_pf_count) *loaded_pf_count = 0;
    if (pf_count <= 0) return zelt::Result();
    const double limit = max_timeout_ms ? max_timeout_ms / 1000 : ZELT_RESET_DEFAULT_PF_WAIT_S;
    bool loaded[ZELT_DEVICE_TABLE_LEN] = {};
    int count = 0;
    const double start = host_seconds(pfs[0]);
    for (;;) {
        for (int i = 0; i < pf_count; ++i) {
            if (loaded[i]) continue;
            const Function& pf = pfs[i];
            int32_t rc = zelt_nvm_ver_get_status(pf).code();
            if (rc == 0) {
                loaded[i] = true;
                ++count;
            } else {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: FID (0x%x) VER_GET failed with status 0x%x\n", kFn,
                              pf.address.function, static_cast<unsigned>(rc));
            }
            sleep_ms(pfs[0], kProbePauseMs);
        }
        if (loaded_pf_count) *loaded_pf_count = count;
        if (count == pf_count) return zelt::Result();
        const double elapsed = host_seconds(pfs[0]) - start;
        if (elapsed > limit) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: elapsed = %f\n", kFn, elapsed);
            return zelt::Result::tool(kTimedOut);
        }
    }
}

int zelt_nvm_get_active_vf_count(const Function* pfs, int pf_count, uint16_t registered_vfs[256]) {
    int sum = 0;
    for (int i = 0; i < pf_count; ++i) {
        const Function& pf = pfs[i];
        uint16_t vfs = 0;
        if (!zelt_nvm_get_reg_vf_count(pf, &vfs).ok()) continue;
        const int slot = zelt_reset_vf_index(pf.address.device, pf.address.function);
        registered_vfs[slot] = vfs;
        sum += vfs;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FID 0x%x zeltnvm_reg_vfs[%d] = %d\n", pf.address.function, slot,
                      vfs);
    }
    return sum;
}

zelt::Result zelt_nvm_check_vf_status(const Function* pfs, int pf_count, const uint16_t registered_vfs_before[256],
                                      int* total_registered, uint32_t max_timeout_ms) {
    static constexpr const char* kFn = "zelt_nvm_check_vf_status";
    if (pf_count <= 0) return zelt::Result();
    const double limit = max_timeout_ms ? max_timeout_ms / 1000 : ZELT_RESET_DEFAULT_VF_WAIT_S;
    bool done[ZELT_DEVICE_TABLE_LEN] = {};
    uint16_t seen[ZELT_DEVICE_TABLE_LEN] = {};
    const double start = host_seconds(pfs[0]);
    for (;;) {
        int finished = 0;
        for (int i = 0; i < pf_count; ++i) {
            if (done[i]) {
                ++finished;
                continue;
            }
            const Function& pf = pfs[i];
            uint16_t vfs = 0;
            if (!zelt_nvm_get_reg_vf_count(pf, &vfs).ok()) {
                sleep_ms(pfs[0], kProbePauseMs);
                continue;
            }
            const int slot = zelt_reset_vf_index(pf.address.device, pf.address.function);
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FID (0x%x) registered_vfs = %d zeltnvm_reg_vfs[%d] = %d\n",
                          pf.address.function, vfs, slot, registered_vfs_before[slot]);
            seen[i] = vfs;
            if (vfs == registered_vfs_before[slot]) {
                done[i] = true;
                ++finished;
            } else {
                sleep_ms(pfs[0], kProbePauseMs);
            }
        }
        if (finished == pf_count) return zelt::Result();
        const double elapsed = host_seconds(pfs[0]) - start;
        if (elapsed > limit) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: elapsed = %f\n", kFn, elapsed);
            int sum = 0;
            for (int i = 0; i < pf_count; ++i) sum += seen[i];
            if (total_registered) *total_registered = sum;
            return zelt::Result::tool(kTimedOut);
        }
    }
}

void zelt_fill_reset_info(const Inventory& inventory, const InventoryFunction& target, zelt_nvm_pci_info* info) {
    const zelt_nvm_device_info_t& rec = target.facts;
    *info = zelt_nvm_pci_info{};
    info->function = target.function;
    info->device_id = rec.pci_info.device_id;
    info->vendor_id = rec.pci_info.vendor_id;
    std::memcpy(info->serial_number, rec.nic_info.serial_number, sizeof info->serial_number);
    const int type = device_type_of(target);
    info->device_type = type < 0 ? 0 : static_cast<uint16_t>(type);
    for (const auto& f : inventory.functions) {
        if (zelt::device::same_adapter(f.facts, rec)) info->adapter_pfs.push_back(f.function);
    }
    info->active_pf_count = target.adapter_pf_count;
}

Function zelt_reset_function_zero(const zelt_nvm_pci_info& info) {
    PciAddress zero = info.function.address;
    zero.function = 0;
    if (info.function.address == zero) return info.function;
    for (const Function& pf : info.adapter_pfs)
        if (pf.address == zero) return pf;
    return Function{transport::pci_window_name(zero), zero, info.function.channel};
}

zelt::Result zeltnvm_device_reset(const zelt_nvm_pci_info* info, ResetObserver& observer) {
    const Function& fn = info->function;
    const uint16_t device_type = info->device_type;
    int rc = 0;

    const Function* pfs = info->adapter_pfs.data();
    const int pf_count = static_cast<int>(info->adapter_pfs.size());
    const int expected = info->active_pf_count;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "active_pf_count = %d\n", expected);

    uint16_t vfs_before[256] = {};
    const int total_vfs = zelt_nvm_get_active_vf_count(pfs, pf_count, vfs_before);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Total Registered VF's in FW = %d\n", total_vfs);

    uint32_t counter = 0;
    (void)zelt_get_fw_reset_counter(fn, &counter, device_type);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Reset Counter before reset = %d\n", static_cast<int>(counter));
    uint32_t min_wait = 0;
    uint32_t max_timeout = 0;
    (void)zelt_get_timeout_vals(fn, &min_wait, &max_timeout);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Min wait = %d Max bailout = %d\n", static_cast<int>(min_wait),
                  static_cast<int>(max_timeout));

    observer.resetting();
    rc = zelt_hot_fw_reset(fn, 1).code();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "HWRM_FW_RESET status = %d\n", rc);
    bool reset_ok = rc == 0 || rc == -16;
    if (reset_ok) {
        sleep_ms(fn, min_wait ? min_wait : ZELT_RESET_DEFAULT_SLEEP_MS);
        reset_ok = zelt_nvm_reset_status(fn, device_type, counter, min_wait, max_timeout).ok();
    }
    if (!reset_ok) {
        observer.reset_failed();
        return zelt::Result::tool(kResetFailed);
    }

    int loaded = 0;
    if (!zelt_nvm_check_pf_status(pfs, expected < pf_count ? expected : pf_count, &loaded, max_timeout).ok()) {
        observer.reset_completed();
        observer.pfs_not_back(loaded, expected);
        return zelt::Result::tool(kPfNotBack);
    }
    int vfs_after = 0;
    if (!zelt_nvm_check_vf_status(pfs, pf_count, vfs_before, &vfs_after, max_timeout).ok()) {
        observer.reset_completed();
        observer.vfs_not_back(vfs_after, total_vfs);
        return zelt::Result::tool(kVfNotBack);
    }

    observer.reset_completed();
    if (!firmware_synchronised(fn, device_type)) {
        observer.not_synchronised();
        return zelt::Result::tool(kNotSynchronised);
    }
    return zelt::Result();
}

zelt::Result zeltnvm_post_recovery(const zelt_nvm_pci_info* info, bool force, ResetObserver& observer) {
    const Function& fn = info->function;
    const zelt::PciAddress& at = fn.address;
    const uint16_t device_type = info->device_type;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Clearing Fastboot Registers.\n");
    (void)zeltnvm_clear_fastboot_regs(fn, device_type);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Clearing Fastboot Registers Done.\n");
    observer.checking_recovery();
    if (device_type > 7) sleep_ms(fn, kPostRecoverySettleMs);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Resetting the device (%04x:%02x:%x)\n", at.domain, at.bus, at.device);
    (void)zelt_hot_fw_reset(zelt_reset_function_zero(*info), 0);
    sleep_ms(fn, kPostRecoverySettleMs);
    if (zelt_nvm_ver_get_status(zelt_reset_function_zero(*info)).ok()) {
        observer.recovered(at);
        return zelt::Result();
    }
    observer.not_recovered(force);
    return zelt::Result::tool(kRecoveryFailed);
}

}  // namespace zelt::device
