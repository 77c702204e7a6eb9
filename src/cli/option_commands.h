// getoption, setoption and optionhelp, and the option exchange with the firmware that
// other commands (tunnel configuration, resource profiles, identity preservation) use.
#pragma once

#include <cstdint>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "options/option_record.h"

namespace zelt::cli {

// ---- The commands ---------------------------------------------------------------------
// The arguments of setoption, getoption and optionhelp.
struct OptionArgs {
    // The text after '=' of the command word: "<name>[:index[:index]]", for setoption
    // followed by "#<value>"; nullptr without '='.
    const char* request = nullptr;
    // -force: a function index is checked against the largest physical one only.
    bool force = false;
    // -dec: getoption shows the value in decimal.
    bool dec = false;
    // -debug: the function's PCI ids are traced before its functions are counted.
    bool debug = false;

    static OptionArgs from(const zelt::cli::ScanOptions& scan, const zelt::cli::ParsedCommand& parsed);
};

// setoption=/getoption= at the command word: looks the option named in the request up
// and checks its name and index. A non-zero result ends the run with that result.
int zeltnvm_option_check(zelt::cli::ParsedCommand& parsed, const OptionArgs& args);
// setoption and getoption after the scan. Without an '=' argument (no request) they
// print their syntax line and return 0.
zelt::cli::report::Report zeltnvm_option_command(zelt::cli::ParsedCommand& parsed, const OptionArgs& args);
// optionhelp=<name> at the command word: prints the option's detailed help.
zelt::cli::report::Report zeltnvm_optionhelp_command(zelt::cli::ParsedCommand& parsed, const OptionArgs& args);

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
int zelt_verify_nvm_value(const zelt::device::InventoryFunction* device, zelt::zeltnvm_option* opt);

// Sets option `option_name` to `value` and flushes: at device scope (40) without an index, at
// any other scope with the index `tmpl->function_no`. 0 or a result code.
int persistent_nvm_value(const zelt::device::InventoryFunction* device, const char* option_name, uint32_t value,
                         int scope, const zelt::zeltnvm_option* tmpl);

}  // namespace zelt::cli
