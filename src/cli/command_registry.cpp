#include "cli/command_registry.h"

#include <array>
#include <vector>

#include "cli/argument_rules.h"
#include "cli/device_queries.h"
#include "cli/help/help_texts.h"
#include "cli/install/install_report.h"
#include "cli/option_commands.h"
#include "cli/package_commands.h"
#include "cli/report/command_report.h"
#include "cli/reset_command.h"
#include "cli/version.h"
#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt::cli {
namespace {

using namespace help_text;

constexpr ArgumentRule kNoRule{};
constexpr ArgumentRule at_most(int n) { return {.min_count = 0, .max_count = n}; }
constexpr ArgumentRule at_least(int n) { return {.min_count = n}; }
constexpr ArgumentRule exactly(int n) { return {.min_count = n, .max_count = n}; }
constexpr ArgumentRule between(int low, int high) { return {.min_count = low, .max_count = high}; }
constexpr ArgumentRule checked(bool (*check)(const ArgumentLine&, ScanOptions&)) { return {.check = check}; }

using report::reported;

// A command run at its word whose result always ends the run.
template <auto handler>
std::optional<int> ends_run(const ScanOptions& scan, ParsedCommand& parsed) {
    return report::hand_in(parsed, typed<handler>(scan, parsed));
}

// setoption=/getoption=: the option named after '=' is looked up and checked at the
// word, so a bad name stops the run before the rest of the line is read.
std::optional<int> check_option_at_word(ParsedCommand& parsed, const OptionArgs& args) {
    if (!args.request) return std::nullopt;
    const int rc = zeltnvm_option_check(parsed, args);
    if (rc != 0) return rc;
    return std::nullopt;
}

// optionhelp=: the detailed help is printed at the word.
std::optional<int> option_help_at_word(ParsedCommand& parsed, const OptionArgs& args) {
    if (!args.request) return std::nullopt;
    return report::hand_in(parsed, zeltnvm_optionhelp_command(parsed, args));
}

// optionhelp without '=' that still passed its rule (another word held the '=').
int option_help_without_name(ParsedCommand& parsed) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "command not supported: %d\n", parsed.command);
    return -1;
}

int help(ParsedCommand&) { return zeltnvm_display_help(CMD_HELP); }

using K = ArgumentKind;

