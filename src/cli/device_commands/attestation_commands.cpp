#include "cli/device_commands/attestation_commands.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/device_commands/feature_report.h"
#include "common/hvxretval.h"
#include "transport/fw_queries.h"
#include "wire/hwrm_attestation.h"

namespace zelt::cli {

namespace {

using report::Report;

constexpr int kNotSupported = 7;
constexpr int kInvalidValue = 16;

bool all_digits(const std::string& text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

const char* provision_state_text(uint8_t state) {
    switch (state) {
        case HWRM_PRVSN_STATE_NO_AGENT: return "There is no attestation agent.";
        case HWRM_PRVSN_STATE_CERBERUS: return "Cerberus";
        case HWRM_PRVSN_STATE_SPDM: return "SPDM";
        default:
            return "The attestation agent has not yet initialized and not completed verifcation of the provisioned "
                   "certificate chain.";
    }
}

const char* provision_state_key(uint8_t state) {
    switch (state) {
        case HWRM_PRVSN_STATE_NO_AGENT: return "no_agent";
        case HWRM_PRVSN_STATE_CERBERUS: return "cerberus";
        case HWRM_PRVSN_STATE_SPDM: return "spdm";
        default: return "not_ready";
    }
}

}  // namespace

CertProvisionArgs CertProvisionArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    // The first word after the command that is not the JSON switch.
    for (const std::string& word : parsed.args) {
        if (!report::is_json_option(word)) return {.slot = word};
    }
    return {};
}

Report cert_provision_state_command(ParsedCommand& parsed, const CertProvisionArgs& args) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    if (!feature::on_newest_family(*dev)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "cert_provision_state command does not support on this hardware.\n");
        return r.ends(kNotSupported);
    }
    unsigned slot = 0;
    if (!args.slot.empty()) {
        // At most two digits: anything longer is out of range anyway.
        if (!all_digits(args.slot) || args.slot.size() > 2 ||
            (slot = static_cast<unsigned>(std::stoul(args.slot))) >= HWRM_PRVSN_SLOT_COUNT) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid slot number. Value must be an integer and the valid values are from 0 to 7.\n");
            return r.ends(kInvalidValue);
        }
    }
    r.data()["slot"] = slot;
    hwrm_mfg_prvsn_get_state_output answer{};
    const Result rc = transport::zeltnvm_get_cert_provision_state(dev->function, &answer);
    if (!rc.ok()) return feature::failed(r, CMD_GET_PRVSN_STATE, rc);
    if (!answer.get_state_valid) {
        r.data()["state"] = nullptr;
        r.text(ZELT_LOC_BOTH, "%-27s : %s\n", "Cert Provision State", "N/A");
        return r.ends(0);
    }
    const uint8_t state = hwrm_prvsn_slot_state_of(le16_to_cpu(answer.slot_status), slot);
    r.data()["state"] = provision_state_key(state);
    r.text(ZELT_LOC_BOTH, "%-27s : %s\n", "Cert Provision State", provision_state_text(state));
    return r.ends(0);
}

Report nvm_measurement_command(ParsedCommand& parsed) {
    Report r = report::open_report(parsed);
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return r.ends(-1);
    if (!feature::on_newest_family(*dev)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "nvm measurement does not support on this hardware.\n");
        return r.ends(kNotSupported);
    }
    hwrm_mfg_get_nvm_measurement_output answer{};
    const Result rc = transport::zeltnvm_get_nvm_measurement(dev->function, &answer);
    if (!rc.ok()) {
        if (rc.origin() == Origin::kFirmware && rc.code() == ZELT_RC_NOT_SUPPORTED)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "nvm measurement does not support by active firmware.\n");
        else if (rc.origin() == Origin::kSystem && rc.sys_errno() == EOPNOTSUPP)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "nvm measurement does not support on this operating system.\n");
        else
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to get nvm measurement details.\n");
        return r.ends(rc);
    }
    const bool live = le32_to_cpu(answer.calc_time) == HWRM_NVM_MEASUREMENT_CALC_LIVE;
    r.data()["calculated"] = live ? "live" : "boot";
    r.text(ZELT_LOC_BOTH, "%-35s : %s\n", "NVM Measurement Calculated Time", live ? "live" : "BootUp");
    r.text(ZELT_LOC_BOTH, "%-35s : \n", "NVM Configuration HMAC SHA256 hash");
    if (answer.hash_state & HWRM_NVM_MEASUREMENT_HASH_ERROR) {
        r.data()["hash"] = nullptr;
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "\nThere was an error in calculating the hash or firmware does not support NVM measurement.\n");
        return r.ends(1);
    }
    std::string hex;
    for (uint8_t b : answer.hash) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    r.data()["hash"] = hex;
    r.text(ZELT_LOC_BOTH, "%s\n", hex.c_str());
    return r.ends(0);
}

}  // namespace zelt::cli
