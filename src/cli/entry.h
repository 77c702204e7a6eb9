// Entry of the front end, called by the program's main once the host is chosen.
#pragma once

// Runs one command and returns the process exit status.
int zeltnvm_main(int argc, char** argv);
