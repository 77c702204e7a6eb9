#include "cli/command_registry.h"

#include <array>
#include <vector>

#include "cli/argument_rules.h"
#include "cli/device_commands/attestation_commands.h"
#include "cli/device_commands/device_status_commands.h"
#include "cli/device_commands/factory_defaults_command.h"
#include "cli/device_commands/fw_sync_command.h"
#include "cli/backup/backup_command.h"
#include "cli/device_commands/mh_pf_alloc_command.h"
#include "cli/device_commands/msix_command.h"
#include "cli/device_commands/ntuple_filter_command.h"
#include "cli/device_commands/livepatch_command.h"
#include "cli/device_commands/loopback_command.h"
#include "cli/device_commands/prbs_command.h"
#include "cli/device_commands/tunnel_command.h"
#include "cli/device_commands/txfir_command.h"
#include "cli/device_commands/ptp_ext_command.h"
#include "cli/device_commands/synce_command.h"
#include "cli/device_commands/tsio_command.h"
#include "cli/device_commands/vf_command.h"
#include "cli/device_queries.h"
#include "cli/health_check_command.h"
#include "cli/eye_commands.h"
#include "cli/dump_commands.h"
#include "cli/help/general_usage.h"
#include "cli/help/help_texts.h"
#include "cli/install/install_report.h"
#include "cli/nvm_listing/nvm_listing.h"
#include "cli/option_commands.h"
#include "cli/package_commands.h"
#include "cli/report/command_report.h"
#include "cli/reset_command.h"
#include "cli/resmgmt/resource_profile.h"
#include "cli/saveoptions/save_options.h"
#include "cli/version.h"
#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

using namespace help_text;

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
using G = CommandGroup;

