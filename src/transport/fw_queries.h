// The firmware query and control operations on one function: one firmware message
// each, a handful of fields in and out. Every operation returns the channel's result
// unchanged (hwrm_channel.h) unless it says otherwise, and writes its outputs only on
// success.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

#include "wire/hwrm_query.h"

namespace zelt::transport {

// ---- Versions (hwrm_ver_get) ------------------------------------------------------
// Probes whether the firmware answers.
Result zelt_nvm_ver_get_status(const Function& fn);
// Prints "Fastboot FW Version : a.b.c.d".
Result zeltnvm_get_fastboot_fw_version(const Function& fn);
// The installed package version the firmware reports, cut to max - 1 characters.
Result zeltnvm_linux_GetInstalledPackageVersion(const Function& fn, char* version, uint32_t max);
// Secure boot (dev_caps_cfg 0x8000) and secure firmware (0x0001) capabilities, 1 or 0.
Result zelt_check_secure_fw_boot_status(const Function& fn, int* secure_boot, int* secure_fw);
// The whole version answer (for the core dump's version segment, which the dump code
// writes) and the asic id (chip_num << 16 | chip_rev << 8 | chip_metal). `answer`
// receives the answer record on success and failure alike, so the dump can store it.
Result zeltnvm_get_fw_version(const Function& fn, hwrm_ver_get_output* answer, uint32_t* asic_id);

// ---- Function capabilities (hwrm_func_qcaps) ----------------------------------------
// 1 when the function is the administrative PF, else 0.
Result zelt_query_admin_pf_status(const Function& fn,
                                   int* admin);
// 1 when reboot capability reporting is enabled, else 0.
Result zeltnvm_query_reboot_capability_enabled(const Function& fn, int* cap);
Result zeltnvm_get_func_qcaps(const Function& fn, hwrm_func_qcaps_output* buf);
Result zelt_get_pf_start_vf_id(const Function& fn, uint16_t* first);

// ---- Port (hwrm_func_qcaps for the port, then hwrm_port_phy_qcfg) -------------------
Result zeltnvm_get_supported_speeds(const Function& fn, uint16_t* speeds, uint16_t* pam4_speeds);
Result zeltnvm_get_active_fec_signal_mode(const Function& fn, uint8_t* mode);
// Link speed in units of 100 Mb/s; `line_rate` (bits per second) is set only for the
// speeds with a known line rate.
Result zelt_get_link_speed(const Function& fn,
                            double* line_rate, uint16_t* speed);

// ---- Function configuration (hwrm_func_qcfg) ----------------------------------------
Result zelt_nvm_get_reg_vf_count(const Function& fn,
                                  uint16_t* vfs);
// Sets *multi_host and *multi_root to 1 when the adapter is so; never clears them.
Result zelt_query_host_type(const Function& fn, int* multi_host, int* multi_root);
// PFs on the function's port; -1 on any failure.
Result zelt_get_port_pf_count(const Function& fn, int* count);
// 1 when the device is in secure mode, else 0.
Result zelt_query_device_secure_mode(const Function& fn, int* secure_mode);
Result zelt_nvm_get_permanent_mac(const Function& fn,
                                   uint8_t mac[6]);

// ---- Error recovery counters (hwrm_error_recovery_qcfg, then the register) ----------
// Reads the counter register at firmware address `reg`: through the PCI memory window
// on device types above 7, else by hwrm_dbg_read_direct at (reg & ~3) - 0x4F000000.
Result zeltnvm_read_counter_register(const Function& fn, uint32_t reg, int device_type, uint32_t* value);
// The firmware's error recovery counter. Device type 6 needs the error-recovery
// capability (-58 without it); a firmware without a counter register gives 9.
Result zelt_get_error_recovery_counter(const Function& fn, uint32_t* value, int device_type);
// A counter the function's driver reports itself (`reset`: the reset counter, else the
// error-recovery counter): true with its result in `rc` and the value in `value`; false
// where the counter is read from the firmware's registers.
bool driver_fw_counter(const Function& fn, bool reset, uint32_t* value, Result& rc);

// ---- Status, time, health, synchronisation --------------------------------------------
// nvm_option_action_status when `option_query` is set, else selfrst_status, of
// embedded processor `type` (0: the boot processor).
Result zeltnvmFwQueryStatus(const Function& fn, uint8_t type, int option_query, uint8_t* status);
// Sets the firmware's clock to the host's local time.
Result zeltnvm_set_fw_time(const Function& fn);
Result zeltnvm_nvm_redundancy_health_check(const Function& fn, uint32_t* fw_status);
Result zelt_check_sync_status(const Function& fn, uint32_t* fw_status);
Result zelt_sync_fw(const Function& fn, uint32_t* sync_status);

// ---- Temperatures, PCIe counters -------------------------------------------------------
Result zeltnvmDeviceTemperature(const Function& fn,
                                 hwrm_temp_monitor_query_output* buf);
inline constexpr int ZELT_PCIE_COUNTER_COUNT = 12;
// Twelve 64-bit counters; `count` = the answer's pcie_stat_size / 4.
Result zeltnvm_pcie_counters(const Function& fn,
                              uint32_t* count, uint64_t counters[ZELT_PCIE_COUNTER_COUNT], int verbose);

// ---- Direct register access (hwrm_dbg_read_direct, hwrm_dbg_write_direct) -------------
Result zelt_read_direct_reg(const Function& fn, uint32_t addr, uint32_t* value, int device_type);
Result zelt_write_direct_reg(const Function& fn, uint32_t addr, uint32_t value, int device_type);

// ---- NVM device, manufacturing and debug queries -------------------------------------
// Running configuration version: major, minor, update.
Result zeltnvm_get_active_cfg_version(const Function& fn, uint8_t ver[3]);
// The NVM's size and the bytes no item holds, as the firmware reports them.
Result zeltnvm_get_nvm_space(const Function& fn, uint32_t* nvram_size, uint32_t* available);
Result zeltnvm_query_mfg_otp_details(const Function& fn, hwrm_mfg_otp_qcfg_output* buf);
Result zeltnvm_get_cert_provision_state(const Function& fn, hwrm_mfg_prvsn_get_state_output* buf);
Result zeltnvm_get_nvm_measurement(const Function& fn, hwrm_mfg_get_nvm_measurement_output* buf);
Result zeltnvm_query_dbg_qcaps(const Function& fn, hwrm_dbg_qcaps_output* buf);

}  // namespace zelt::transport
