// Help texts: the general usage and one text per command word.
#include <cstdio>

#include "cli/command_table.h"
#include "cli/front_end_hooks.h"
#include "log/print.h"

namespace {

constexpr const char* HELP_H =
    "NAME\n"
    "        zeltnvm\n"
    "\n"
    "DESCRIPTION\n"
    "        Halvex Orvanta-C/E/S firmware update and configuration utility\n"
    "\n"
    "SYNOPSIS\n"
    "         zeltnvm [OPTIONS] <COMMAND> [Params]\n"
    "\n"
    "OPTIONS\n"
    "                -h                       : Display help message\n"
    "                -v|V                     : Display the output with more information\n"
    "                -dev=<device>            : Specify the physical device name\n"
    "                -online                  : Downloads the latest firmware package from the support site and updates it\n"
    "                -recovery                : Recovers the adapter and updates the firmware package file\n"
    "                -type=<type>             : Specify item type by name or number (?=list)\n"
    "                -savemac                 : Deprecated: MAC addresses are always kept across a package update\n"
    "                -y|--yes                 : Specify this option to answer 'yes' in prompt\n"
    "                -force                   : Force installation or NVM options configuration\n"
    "\n"
    "COMMANDS\n"
    "        Firmware update commands\n"
    "                install                  : Installs the firmware package file on the device\n"
    "                verify                   : Verifies the NVM components of the device or of package files\n"
    "                fw_sync                  : Synchronises the firmware images of the device\n"
    "                livepatch                : Queries, activates, deactivates or updates firmware live patches.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "        Query commands\n"
    "                version                  : Query zeltnvm version\n"
    "                list                     : Lists the NVM directory of the device or the items of package files\n"
    "                view                     : Displays the NVM items of the device or of package files\n"
    "                listdev                  : Lists the supported devices\n"
    "                saveoptions              : Saves the NVM configuration options of the device to a script file\n"
    "                devid                    : Displays the PCI IDs of the device or of package files\n"
    "                device_info              : Displays the details of every supported device\n"
    "                getoption                : Query an NVM configuration option\n"
    "                pkgver                   : Displays the package version of the device or of package files\n"
    "                device_temperature       : Query the device temperature in Celsius\n"
    "                moduleinfo               : Query the cable information of the optical module\n"
    "                ether_serdes_eye_diagram : Displays the Ethernet SerDes eye diagram of a lane\n"
    "                pci_eye_diagram          : Displays the PCIe eye diagram of a lane.\n"
    "                                           This command is not supported on HVX9Kxxxx devices\n"
    "                pcie_counters            : Query the PCIe counters of the device\n"
    "                get_ptp_extended         : Query the extended PTP parameters.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                get_sync_ethernet        : Query the synchronous Ethernet configuration.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                get_txfir                : Query the transmit equalisation settings of a lane\n"
    "                optionhelp               : Displays the help of an NVM configuration option\n"
    "                pci_eye_scope            : Runs the PCIe eye scope test\n"
    "                cert_provision_state     : Query the certificate provisioning state.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                nvm_measurement          : Query the NVM configuration measurement.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "        Configure commands\n"
    "                setoption                : Configure an NVM configuration option\n"
    "                resmgmt                  : Saves, restores or shows the hardware resource profile\n"
    "                cfgtunnel                : Configures the tunnel destination port or the RSS mode\n"
    "                vf                       : Configures or queries a trusted VF\n"
    "                prbs_test                : Runs the PRBS test on the lanes of the port\n"
    "                add_ntuple_filter        : Adds an ntuple flow filter\n"
    "                free_ntuple_filter       : Removes an ntuple flow filter\n"
    "                msix_max_vectors         : Configures the MSI-X vectors of the functions.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                tsio_function_pin        : Configures or queries the time-synchronisation pins.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                duty_cycle               : Configures the duty cycle of a time-synchronisation pin.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                dll_source               : Configures the DLL source of a time-synchronisation pin.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                set_ptp_extended         : Configures the extended PTP parameters.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                set_sync_ethernet        : Configures synchronous Ethernet.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                set_txfir                : Configures the transmit equalisation settings of lanes\n"
    "                reset                    : Resets the firmware of the device\n"
    "                restore_factory_defaults : Restores the NVM factory defaults.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                mh_pf_alloc              : Configures the PF allocation of a multi-host adapter.\n"
    "                                           This command is supported only on HVX9Kxxxx devices\n"
    "                loopback                 : Configures or queries the loopback mode\n"
    "\n"
    "        Debug commands\n"
    "                coredump                 : Retrieves coredump data from the device and from the ddr (if available).\n"
    "                                           A .core file will be generated in the same directory\n"
    "                backup                   : Saves the NVM contents of the device to a package file\n"
    "                device_health_check      : Checks the health of the device\n"
    "                dscdump                  : Retrieves the DSC dump of the device\n"
    "\n"
    "EXAMPLES\n"
    "        To display supported devices     : zeltnvm listdev\n"
    "        To install firmware              : zeltnvm -dev=<ethX> install <package file>\n"
    "        To verify the NVM contents       : zeltnvm -dev=<ethX> verify\n"
    "        To get NVM config option         : zeltnvm -dev=<ethX> getoption=<NVM_option_name>:[function/port index]\n"
    "        To set NVM config option         : zeltnvm -dev=<ethX> setoption=<NVM_option_name>:[function/port index]#<value>\n"
    "        To reset firmware                : zeltnvm -dev=<ethX> reset";

constexpr const char* HELP_VERSION =
    "\n"
    "DESCRIPTION\n"
    "        Displays zeltnvm version details\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm version";

constexpr const char* HELP_DEVID =
    "\n"
    "DESCRIPTION\n"
    "        Displays the PCI vendor, device and subsystem IDs of the device,\n"
    "        or the IDs a package file applies to\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> devid\n"
    "        zeltnvm devid <package file(s)>";

constexpr const char* HELP_PKGVER =
    "\n"
    "DESCRIPTION\n"
    "        Displays the package version of the device or of package files\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pkgver\n"
    "        zeltnvm pkgver <package file(s)>";

constexpr const char* HELP_BACKUP =
    "\n"
    "DESCRIPTION\n"
    "        Saves the NVM contents of the device into a package file\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> backup <package file>";

constexpr const char* HELP_INSTALL =
    "\n"
    "DESCRIPTION\n"
    "        Installs a firmware package file on the device, keeping the device's\n"
    "        MAC addresses, VPD and certificates\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> install [-force] [-y] [-noidcheck] <package file>\n"
    "        zeltnvm -dev=<interface name> install -online [-y]\n"
    "        zeltnvm -dev=<pci address> install -recovery <package file>";

constexpr const char* HELP_VERIFY =
    "\n"
    "DESCRIPTION\n"
    "        Verifies the NVM components of the device or of package files\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> verify\n"
    "        zeltnvm verify <package file(s)>";

constexpr const char* HELP_LISTDEV =
    "\n"
    "DESCRIPTION\n"
    "        Lists the supported devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm listdev";

constexpr const char* HELP_SETOPTION =
    "\n"
    "DESCRIPTION\n"
    "        Configures an NVM configuration option of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> setoption=<option name>:[function/port index]#<val>";

constexpr const char* HELP_GETOPTION =
    "\n"
    "DESCRIPTION\n"
    "        Queries an NVM configuration option of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> getoption=<option name>:[function/port index]\n"
    "                -dec: display the value as its label or decimal number";

constexpr const char* HELP_CFGTUNNEL =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries the custom tunnel destination port and the RSS mode\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> cfgtunnel vxlan_ipv4 [dst_port [<port>]]\n"
    "        zeltnvm -dev=<interface name> cfgtunnel rss_mode [inner/outer]";

constexpr const char* HELP_MODULEINFO =
    "\n"
    "DESCRIPTION\n"
    "        Queries the cable information of the module\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> moduleinfo";

constexpr const char* HELP_COREDUMP =
    "\n"
    "DESCRIPTION\n"
    "        Retrieves coredump data from the device and from the ddr (if available).\n"
    "        A .core file will be generated in the same directory\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> coredump [<file name>]";

constexpr const char* HELP_OPTIONHELP =
    "\n"
    "DESCRIPTION\n"
    "        Displays the help of an NVM configuration option\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> optionhelp=<NVM_config_option_name>";

constexpr const char* HELP_ETHERDIAGRAM =
    "\n"
    "DESCRIPTION\n"
    "        Displays the Ethernet SerDes eye diagram of a lane\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> ether_serdes_eye_diagram <lane_number>";

constexpr const char* HELP_RESET =
    "\n"
    "DESCRIPTION\n"
    "        Resets the firmware of the device to activate a new firmware\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> reset";

constexpr const char* HELP_PCIDIAGRAM =
    "\n"
    "DESCRIPTION\n"
    "        Displays the PCIe eye diagram of a lane.\n"
    "        This command is not supported on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pci_eye_diagram <lane_number> [-margin] [-v|-V]\n"
    "                lane_number: the PCIe lane\n"
    "                -margin: show the eye margins\n"
    "                -v|-V: show more detail";

constexpr const char* HELP_RESMGMT =
    "\n"
    "DESCRIPTION\n"
    "        Saves, restores or shows the hardware resource profile\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> resmgmt save <file>\n"
    "        zeltnvm -dev=<interface name> resmgmt restore <file>\n"
    "        zeltnvm -dev=<interface name> resmgmt show";

constexpr const char* HELP_SAVEOPTIONS =
    "\n"
    "DESCRIPTION\n"
    "        Saves the NVM configuration options of the device to a script file\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> saveoptions <file>";

constexpr const char* HELP_DEVICETEMP =
    "\n"
    "DESCRIPTION\n"
    "        Queries the device temperature in Celsius\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> device_temperature";

constexpr const char* HELP_PCIECOUNTERS =
    "\n"
    "DESCRIPTION\n"
    "        Queries the PCIe counters of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pcie_counters";

constexpr const char* HELP_TRUSTEDVF =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries a trusted VF\n"
    "\n"
    "SYNTAX\n"
    "        Configure trusted VF: zeltnvm -dev=<interface name> vf <vf_index> trust <enable/disable>\n"
    "        Query for trusted VF: zeltnvm -dev=<interface name> vf <vf_index> trust";

constexpr const char* HELP_DEVINFO =
    "\n"
    "DESCRIPTION\n"
    "        Displays the details of every supported device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm device_info";

constexpr const char* HELP_PCIEYESCOPE =
    "\n"
    "DESCRIPTION\n"
    "        Runs the PCIe eye scope test\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pci_eye_scope <parameters>";

constexpr const char* HELP_PRBS_TEST =
    "\n"
    "DESCRIPTION\n"
    "        Runs the PRBS test on the lanes of the port\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> prbs_test enable/disable [prbs_mode <mode> rx_lane_mask <mask> tx_lane_mask <mask> duration <seconds>]\n"
    "                prbs_mode: PRBS31 (default), PRBS7, PRBS9, PRBS11, PRBS15, PRBS23, PRBS58";

constexpr const char* HELP_ADDNTUPLE =
    "\n"
    "DESCRIPTION\n"
    "        Adds an ntuple flow filter\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> add_ntuple_filter <MAC> <port> <port mask> <vf index> <ip type>\n"
    "                ip type: 1 - IPV4, 2 - IPV6, 3 - arp-reply";

constexpr const char* HELP_FREENTUPLE =
    "\n"
    "DESCRIPTION\n"
    "        Removes an ntuple flow filter\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> free_ntuple_filter <filter id>";

constexpr const char* HELP_RESTORE_FACTORY_DEFAULTS =
    "\n"
    "DESCRIPTION\n"
    "        Restores the NVM factory defaults.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> restore_factory_defaults [-y]";

constexpr const char* HELP_LOOPBACK =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries the loopback mode\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> loopback [phy_remote/phy_local/mac_local/external/disable]";

constexpr const char* HELP_FWSYNC =
    "\n"
    "DESCRIPTION\n"
    "        Synchronises the firmware images of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> fw_sync";

constexpr const char* HELP_DEVICE_HEALTH_CHECK =
    "\n"
    "DESCRIPTION\n"
    "        Checks the health of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> device_health_check [<parameters>]";

constexpr const char* HELP_DSCDUMP =
    "\n"
    "DESCRIPTION\n"
    "        Retrieves the DSC dump of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> dscdump <parameters>";

constexpr const char* HELP_LIST =
    "\n"
    "DESCRIPTION\n"
    "        Lists the NVM directory of the device or the items of package files\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> list [-type=<type>] [-sort[=<pattern>]]\n"
    "        zeltnvm list <package file(s)>";

constexpr const char* HELP_VIEW =
    "\n"
    "DESCRIPTION\n"
    "        Displays the NVM items of the device or of package files\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> view [-type=<type>]\n"
    "        zeltnvm view <package file(s)>";

constexpr const char* HELP_SET_TXFIR =
    "\n"
    "DESCRIPTION\n"
    "        Configures the transmit equalisation settings of lanes\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> set_txfir <NRZ/PAM4> <lane mask> <v1> <v2> <v3> <v4>";

constexpr const char* HELP_GET_TXFIR =
    "\n"
    "DESCRIPTION\n"
    "        Queries the transmit equalisation settings of a lane\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> get_txfir <NRZ/PAM4> <lane number>";

constexpr const char* HELP_MH_PF_ALLOC =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries the PF allocation of a multi-host adapter.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> mh_pf_alloc [<ep0> <ep1> <ep2> <ep3>]";

constexpr const char* HELP_MSIX_MAX_VECTORS =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries the MSI-X vectors of the functions.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> msix_max_vectors <pf> [<start_vf> <msix>]...";

constexpr const char* HELP_LIVEPATCH =
    "\n"
    "DESCRIPTION\n"
    "        Queries, activates, deactivates or updates firmware live patches.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> livepatch [activate/deactivate [<target>]]\n"
    "        zeltnvm -dev=<interface name> livepatch update [<target>] <file>\n"
    "                target: common_fw, secure_fw or chimp_fw";

constexpr const char* HELP_TSIO_FUNCTION_PIN =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries the time-synchronisation pins.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> tsio_function_pin [<pin> <enable/disable> <usage>]";

constexpr const char* HELP_DUTY_CYCLE =
    "\n"
    "DESCRIPTION\n"
    "        Configures the duty cycle of a time-synchronisation pin.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> duty_cycle <parameters>";

constexpr const char* HELP_DLL_SOURCE =
    "\n"
    "DESCRIPTION\n"
    "        Configures the DLL source of a time-synchronisation pin.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> dll_source <parameters>";

constexpr const char* HELP_GET_PRVSN_STATE =
    "\n"
    "DESCRIPTION\n"
    "        Queries the certificate provisioning state.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> cert_provision_state [<slot>]";

constexpr const char* HELP_GET_PTP_EXT =
    "\n"
    "DESCRIPTION\n"
    "        Queries the extended PTP parameters.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> get_ptp_extended";

constexpr const char* HELP_SET_PTP_EXT =
    "\n"
    "DESCRIPTION\n"
    "        Configures the extended PTP parameters.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> set_ptp_extended <parameters>";

constexpr const char* HELP_NVM_MEASUREMENT =
    "\n"
    "DESCRIPTION\n"
    "        Queries the NVM configuration measurement.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> nvm_measurement";

constexpr const char* HELP_SET_SYNC_ETHERNET =
    "\n"
    "DESCRIPTION\n"
    "        Configures synchronous Ethernet.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> set_sync_ethernet <parameters>";

constexpr const char* HELP_GET_SYNC_ETHERNET =
    "\n"
    "DESCRIPTION\n"
    "        Queries the synchronous Ethernet configuration.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> get_sync_ethernet";

// Indexed by command; CMD_HELP selects the general usage.
const char* const kHelpTexts[ZELT_CMD_COUNT] = {
    HELP_H,
    HELP_VERSION,
    HELP_DEVID,
    HELP_PKGVER,
    HELP_BACKUP,
    HELP_INSTALL,
    HELP_VERIFY,
    HELP_LISTDEV,
    HELP_SETOPTION,
    HELP_GETOPTION,
    HELP_CFGTUNNEL,
    HELP_MODULEINFO,
    HELP_COREDUMP,
    HELP_OPTIONHELP,
    HELP_ETHERDIAGRAM,
    HELP_RESET,
    HELP_PCIDIAGRAM,
    HELP_RESMGMT,
    HELP_SAVEOPTIONS,
    HELP_DEVICETEMP,
    HELP_PCIECOUNTERS,
    HELP_TRUSTEDVF,
    HELP_DEVINFO,
    HELP_PCIEYESCOPE,
    HELP_PRBS_TEST,
    HELP_ADDNTUPLE,
    HELP_FREENTUPLE,
    HELP_RESTORE_FACTORY_DEFAULTS,
    HELP_LOOPBACK,
    HELP_FWSYNC,
    HELP_DEVICE_HEALTH_CHECK,
    HELP_DSCDUMP,
    HELP_LIST,
    HELP_VIEW,
    HELP_SET_TXFIR,
    HELP_GET_TXFIR,
    HELP_MH_PF_ALLOC,
    HELP_MSIX_MAX_VECTORS,
    HELP_LIVEPATCH,
    HELP_TSIO_FUNCTION_PIN,
    HELP_DUTY_CYCLE,
    HELP_DLL_SOURCE,
    HELP_GET_PRVSN_STATE,
    HELP_GET_PTP_EXT,
    HELP_SET_PTP_EXT,
    HELP_NVM_MEASUREMENT,
    HELP_SET_SYNC_ETHERNET,
    HELP_GET_SYNC_ETHERNET,
};

}  // namespace

int zeltnvm_display_help(int command) {
    if (command < 0 || command >= ZELT_CMD_COUNT) return 0;
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s\n", kHelpTexts[command]);
    return 0;
}