// Row fields: command, word, implicit device, argument kind, argument rule, help,
// at word, after the scan, package files, available, writes to the adapter. install
// writes too but takes each adapter's lock itself, after its confirmation prompt.
constexpr std::array<CommandRow, ZELT_CMD_COUNT> kRows{{
    {CMD_HELP, "-h", false, K::text, kNoRule, kHelpUsage, nullptr, typed<reported<help>>, false, true, false},
    {CMD_VERSION, "version", false, K::text, at_most(2), kHelpVersion, nullptr, typed<version_command>, false, true, false},
    {CMD_DEVID, "devid", false, K::file_spec, kNoRule, kHelpDevid, nullptr, typed<devid_pkgver_device_command>, true, true, false},
    {CMD_PKGVER, "pkgver", false, K::file_spec, kNoRule, kHelpPkgver, nullptr, typed<devid_pkgver_device_command>, true,
     true, false},
    {CMD_BACKUP, "backup", true, K::text, kNoRule, kHelpBackup, nullptr, nullptr, false, false, false},
    {CMD_INSTALL, "install", false, K::file_spec, checked(rules::install), kHelpInstall, nullptr, typed<install_report>, false,
     true, false},
    // verify, list and view report on package files; their device forms are not built.
    {CMD_VERIFY, "verify", false, K::file_spec, kNoRule, kHelpVerify, nullptr, nullptr, true, true, false},
    {CMD_LISTDEV, "listdev", false, K::text, checked(rules::listdev), kHelpListdev, nullptr, typed<listdev_command>, false,
     true, false},
    {CMD_SETOPTION, "setoption", true, K::text, checked(rules::option), kHelpSetoption, typed<check_option_at_word>,
     typed<zeltnvm_option_command>, false, true, true},
    {CMD_GETOPTION, "getoption", true, K::text, checked(rules::option), kHelpGetoption, typed<check_option_at_word>,
     typed<zeltnvm_option_command>, false, true, false},
    {CMD_CFGTUNNEL, "cfgtunnel", true, K::text_always, at_least(4), kHelpCfgtunnel, nullptr, nullptr, false, false, true},
    {CMD_MODULEINFO, "moduleinfo", false, K::text, checked(rules::listdev), kHelpModuleinfo, nullptr, nullptr, false,
     false, false},
    {CMD_COREDUMP, "coredump", true, K::text, between(3, 4), kHelpCoredump, nullptr, nullptr, false, false, false},
    {CMD_OPTIONHELP, "optionhelp", true, K::text, checked(rules::option), kHelpOptionhelp, typed<option_help_at_word>,
     typed<reported<option_help_without_name>>, false, true, false},
    {CMD_ETHERDIAGRAM, "ether_serdes_eye_diagram", true, K::text_always, exactly(4), kHelpEtherdiagram, nullptr,
     nullptr, false, false, false},
    {CMD_RESET, "reset", true, K::text_always, kNoRule, kHelpReset, nullptr, typed<zeltnvm_reset_command>, false, true, true},
    {CMD_PCIDIAGRAM, "pci_eye_diagram", true, K::text_always, between(4, 5), kHelpPcidiagram, nullptr, nullptr, false,
     false, false},
    {CMD_RESMGMT, "resmgmt", true, K::text_always, at_least(4), kHelpResmgmt, nullptr, nullptr, false, false, true},
    {CMD_SAVEOPTIONS, "saveoptions", true, K::text, exactly(4), kHelpSaveoptions, nullptr, nullptr, false, false, false},
    {CMD_DEVICETEMP, "device_temperature", true, K::text, checked(rules::listdev), kHelpDevicetemp, nullptr, nullptr,
     false, false, false},
    {CMD_PCIECOUNTERS, "pcie_counters", true, K::text, checked(rules::listdev), kHelpPciecounters, nullptr, nullptr,
     false, false, false},
    {CMD_TRUSTEDVF, "vf", true, K::text, {.min_count = 5, .max_count = 6, .check = rules::trusted_vf},
     kHelpTrustedvf, nullptr, nullptr, false, false, true},
    {CMD_DEVINFO, "device_info", true, K::text, checked(rules::listdev), kHelpDevinfo,
     ends_run<device_info_command>, nullptr, false, true, false},
    {CMD_PCIEYESCOPE, "pci_eye_scope", true, K::text, at_least(4), kHelpPcieyescope, nullptr, nullptr, false, false, false},
    {CMD_PRBS_TEST, "prbs_test", true, K::text, at_least(4), kHelpPrbsTest, nullptr, nullptr, false, false, false},
    {CMD_ADDNTUPLE, "add_ntuple_filter", true, K::text, exactly(8), kHelpAddntuple, nullptr, nullptr, false, false, true},
    {CMD_FREENTUPLE, "free_ntuple_filter", true, K::text, exactly(4), kHelpFreentuple, nullptr, nullptr, false,
     false, true},
    {CMD_RESTORE_FACTORY_DEFAULTS, "restore_factory_defaults", true, K::text,
     checked(rules::restore_factory_defaults), kHelpRestoreFactoryDefaults, nullptr, nullptr, false, false, true},
    {CMD_LOOPBACK, "loopback", true, K::text, kNoRule, kHelpLoopback, nullptr, nullptr, false, false, false},
    {CMD_FWSYNC, "fw_sync", true, K::text, exactly(3), kHelpFwsync, nullptr, nullptr, false, false, true},
    {CMD_DEVICE_HEALTH_CHECK, "device_health_check", true, K::text, between(3, 5), kHelpDeviceHealthCheck, nullptr,
     nullptr, false, false, false},
    {CMD_DSCDUMP, "dscdump", true, K::text, at_least(4), kHelpDscdump, nullptr, nullptr, false, false, false},
    {CMD_LIST, "list", false, K::file_spec, kNoRule, kHelpList, nullptr, nullptr, true, true, false},
    {CMD_VIEW, "view", false, K::file_spec, kNoRule, kHelpView, nullptr, nullptr, true, true, false},
    {CMD_SET_TXFIR, "set_txfir", true, K::text, exactly(9), kHelpSetTxfir, nullptr, nullptr, false, false, true},
    {CMD_GET_TXFIR, "get_txfir", true, K::text, exactly(5), kHelpGetTxfir, nullptr, nullptr, false, false, false},
    {CMD_MH_PF_ALLOC, "mh_pf_alloc", true, K::text, kNoRule, kHelpMhPfAlloc, nullptr, nullptr, false, false, true},
    {CMD_MSIX_MAX_VECTORS, "msix_max_vectors", true, K::text, kNoRule, kHelpMsixMaxVectors, nullptr, nullptr, false,
     false, true},
    {CMD_LIVEPATCH, "livepatch", true, K::text, kNoRule, kHelpLivepatch, nullptr, nullptr, false, false, true},
    {CMD_TSIO_FUNCTION_PIN, "tsio_function_pin", true, K::text, at_least(3), kHelpTsioFunctionPin, nullptr, nullptr,
     false, false, true},
    {CMD_DUTY_CYCLE, "duty_cycle", true, K::text, at_least(7), kHelpDutyCycle, nullptr, nullptr, false, false, true},
    {CMD_DLL_SOURCE, "dll_source", true, K::text, at_least(7), kHelpDllSource, nullptr, nullptr, false, false, true},
    {CMD_GET_PRVSN_STATE, "cert_provision_state", true, K::text, kNoRule, kHelpGetPrvsnState, nullptr, nullptr, false,
     false, false},
    {CMD_GET_PTP_EXT, "get_ptp_extended", true, K::text, kNoRule, kHelpGetPtpExt, nullptr, nullptr, false, false, false},
    {CMD_SET_PTP_EXT, "set_ptp_extended", true, K::text, kNoRule, kHelpSetPtpExt, nullptr, nullptr, false, false, true},
    {CMD_NVM_MEASUREMENT, "nvm_measurement", true, K::text, kNoRule, kHelpNvmMeasurement, nullptr, nullptr, false,
     false, false},
    {CMD_SET_SYNC_ETHERNET, "set_sync_ethernet", true, K::text, kNoRule, kHelpSetSyncEthernet, nullptr, nullptr,
     false, false, true},
    {CMD_GET_SYNC_ETHERNET, "get_sync_ethernet", true, K::text, kNoRule, kHelpGetSyncEthernet, nullptr, nullptr,
     false, false, false},
}};

