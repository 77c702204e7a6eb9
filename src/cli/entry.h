// Entry of the front end, called by the program's main once the host is chosen.
#pragma once

// Runs one command and returns the process exit status: the low 8 bits of the
// command's result; 40 when the real user is not root.
int zeltnvm_main(int argc, char** argv);

// The exit routine, also the handler of SIGINT and SIGSEGV: closes the log, stops a
// running PCIe eye-scope test, releases the PCI mailbox. For SIGINT and SIGSEGV it
// ends the process with status 1; otherwise it returns.
void zeltnvmExit(int signal);
