// The front end's argument scan and dispatch.
#pragma once

#include "cli/run_context.h"
#include "cli/scan_options.h"
#include "cli/report/output.h"
#include "device/inventory.h"

namespace zelt::cli {

// Scans the arguments once, left to right (options, the command word, the device
// selector, file arguments), checks the chosen command's argument rule and runs the
// command. Returns the command's result code; `run` (the run's report, open on the
// context's output) takes in what the command reports. zelt::cli::end_run makes the
// exit status from it.
// `context` is the run's context; the scan adds the verbosity and -debug to it.
// `inventory` is the run's adapters, which the command selects from and works on.
int cliHelper(int argc, char** argv, zelt::cli::RunContext& context, const zelt::device::Inventory& inventory,
              zelt::cli::report::Report& run);

// Ends the run's report with `result` (the code the run ended with), renders it in the
// run's format and returns the exit status it makes: the result's low 8 bits.
int end_run(report::Output& output, report::Report& run, int result);

}  // namespace zelt::cli
