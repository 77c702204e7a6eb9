// The identity steps of a -recovery installation around the package installation of
// one adapter: what is written back before the package goes in, and what is restored
// and checked after it.
#pragma once

#include <cstdint>

#include "cli/install/install_command.h"
#include "cli/options_record.h"

// Step 3 of a -recovery install, before the package is installed: with -force writes
// back the saved onboard configuration and the certificate chain, then makes sure the
// NVM update staging item exists (created from the package with -force). Returns 0 to
// go on; otherwise the exit status to end with (saved identity data released).
int zeltnvm_recovery_before_install(const zelt_update_row& row, const uint8_t* pkg, uint32_t length, options* opts);

// Step 11 after a successful -recovery install: multi-function mode, the onboard
// configuration message, MAC addresses, certificate alias, FRU, the BAR2 comparison and
// the post-recovery reset (zeltnvm_post_recovery), the VPD fields; closing messages.
// Returns the exit status (0, or the post-recovery failure).
int zeltnvm_recovery_after_install(const zelt_update_row& row, const char* file, options* opts);
