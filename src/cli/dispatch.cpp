// Running the command once the scan has ended.
#include "cli/command_table.h"
#include "cli/front_end_hooks.h"
#include "cli/scan_state.h"
#include "cli/version.h"
#include "log/print.h"
#include "log/run_flags.h"

namespace zelt::cli {
namespace {

using Handler = int (*)(const char*, options*, int, char (*)[ZELT_ARG_LEN]);

// Commands whose handler runs after the scan in its own branch.
Handler branch_handler(int cmd) {
    switch (cmd) {
        case CMD_COREDUMP: return zeltnvm_coredump_command;
        case CMD_RESET: return zeltnvm_reset_command;
        case CMD_TRUSTEDVF: return zeltnvm_trusted_vf_command;
        case CMD_PCIEYESCOPE: return zeltnvm_pci_eye_scope_command;
        case CMD_PRBS_TEST: return zeltnvm_prbs_test_command;
        case CMD_RESTORE_FACTORY_DEFAULTS: return zeltnvm_restore_factory_defaults_command;
        case CMD_LOOPBACK: return zeltnvm_loopback_command;
        case CMD_FWSYNC: return zeltnvm_fw_sync_command;
        case CMD_DEVICE_HEALTH_CHECK: return zeltnvm_device_health_check_command;
        case CMD_DSCDUMP: return zeltnvm_dscdump_command;
        case CMD_SET_TXFIR: return zeltnvm_set_txfir_command;
        case CMD_GET_TXFIR: return zeltnvm_get_txfir_command;
        case CMD_MH_PF_ALLOC: return zeltnvm_mh_pf_alloc_command;
        case CMD_MSIX_MAX_VECTORS: return zeltnvm_msix_max_vectors_command;
        case CMD_LIVEPATCH: return zeltnvm_livepatch_command;
        case CMD_TSIO_FUNCTION_PIN: return zeltnvm_tsio_function_pin_command;
        case CMD_DUTY_CYCLE: return zeltnvm_duty_cycle_command;
        case CMD_DLL_SOURCE: return zeltnvm_dll_source_command;
        case CMD_GET_PRVSN_STATE: return zeltnvm_cert_provision_state_command;
        case CMD_GET_PTP_EXT: return zeltnvm_get_ptp_extended_command;
        case CMD_SET_PTP_EXT: return zeltnvm_set_ptp_extended_command;
        case CMD_NVM_MEASUREMENT: return zeltnvm_nvm_measurement_command;
        case CMD_SET_SYNC_ETHERNET: return zeltnvm_set_sync_ethernet_command;
        case CMD_GET_SYNC_ETHERNET: return zeltnvm_get_sync_ethernet_command;
        default: return nullptr;
    }
}

bool is_package_file_command(int cmd) {
    return cmd == CMD_DEVID || cmd == CMD_PKGVER || cmd == CMD_VERIFY || cmd == CMD_LIST || cmd == CMD_VIEW;
}

// The device command dispatcher, for install and the device forms of the listing
// and query commands.
int run_device_commands(ScanState& s) {
    options& o = s.opts;
    if (s.command == CMD_INSTALL) {
        if (!o.arg && !s.files.empty()) o.arg = s.files.front().c_str();
        if (!o.arg && !o.online) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command requires a filename argument\n");
            return -1;
        }
    }
    std::vector<char*> files = s.file_pointers();
    return invoke_device_commands(s.device, s.command, files.data(), static_cast<int>(files.size()), &o, s.argc,
                                  s.args.get());
}

// -debug: what the scan made of the command line.
void trace_scan(const ScanState& s) {
    const options& o = s.opts;
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "command = '%s', device = '%s', files = %zu\n", cmd_str[s.command],
                  s.device ? s.device : "", s.files.size());
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                  "options: verbosity=%u type=%d ext=%u ord=%u attr=%u tab=%d num=%d force=%d continue=%d "
                  "verify=%d noidcheck=%d totals=%d dec=%d prompt=%d online=%d recovery=%d sort='%s'\n",
                  o.verbosity, o.type, o.ext, o.ordinal, o.attr, o.tab, o.numeric, o.force, o.cont, o.verify,
                  o.noidcheck, o.totals, o.dec, o.prompt, o.online, o.recovery, o.sort ? o.sort : "");
}

}  // namespace

int dispatch_command(ScanState& s) {
    zeltnvm_format_verstr();
    zeltnvm_verbose = s.opts.verbosity;
    options& o = s.opts;
    const int cmd = s.command;
    if (o.debug) trace_scan(s);

    if (cmd == CMD_VERSION) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                      "Halvex Orvanta-C/E/S firmware update and configuration utility\n");
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Version v%u.%u.%u.%u\n", ZELT_VERSION_MAJOR,
                      ZELT_VERSION_MINOR, ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH);
        return 0;
    }
    if (is_package_file_command(cmd) && !s.files.empty()) {
        std::vector<char*> files = s.file_pointers();
        int rc = invoke_package_commands(files.data(), static_cast<int>(files.size()), cmd, &o);
        if (rc != 0 || !s.device) return rc;
        return run_device_commands(s);
    }
    if (cmd == CMD_LISTDEV) {
        o.flag = true;
        return list_devices(&o);
    }
    if (cmd == CMD_SETOPTION || cmd == CMD_GETOPTION)
        return zeltnvm_option_command(s.device, cmd, &o, s.argc, s.args.get());
    if (cmd == CMD_CFGTUNNEL || cmd == CMD_ETHERDIAGRAM || cmd == CMD_PCIDIAGRAM || cmd == CMD_RESMGMT)
        return s.kept_result;
    if (Handler h = branch_handler(cmd)) return h(s.device, &o, s.argc, s.args.get());
    return run_device_commands(s);
}

}  // namespace zelt::cli
