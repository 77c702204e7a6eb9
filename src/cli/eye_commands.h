// The eye diagram commands: the older eye plot and projection of an Ethernet or PCIe
// SerDes lane, and the PCIe eye scope with its summary, full eye and stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

// ether_serdes_eye_diagram <lane> / pci_eye_diagram <lane> [-margin] [-v|-V].
struct EyeDiagramArgs {
    std::vector<std::string> words;  // what followed the command word
    bool plot = false;               // -v or -V anywhere on the line

    static EyeDiagramArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report ether_serdes_eye_diagram_command(ParsedCommand& parsed, const EyeDiagramArgs& args);
report::Report pci_eye_diagram_command(ParsedCommand& parsed, const EyeDiagramArgs& args);

// pci_eye_scope <lane> | full_eye <lane> [target BER] | stop.
struct EyeScopeArgs {
    std::vector<std::string> words;

    static EyeScopeArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report pci_eye_scope_command(ParsedCommand& parsed, const EyeScopeArgs& args);

}  // namespace zelt::cli
