// The read-only device status queries: temperatures, PCIe counters and the cable
// information of the plugged-in module.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

// device_temperature: the device, PHY and optical module temperatures.
report::Report device_temperature_command(ParsedCommand& parsed);
// pcie_counters: the PCIe link counters the firmware keeps.
report::Report pcie_counters_command(ParsedCommand& parsed);
// moduleinfo: cable length, wire gauge and insertion loss of the module (needs the
// link up).
report::Report moduleinfo_command(ParsedCommand& parsed);

}  // namespace zelt::cli
