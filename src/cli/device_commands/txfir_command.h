// get_txfir and set_txfir: the transmit equalisation values of the SerDes lanes of the
// selected function's port, for NRZ or PAM4 signalling.
#pragma once

#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

struct TxFirArgs {
    std::string signalling;           // "NRZ" or "PAM4" as typed
    std::string lane;                 // lane number (get) or lane mask (set)
    std::vector<std::string> values;  // the four values of a set

    static TxFirArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};

report::Report get_txfir_command(ParsedCommand& parsed, const TxFirArgs& args);
report::Report set_txfir_command(ParsedCommand& parsed, const TxFirArgs& args);

}  // namespace zelt::cli