// The table is indexed by command value.
constexpr bool rows_in_order() {
    for (int c = 0; c < ZELT_CMD_COUNT; ++c) {
        if (kRows[static_cast<std::size_t>(c)].command != c) return false;
    }
    return true;
}

}  // namespace

std::span<const CommandRow> command_rows() { return kRows; }

const CommandRow& command_row(int command) {
    static_assert(rows_in_order(), "command rows must follow the enumeration");
    return kRows[static_cast<std::size_t>(command)];
}

const CommandRow* find_command_row(std::string_view word) {
    for (const CommandRow& row : kRows) {
        if (row.command != CMD_HELP && word == row.word) return &row;
    }
    return nullptr;
}

const char* command_word(int command) {
    return command >= 0 && command < ZELT_CMD_COUNT ? kRows[static_cast<std::size_t>(command)].word : "";
}

int answer_unavailable(const char* what) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command '%s' is not available in this build.\n", what);
    return HVXRETVAL_UNSUPPORTED_OPERATION;
}

int answer_unavailable(const CommandRow& row) { return answer_unavailable(row.word); }

}  // namespace zelt::cli

int zeltnvm_display_help(int command) {
    if (command < 0 || command >= ZELT_CMD_COUNT) return 0;
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s\n", zelt::cli::command_row(command).help);
    return 0;
}
