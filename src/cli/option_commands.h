// getoption, setoption and optionhelp, and the option exchange with the firmware that
// other commands (tunnel configuration, resource profiles, identity preservation) use.
#pragma once

#include <cstdint>

#include "cli/options_record.h"
#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "options/option_record.h"

// ---- The commands ---------------------------------------------------------------------
// setoption=/getoption= at the command word: looks the option named in opts.arg up and
// checks its name and index. A non-zero result ends the run with that result.
int zeltnvm_option_check(zelt::cli::ParsedCommand& parsed);
// setoption and getoption after the scan. Without an '=' argument (opts.arg nullptr)
// they print their syntax line and return 0.
zelt::cli::report::Report zeltnvm_option_command(zelt::cli::ParsedCommand& parsed);
// optionhelp=<name> at the command word: prints the option's detailed help.
zelt::cli::report::Report zeltnvm_optionhelp_command(zelt::cli::ParsedCommand& parsed);

// ---- Exchange with the firmware ------------------------------------------------------
// Reads option `opt->option` (length, dimensions and indexes of the record) from the
// record's PCI function into `value` (num_bytes bytes, little-endian). 0, 3 (no
// administrative rights), 0xFFFF (the adapter lacks the option) or another failure.
int zeltnvmOptionGet(const zelt::device::InventoryFunction* device, zelt::zeltnvm_option* opt);
// Writes the record's value (num_bytes bytes of `value`) to the option.
int zeltnvmOptionSet(const zelt::device::InventoryFunction* device, zelt::zeltnvm_option* opt);
// Commits the written options to NVM.
int zeltnvmFlush(const zelt::device::InventoryFunction* device, zelt::zeltnvm_option* opt);

// Fills the PCI address, max_instance (15) and active_vfs of `opt` from the function
// record of `device`. 0, or 13 when the function is not found.
int zeltnvm_set_option_device(const zelt::device::InventoryFunction* device, zelt::zeltnvm_option* opt);

// Port count of the adapter: the network port mode (option 301) read through the
// function of `tmpl`. 0 with *count set; 10 without administrative rights; -1 for a
// port mode that is not known; another read failure.
int zeltnvm_option_port_count(const zelt::device::InventoryFunction* device, const zelt::zeltnvm_option* tmpl,
                              int* count);

// Device-dependent checks and adjustments of a parsed and checked request, before it
// is exchanged. 0 or a result code.
int zelt_verify_nvm_value(const zelt::device::InventoryFunction* device, zelt::zeltnvm_option* opt, options* opts);

// Sets option `name` to `value` and flushes: device scope (40) as "name#value", any
// other scope as "name:<tmpl->function_no>#value". 0 or a result code.
int persistent_nvm_value(const zelt::device::InventoryFunction* device, options* opts, const char* name, int value,
                         int scope, const zelt::zeltnvm_option* tmpl);
