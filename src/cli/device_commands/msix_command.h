// msix_max_vectors: shows the MSI-X vector table of a PF's virtual functions, or
// applies a new one (it takes effect after a reboot).
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct MsixArgs {
    std::vector<std::string> words;  // the PF, then eight pairs of start VF and MSI-X count

    static MsixArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report msix_max_vectors_command(ParsedCommand& parsed, const MsixArgs& args);

}  // namespace zelt::cli
