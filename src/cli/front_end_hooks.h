// Operations the front end reaches in the command families that own them.
//
// Each family defines its functions in its own files. Until a family is built, its
// functions are defined in src/cli/pending/, where each prints that the command is not
// available in this build and fails; the family's owner deletes that file when it
// brings the real definitions.
//
// Command handlers share one shape: the selected device name (nullptr when none is
// selected), the options of the run, and the argument table with its count (after
// the implicit -dev= insertion, so args[1] is the device selector when one was
// inserted; positional arguments follow the command word). They return the command's
// result, which becomes the exit status.
#pragma once

#include "cli/command_table.h"
#include "cli/options_record.h"

// ---- Adapter discovery and selection ------------------------------------------------
// Finds the supported PCI functions and groups them into adapters. 0 on success
// (finding no function is success).
int zelt_nvm_init();
// Number of adapters found by discovery.
int zeltnvm_adapter_count();
// Device name of the first discovered function, or nullptr when there is none.
const char* zeltnvm_first_device_name();
// Resolves a -dev= selector to the device name to use (valid for the whole run), or
// nullptr when the selector names no function.
const char* select_device(const char* selector, options* opts);
// listdev and -dev=?: the adapter listing. Returns the command's result.
int list_devices(options* opts);
// device_info: the full listing of every adapter (run at the command word).
int zeltnvm_device_info_command(options* opts);

// ---- Package files ---------------------------------------------------------------
// devid, pkgver, verify, list and view on package files. Returns the last file's result.
int invoke_package_commands(char** files, int count, int command, options* opts);

// ---- Device commands -------------------------------------------------------------
// install, devid, pkgver, backup, verify, list, view, moduleinfo, saveoptions,
// device_temperature and pcie_counters on the selected device.
int invoke_device_commands(const char* device, int command, char** files, int count, options* opts, int argc,
                           char (*args)[ZELT_ARG_LEN]);

// ---- Help --------------------------------------------------------------------------
// The general usage (0) or one command's help text. Returns 0.
int zeltnvm_display_help(int command);

// ---- NVM configuration options -----------------------------------------------------
// setoption=/getoption= at the command word: looks the option named in opts->arg up
// and checks its name and index. A non-zero result ends the run with that result.
int zeltnvm_option_check(const char* device, int command, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
// setoption and getoption after the scan (command CMD_SETOPTION or CMD_GETOPTION).
// Without an '=' argument (opts->arg nullptr) they print their syntax line and return 0.
int zeltnvm_option_command(const char* device, int command, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
// optionhelp=<name> at the command word: prints the option's detailed help.
int zeltnvm_optionhelp_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);

// ---- Resource profiles ----------------------------------------------------------------
// resmgmt (run at the command word; opts->arg is the text after '=' or "").
int zeltnvm_resmgmt_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);

// ---- Tunnel configuration ----------------------------------------------------------
// cfgtunnel (run at the command word).
int zeltnvm_cfgtunnel_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);

// ---- Eye diagrams and the PCIe eye scope ---------------------------------------------
// ether_serdes_eye_diagram and pci_eye_diagram (run at the command word).
int zeltnvm_ether_eye_diagram_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_pci_eye_diagram_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
// pci_eye_scope.
int zeltnvm_pci_eye_scope_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
// Exit routine: stops a PCIe eye-scope test recorded as running (target BER 1e-8).
void zeltnvm_stop_running_eye_scope();

// ---- Dumps and health ----------------------------------------------------------------
int zeltnvm_coredump_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_dscdump_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_device_health_check_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);

// ---- Reset and activation ------------------------------------------------------------
int zeltnvm_reset_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);

// ---- Direct hardware access ----------------------------------------------------------
// Exit routine: clears the host mailbox request/response flags and releases the PCI
// lock if this process holds them.
void zeltnvm_release_pci_mailbox();

// ---- Device feature commands ---------------------------------------------------------
int zeltnvm_trusted_vf_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_prbs_test_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
// add_ntuple_filter and free_ntuple_filter (run at the command word).
int zeltnvm_add_ntuple_filter_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_free_ntuple_filter_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_restore_factory_defaults_command(const char* device, options* opts, int argc,
                                             char (*args)[ZELT_ARG_LEN]);
int zeltnvm_loopback_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_fw_sync_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
// set_txfir to get_sync_ethernet (CMD_SET_TXFIR .. CMD_GET_SYNC_ETHERNET), one
// function per command word.
int zeltnvm_set_txfir_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_get_txfir_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_mh_pf_alloc_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_msix_max_vectors_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_livepatch_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_tsio_function_pin_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_duty_cycle_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_dll_source_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_cert_provision_state_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_get_ptp_extended_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_set_ptp_extended_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_nvm_measurement_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_set_sync_ethernet_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
int zeltnvm_get_sync_ethernet_command(const char* device, options* opts, int argc, char (*args)[ZELT_ARG_LEN]);