// One row per command word, in enumeration order; the fields are described at
// CommandRow. install writes to adapters too but takes each adapter's lock itself,
// after its confirmation prompt.
constexpr std::array<CommandRow, ZELT_CMD_COUNT> kRows{{
    {.command = CMD_HELP, .word = "-h", .help = kHelpUsage, .usage = "zeltnvm [OPTIONS] <COMMAND> [Params]",
     .after_scan = typed<reported<help>>, .available = true},
    {.command = CMD_VERSION, .word = "version", .rule = at_most(2), .help = kHelpVersion, .usage = "zeltnvm version",
     .group = G::query, .summary = "Query zeltnvm version", .after_scan = typed<version_command>, .available = true},
    {.command = CMD_DEVID, .word = "devid", .argument = K::file_spec, .help = kHelpDevid,
     .usage = "zeltnvm -dev=<interface name> devid", .group = G::query,
     .summary = "Displays the PCI IDs of the device or of package files", .failure = "Failed to display device ID's.",
     .after_scan = typed<devid_pkgver_device_command>, .package_files = true, .available = true},
    {.command = CMD_PKGVER, .word = "pkgver", .argument = K::file_spec, .help = kHelpPkgver,
     .usage = "zeltnvm -dev=<interface name> pkgver", .group = G::query,
     .summary = "Displays the package version of the device or of package files",
     .after_scan = typed<devid_pkgver_device_command>, .package_files = true, .available = true},
    {.command = CMD_BACKUP, .word = "backup", .implicit_device = true, .help = kHelpBackup,
     .usage = "zeltnvm -dev=<interface name> backup <package file>", .group = G::debug,
     .summary = "Saves the NVM contents of the device to a package file",
     .failure = "Failed to backup NVM contents.", .after_scan = typed<backup_command>, .available = true},
    {.command = CMD_INSTALL, .word = "install", .argument = K::file_spec, .rule = {.check = rules::install, .plan = true},
     .help = kHelpInstall, .usage = "zeltnvm -dev=<interface name> install [-force] [-y] [-noidcheck] <package file>",
     .group = G::firmware_update, .summary = "Installs the firmware package file on the device",
     .failure = "Package installation failed. Please review debug log file for more information.",
     .after_scan = typed<install_report>, .available = true},
    {.command = CMD_VERIFY, .word = "verify", .argument = K::file_spec, .help = kHelpVerify,
     .usage = "zeltnvm -dev=<interface name> verify", .group = G::firmware_update,
     .summary = "Verifies the NVM components of the device or of package files",
     .failure = "NVM components verification failed. Please review debug log file for more information.",
     .after_scan = typed<nvm_device_command>, .package_files = true, .available = true},
    {.command = CMD_LISTDEV, .word = "listdev", .rule = checked(rules::listdev), .help = kHelpListdev,
     .usage = "zeltnvm listdev", .group = G::query, .summary = "Lists the supported devices",
     .after_scan = typed<listdev_command>, .available = true},
    {.command = CMD_SETOPTION, .word = "setoption", .implicit_device = true, .rule = checked(rules::option),
     .help = kHelpSetoption,
     .usage = "zeltnvm -dev=<interface name> setoption=<option name>:[function/port index]#<val>",
     .group = G::configure, .summary = "Configure an NVM configuration option",
     .at_word = typed<check_option_at_word>, .after_scan = typed<zeltnvm_option_command>, .available = true,
     .writes_adapter = true},
    {.command = CMD_GETOPTION, .word = "getoption", .implicit_device = true, .rule = checked(rules::option),
     .help = kHelpGetoption, .usage = "zeltnvm -dev=<interface name> getoption=<option name>:[function/port index]",
     .group = G::query, .summary = "Query an NVM configuration option", .at_word = typed<check_option_at_word>,
     .after_scan = typed<zeltnvm_option_command>, .available = true},
    {.command = CMD_CFGTUNNEL, .word = "cfgtunnel", .implicit_device = true, .argument = K::text_always,
     .rule = at_least(4), .help = kHelpCfgtunnel,
     .usage = "zeltnvm -dev=<interface name> cfgtunnel vxlan_ipv4 [dst_port [<port>]]", .group = G::configure,
     .summary = "Configures the tunnel destination port or the RSS mode",
     .failure = "Failed to configure the custom tunnel.", .after_scan = typed<cfgtunnel_command>,
     .available = true, .writes_adapter = true},
    {.command = CMD_MODULEINFO, .word = "moduleinfo", .rule = checked(rules::listdev), .help = kHelpModuleinfo,
     .usage = "zeltnvm -dev=<interface name> moduleinfo", .group = G::query,
     .summary = "Query the cable information of the optical module",
     .failure = "Failed to query the module information.", .after_scan = typed<moduleinfo_command>,
     .available = true},
    {.command = CMD_COREDUMP, .word = "coredump", .implicit_device = true, .rule = between(3, 4),
     .help = kHelpCoredump, .usage = "zeltnvm -dev=<interface name> coredump [<file name>]", .group = G::debug,
     .summary = "Retrieves coredump data from the device and from the ddr (if available).\n"
                 "A .core file will be generated in the same directory",
     .failure = "CoreDump command failed. Please review zeltnvm.log for more details.",
     .after_scan = typed<zeltnvm_coredump_command>, .available = true},
    {.command = CMD_OPTIONHELP, .word = "optionhelp", .implicit_device = true, .rule = checked(rules::option),
     .help = kHelpOptionhelp, .usage = "zeltnvm -dev=<interface name> optionhelp=<NVM_config_option_name>",
     .group = G::query, .summary = "Displays the help of an NVM configuration option",
     .at_word = typed<option_help_at_word>, .after_scan = typed<reported<option_help_without_name>>,
     .available = true},
    {.command = CMD_ETHERDIAGRAM, .word = "ether_serdes_eye_diagram", .implicit_device = true,
     .argument = K::text_always, .rule = exactly(4), .help = kHelpEtherdiagram,
     .usage = "zeltnvm -dev=<interface name> ether_serdes_eye_diagram <lane_number>", .group = G::query,
     .summary = "Displays the Ethernet SerDes eye diagram of a lane",
     .failure = "Ethernet serdes eye diagram command failed. Please review zeltnvm.log for more details.",
     .after_scan = typed<ether_serdes_eye_diagram_command>, .available = true},
    {.command = CMD_RESET, .word = "reset", .implicit_device = true, .argument = K::text_always, .help = kHelpReset,
     .usage = "zeltnvm -dev=<interface name> reset", .group = G::configure,
     .summary = "Resets the firmware of the device", .after_scan = typed<zeltnvm_reset_command>, .available = true,
     .writes_adapter = true},
    {.command = CMD_PCIDIAGRAM, .word = "pci_eye_diagram", .implicit_device = true, .argument = K::text_always,
     .rule = between(4, 5), .help = kHelpPcidiagram,
     .usage = "zeltnvm -dev=<interface name> pci_eye_diagram <lane_number> [-margin] [-v|-V]", .group = G::query,
     .summary = "Displays the PCIe eye diagram of a lane.\nThis command is not supported on HVX9Kxxxx devices",
     .after_scan = typed<pci_eye_diagram_command>, .available = true},
    {.command = CMD_RESMGMT, .word = "resmgmt", .implicit_device = true, .argument = K::text_always,
     .rule = at_least(4), .help = kHelpResmgmt, .usage = "zeltnvm -dev=<interface name> resmgmt profile [symmetric]",
     .group = G::configure, .summary = "Shows, sets or saves the resource profile of the physical functions",
     .after_scan = typed<resmgmt_command>, .available = true, .writes_adapter = true},
    {.command = CMD_SAVEOPTIONS, .word = "saveoptions", .implicit_device = true, .rule = exactly(4),
     .help = kHelpSaveoptions, .usage = "zeltnvm -dev=<interface name> saveoptions <file>", .group = G::query,
     .summary = "Saves the NVM configuration options of the device to a script file",
     .failure = "Failed to save NVM configuration options. Please review zeltnvm.log for more details.",
     .after_scan = typed<saveoptions_command>, .available = true},
    {.command = CMD_DEVICETEMP, .word = "device_temperature", .implicit_device = true,
     .rule = checked(rules::listdev), .help = kHelpDevicetemp,
     .usage = "zeltnvm -dev=<interface name> device_temperature", .group = G::query,
     .summary = "Query the device temperature in Celsius", .failure = "Failed to query the device information.",
     .after_scan = typed<device_temperature_command>, .available = true},
    {.command = CMD_PCIECOUNTERS, .word = "pcie_counters", .implicit_device = true, .rule = checked(rules::listdev),
     .help = kHelpPciecounters, .usage = "zeltnvm -dev=<interface name> pcie_counters", .group = G::query,
     .summary = "Query the PCIe counters of the device", .after_scan = typed<pcie_counters_command>,
     .available = true},
    {.command = CMD_TRUSTEDVF, .word = "vf", .implicit_device = true,
     .rule = {.min_count = 5, .max_count = 6, .check = rules::trusted_vf}, .help = kHelpTrustedvf,
     .usage = "Configure trusted VF: zeltnvm -dev=<interface name> vf <vf_index> trust <enable/disable>",
     .group = G::configure, .summary = "Configures or queries a trusted VF",
     .after_scan = typed<zeltnvm_vf_command>, .available = true, .writes_adapter = true},
    {.command = CMD_DEVINFO, .word = "device_info", .implicit_device = true, .rule = checked(rules::listdev),
     .help = kHelpDevinfo, .usage = "zeltnvm device_info", .group = G::query,
     .summary = "Displays the details of every supported device",
     .failure = "Device information command failed. Please review zeltnvm.log for more details.",
     .at_word = ends_run<device_info_command>, .available = true},
    {.command = CMD_PCIEYESCOPE, .word = "pci_eye_scope", .implicit_device = true, .rule = at_least(4),
     .help = kHelpPcieyescope, .usage = "zeltnvm -dev=<interface name> pci_eye_scope <lane_number>",
     .group = G::query, .summary = "Runs the PCIe eye scope test.\nThis command is supported only on HVX9Kxxxx devices",
     .failure = "PCI Eye Scope test failed. Please review zeltnvm.log for more details.",
     .after_scan = typed<pci_eye_scope_command>, .available = true},
    {.command = CMD_PRBS_TEST, .word = "prbs_test", .implicit_device = true, .rule = at_least(4),
     .help = kHelpPrbsTest,
     .usage = "zeltnvm -dev=<interface name> prbs_test enable/disable [prbs_mode <mode> rx_lane_mask <mask> "
              "tx_lane_mask <mask> duration <seconds>]",
     .group = G::configure, .summary = "Runs the PRBS test on the lanes of the port",
     .after_scan = typed<prbs_test_command>, .available = true},
    {.command = CMD_ADDNTUPLE, .word = "add_ntuple_filter", .implicit_device = true, .rule = exactly(8),
     .help = kHelpAddntuple,
     .usage = "zeltnvm -dev=<interface name> add_ntuple_filter <MAC> <port> <port mask> <vf index> <ip type>",
     .group = G::configure, .summary = "Adds an ntuple flow filter", .failure = "Failed to add ntuple filter.",
     .at_word = ends_run<add_ntuple_filter_command>, .available = true, .writes_adapter = true},
    {.command = CMD_FREENTUPLE, .word = "free_ntuple_filter", .implicit_device = true, .rule = exactly(4),
     .help = kHelpFreentuple, .usage = "zeltnvm -dev=<interface name> free_ntuple_filter <filter id>",
     .group = G::configure, .summary = "Removes an ntuple flow filter", .failure = "Failed to free ntuple filter.",
     .at_word = ends_run<free_ntuple_filter_command>, .available = true, .writes_adapter = true},
    {.command = CMD_RESTORE_FACTORY_DEFAULTS, .word = "restore_factory_defaults", .implicit_device = true,
     .rule = checked(rules::restore_factory_defaults), .help = kHelpRestoreFactoryDefaults,
     .usage = "zeltnvm -dev=<interface name> restore_factory_defaults [-y]", .group = G::configure,
     .summary = "Restores the NVM factory defaults.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<restore_factory_defaults_command>, .available = true, .writes_adapter = true},
    {.command = CMD_LOOPBACK, .word = "loopback", .implicit_device = true,
     .rule = {.min_count = 3, .max_count = 4, .check = rules::loopback},
     .help = kHelpLoopback,
     .usage = "zeltnvm -dev=<interface name> loopback [phy_remote/phy_local/mac_local/external/disable]",
     .group = G::configure, .summary = "Configures or queries the loopback mode",
     .after_scan = typed<zeltnvm_loopback_command>, .available = true, .writes_adapter = true},
    {.command = CMD_FWSYNC, .word = "fw_sync", .implicit_device = true, .rule = exactly(3), .help = kHelpFwsync,
     .usage = "zeltnvm -dev=<interface name> fw_sync", .group = G::firmware_update,
     .summary = "Synchronises the firmware images of the device.\nThis command is supported only on HVX9Kxxxx devices",
     .failure = "FW sync command failed.",
     .after_scan = typed<fw_sync_command>, .available = true, .writes_adapter = true},
    {.command = CMD_DEVICE_HEALTH_CHECK, .word = "device_health_check", .implicit_device = true,
     .rule = between(3, 5), .help = kHelpDeviceHealthCheck,
     .usage = "zeltnvm -dev=<interface name> device_health_check [-v]", .group = G::debug,
     .summary = "Checks the health of the device",
     .failure = "Device health Check command failed. Please review zeltnvm.log for more details.",
     .after_scan = typed<zeltnvm_device_health_check_command>, .available = true},
    {.command = CMD_DSCDUMP, .word = "dscdump", .implicit_device = true, .rule = at_least(4), .help = kHelpDscdump,
     .usage = "zeltnvm -dev=<interface name> dscdump <lane_number> [<diag level>]", .group = G::debug,
     .summary = "Retrieves the DSC dump of the device", .after_scan = typed<zeltnvm_dscdump_command>,
     .available = true},
    {.command = CMD_LIST, .word = "list", .argument = K::file_spec, .help = kHelpList,
     .usage = "zeltnvm -dev=<interface name> list [-type=<type>] [-sort[=<pattern>]]", .group = G::query,
     .summary = "Lists the NVM directory of the device or the items of package files",
     .after_scan = typed<nvm_device_command>, .package_files = true, .available = true},
    {.command = CMD_VIEW, .word = "view", .argument = K::file_spec, .help = kHelpView,
     .usage = "zeltnvm -dev=<interface name> view [-type=<type>]", .group = G::query,
     .summary = "Displays the NVM items of the device or of package files",
     .after_scan = typed<nvm_device_command>, .package_files = true, .available = true},
    {.command = CMD_SET_TXFIR, .word = "set_txfir", .implicit_device = true, .rule = exactly(9),
     .help = kHelpSetTxfir,
     .usage = "zeltnvm -dev=<interface name> set_txfir <NRZ/PAM4> <lane mask> <v1> <v2> <v3> <v4>",
     .group = G::configure, .summary = "Configures the transmit equalisation settings of lanes",
     .after_scan = typed<set_txfir_command>, .available = true, .writes_adapter = true},
    {.command = CMD_GET_TXFIR, .word = "get_txfir", .implicit_device = true, .rule = exactly(5),
     .help = kHelpGetTxfir, .usage = "zeltnvm -dev=<interface name> get_txfir <NRZ/PAM4> <lane number>",
     .group = G::query, .summary = "Query the transmit equalisation settings of a lane",
     .after_scan = typed<get_txfir_command>, .available = true},
    {.command = CMD_MH_PF_ALLOC, .word = "mh_pf_alloc", .implicit_device = true, .help = kHelpMhPfAlloc,
     .usage = "zeltnvm -dev=<interface name> mh_pf_alloc [<ep0> <ep1> <ep2> <ep3>]", .group = G::configure,
     .summary = "Configures the PF allocation of a multi-host adapter.\n"
                 "This command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<mh_pf_alloc_command>, .available = true, .writes_adapter = true},
    {.command = CMD_MSIX_MAX_VECTORS, .word = "msix_max_vectors", .implicit_device = true,
     .help = kHelpMsixMaxVectors,
     .usage = "zeltnvm -dev=<interface name> msix_max_vectors <pf> [<start_vf> <msix>]...", .group = G::configure,
     .summary = "Configures the MSI-X vectors of the functions.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<msix_max_vectors_command>, .available = true, .writes_adapter = true},
    {.command = CMD_LIVEPATCH, .word = "livepatch", .implicit_device = true, .help = kHelpLivepatch,
     .usage = "zeltnvm -dev=<interface name> livepatch [activate/deactivate [<target>]]", .group = G::firmware_update,
     .summary = "Queries, activates, deactivates or updates firmware live patches",
     .after_scan = typed<livepatch_command>, .available = true, .writes_adapter = true},
    {.command = CMD_TSIO_FUNCTION_PIN, .word = "tsio_function_pin", .implicit_device = true, .rule = at_least(3),
     .help = kHelpTsioFunctionPin,
     .usage = "zeltnvm -dev=<interface name> tsio_function_pin [<pin> <enable/disable> <usage>]",
     .group = G::configure,
     .summary = "Configures or queries the time-synchronisation pins.\n"
                 "This command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<tsio_function_pin_command>, .available = true, .writes_adapter = true},
    {.command = CMD_DUTY_CYCLE, .word = "duty_cycle", .implicit_device = true, .rule = at_least(7),
     .help = kHelpDutyCycle, .usage = "zeltnvm -dev=<interface name> duty_cycle period <ns> up <ns>", .group = G::configure,
     .summary = "Configures the duty cycle of a time-synchronisation pin.\n"
                 "This command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<duty_cycle_command>, .available = true, .writes_adapter = true},
    {.command = CMD_DLL_SOURCE, .word = "dll_source", .implicit_device = true, .rule = at_least(7),
     .help = kHelpDllSource, .usage = "zeltnvm -dev=<interface name> dll_source source <0-4> frequency <0-3>", .group = G::configure,
     .summary = "Configures the DLL source of a time-synchronisation pin.\n"
                 "This command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<dll_source_command>, .available = true, .writes_adapter = true},
    {.command = CMD_GET_PRVSN_STATE, .word = "cert_provision_state", .implicit_device = true,
     .help = kHelpGetPrvsnState, .usage = "zeltnvm -dev=<interface name> cert_provision_state [<slot>]",
     .group = G::query,
     .summary = "Query the certificate provisioning state.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<cert_provision_state_command>, .available = true},
    {.command = CMD_GET_PTP_EXT, .word = "get_ptp_extended", .implicit_device = true, .help = kHelpGetPtpExt,
     .usage = "zeltnvm -dev=<interface name> get_ptp_extended", .group = G::query,
     .summary = "Query the extended PTP parameters.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<get_ptp_extended_command>, .available = true},
    {.command = CMD_SET_PTP_EXT, .word = "set_ptp_extended", .implicit_device = true, .help = kHelpSetPtpExt,
     .usage = "zeltnvm -dev=<interface name> set_ptp_extended <name> <value> [<name> <value>]...", .group = G::configure,
     .summary = "Configures the extended PTP parameters.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<set_ptp_extended_command>, .available = true, .writes_adapter = true},
    {.command = CMD_NVM_MEASUREMENT, .word = "nvm_measurement", .implicit_device = true, .help = kHelpNvmMeasurement,
     .usage = "zeltnvm -dev=<interface name> nvm_measurement", .group = G::query,
     .summary = "Query the NVM configuration measurement.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<nvm_measurement_command>, .available = true},
    {.command = CMD_SET_SYNC_ETHERNET, .word = "set_sync_ethernet", .implicit_device = true,
     .help = kHelpSetSyncEthernet, .usage = "zeltnvm -dev=<interface name> set_sync_ethernet [frequency_profile 25MHz] "
              "[primary_clock_state Enable/Disable] [secondary_clock_state Enable/Disable]",
     .group = G::configure,
     .summary = "Configures synchronous Ethernet.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<set_sync_ethernet_command>, .available = true, .writes_adapter = true},
    {.command = CMD_GET_SYNC_ETHERNET, .word = "get_sync_ethernet", .implicit_device = true,
     .help = kHelpGetSyncEthernet, .usage = "zeltnvm -dev=<interface name> get_sync_ethernet", .group = G::query,
     .summary = "Query the synchronous Ethernet configuration.\nThis command is supported only on HVX9Kxxxx devices",
     .after_scan = typed<get_sync_ethernet_command>, .available = true},
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

int zeltnvm_display_help(int command) {
    if (command < 0 || command >= ZELT_CMD_COUNT) return 0;
    if (command == CMD_HELP) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s\n", general_usage().c_str());
        return 0;
    }
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s\n", zelt::cli::command_row(command).help);
    return 0;
}

}  // namespace zelt::cli
