// The attestation queries of the newest chip family: the certificate provisioning
// state of a slot and the measurement (HMAC-SHA256) of the NVM configuration.
#pragma once

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "cli/scan_options.h"

namespace zelt::cli {

// cert_provision_state [slot]: the slot as typed ("" when none was given).
struct CertProvisionArgs {
    std::string slot;
    static CertProvisionArgs from(const ScanOptions& scan, const ParsedCommand& parsed);
};
report::Report cert_provision_state_command(ParsedCommand& parsed, const CertProvisionArgs& args);

// nvm_measurement: when and what the firmware measured.
report::Report nvm_measurement_command(ParsedCommand& parsed);

}  // namespace zelt::cli
