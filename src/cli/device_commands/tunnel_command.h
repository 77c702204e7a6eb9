// cfgtunnel: the custom VXLAN destination port of the adapter (queried, set or freed;
// a set port is also kept as the ipv4ovxlan_udp_port option) and the RSS hash mode of
// tunnelled traffic.
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct TunnelArgs {
    std::vector<std::string> words;  // the words after the command word

    static TunnelArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report cfgtunnel_command(ParsedCommand& parsed, const TunnelArgs& args);

}  // namespace zelt::cli
