// Entry of the front end, called by the program's main once the host is chosen.
#pragma once

#include "cli/platform.h"
#include "host/host.h"

namespace zelt::cli {

// Runs one command on `host` and returns the process exit status: the low 8 bits of
// the command's result; 40 when the real user is not root. It builds the run's
// context (host, output, lock settings, tool identification) that every command gets.
int zeltnvm_main(int argc, char** argv, zelt::host::Host& host);
// The same for the program of `platform`: without the root check and the signal
// handlers when the platform says so, with its discovery and its install limits.
int zeltnvm_main(int argc, char** argv, zelt::host::Host& host, const Platform& platform);

// The exit routine: stops the progress dots, closes the log, stops a running PCIe
// eye-scope test, releases the PCI mailbox. With `signal` 0 (the normal end) it
// returns; with the SIGINT or SIGTERM that interrupted the run it ends the process
// with status 1. It runs as ordinary code at an interruption point of the thread that
// drives the adapter (host/interrupt.h), never inside a signal handler. SIGSEGV only
// clears the mailbox flags and ends the process with status 1.
void zeltnvmExit(int signal);

}  // namespace zelt::cli
