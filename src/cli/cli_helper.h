// The front end's argument scan and dispatch.
#pragma once

#include "cli/options_record.h"
#include "device/inventory.h"

// Scans the arguments once, left to right (options, the command word, the device
// selector, file arguments), checks the chosen command's argument rule and runs the
// command. Returns the command's result (the exit status is its low 8 bits).
// `debug` (may be nullptr) is the caller's trace flag; -debug sets it.
// `inventory` is the run's adapters, which the command selects from and works on.
int cliHelper(int argc, char** argv, bool* debug, const zelt::device::Inventory& inventory);
