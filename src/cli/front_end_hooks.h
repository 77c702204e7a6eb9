// Operations the front end reaches in the command families that own them.
//
// Each family defines its functions in its own files. Until a family is built, its
// functions are defined in src/cli/pending/, where each prints that the command is not
// available in this build and fails; the family's owner deletes that file when it
// brings the real definitions.
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
