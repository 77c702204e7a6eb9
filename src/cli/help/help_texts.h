// Help texts: the general usage's fixed sections and one text per command word. Only
// the command registry and the general usage include this header; each row points at
// its text.
#pragma once

namespace zelt::cli::help_text {

// The general usage: these sections come first, the command list (made from the
// command rows) follows, then the examples.
inline constexpr const char* kHelpUsage =
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
    "\n";

inline constexpr const char* kHelpUsageExamples =
    "EXAMPLES\n"
    "        To display supported devices     : zeltnvm listdev\n"
    "        To install firmware              : zeltnvm -dev=<ethX> install <package file>\n"
    "        To verify the NVM contents       : zeltnvm -dev=<ethX> verify\n"
    "        To get NVM config option         : zeltnvm -dev=<ethX> getoption=<NVM_option_name>:[function/port index]\n"
    "        To set NVM config option         : zeltnvm -dev=<ethX> setoption=<NVM_option_name>:[function/port index]#<value>\n"
    "        To reset firmware                : zeltnvm -dev=<ethX> reset";

inline constexpr const char* kHelpVersion =
    "\n"
    "DESCRIPTION\n"
    "        Displays zeltnvm version details\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm version";

inline constexpr const char* kHelpDevid =
    "\n"
    "DESCRIPTION\n"
    "        Displays the PCI vendor, device and subsystem IDs of the device,\n"
    "        or the IDs a package file applies to; changes nothing\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> devid\n"
    "        zeltnvm devid <package file(s)>";

inline constexpr const char* kHelpPkgver =
    "\n"
    "DESCRIPTION\n"
    "        Displays the package version installed on the device or held by package files;\n"
    "        changes nothing\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pkgver\n"
    "        zeltnvm pkgver <package file(s)>";

inline constexpr const char* kHelpBackup =
    "\n"
    "DESCRIPTION\n"
    "        Saves the NVM contents of the device into a package file; the device is\n"
    "        only read\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> backup <package file>";

inline constexpr const char* kHelpInstall =
    "\n"
    "DESCRIPTION\n"
    "        Installs a firmware package file on the device, keeping the device's\n"
    "        MAC addresses, VPD and certificates; the new firmware runs after a reset\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> install [-force] [-y] [-noidcheck] <package file>\n"
    "        zeltnvm -dev=<interface name> install -online [-y]\n"
    "        zeltnvm -dev=<pci address> install -recovery <package file>";

inline constexpr const char* kHelpVerify =
    "\n"
    "DESCRIPTION\n"
    "        Verifies the NVM components of the device or of package files; changes\n"
    "        nothing\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> verify\n"
    "        zeltnvm verify <package file(s)>";

inline constexpr const char* kHelpListdev =
    "\n"
    "DESCRIPTION\n"
    "        Lists the supported devices found on this system\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm listdev";

inline constexpr const char* kHelpSetoption =
    "\n"
    "DESCRIPTION\n"
    "        Configures an NVM configuration option of the device; most options take\n"
    "        effect after a reset or reboot\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> setoption=<option name>:[function/port index]#<val>";

inline constexpr const char* kHelpGetoption =
    "\n"
    "DESCRIPTION\n"
    "        Queries an NVM configuration option of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> getoption=<option name>:[function/port index]\n"
    "                -dec: display the value as its label or decimal number";

inline constexpr const char* kHelpCfgtunnel =
    "\n"
    "DESCRIPTION\n"
    "        Queries, sets or frees the custom VXLAN destination UDP port of the adapter, or\n"
    "        queries or sets whether RSS hashes tunnelled packets on their inner or outer headers.\n"
    "        A VXLAN over IPv4 port is also stored in the NVM option ipv4ovxlan_udp_port.\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> cfgtunnel vxlan_ipv4 [dst_port [<port>]]\n"
    "        zeltnvm -dev=<interface name> cfgtunnel vxlan_ipv6 [dst_port [<port>]]\n"
    "        zeltnvm -dev=<interface name> cfgtunnel rss_mode [inner/outer]\n"
    "                <port>: 1 to 65534 sets the port (none may be configured yet); 0 frees it.\n"
    "                Without a port the configured port is shown.";

inline constexpr const char* kHelpModuleinfo =
    "\n"
    "DESCRIPTION\n"
    "        Queries the cable length, AWG and insertion loss of the plugged-in module;\n"
    "        needs the link up\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> moduleinfo";

inline constexpr const char* kHelpCoredump =
    "\n"
    "DESCRIPTION\n"
    "        Retrieves coredump data from the device and from the ddr (if available).\n"
    "        A .core file will be generated in the same directory\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> coredump [<file name>]\n"
    "        zeltnvm -dev=<interface name> coredump ddr";

inline constexpr const char* kHelpOptionhelp =
    "\n"
    "DESCRIPTION\n"
    "        Displays the description and the valid values of an NVM configuration option\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> optionhelp=<NVM_config_option_name>";

inline constexpr const char* kHelpEtherdiagram =
    "\n"
    "DESCRIPTION\n"
    "        Displays the Ethernet SerDes eye diagram of a lane of the function's port\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> ether_serdes_eye_diagram <lane_number>";

inline constexpr const char* kHelpReset =
    "\n"
    "DESCRIPTION\n"
    "        Resets the firmware of the device so that newly installed firmware runs;\n"
    "        traffic on every function of the adapter stops while it restarts\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> reset";

inline constexpr const char* kHelpPcidiagram =
    "\n"
    "DESCRIPTION\n"
    "        Displays the PCIe eye diagram of a lane.\n"
    "        This command is not supported on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pci_eye_diagram <lane_number> [-margin] [-v|-V]\n"
    "                lane_number: the PCIe lane\n"
    "                -margin: show the eye margins and the test result\n"
    "                -v|-V: also plot the eye";

inline constexpr const char* kHelpResmgmt =
    "\n"
    "DESCRIPTION\n"
    "        Shows, sets or saves the resource profile of the physical functions\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> resmgmt profile [symmetric]\n"
    "        zeltnvm -dev=<interface name> resmgmt min|max|roce_max [<percent per PF>...]\n"
    "        zeltnvm -dev=<interface name> resmgmt max_cmpl [<rings per PF>...]\n"
    "        zeltnvm -dev=<interface name> resmgmt strategy [maximal|minimal|minimal-static per PF...]\n"
    "        zeltnvm -dev=<interface name> resmgmt save <file>\n"
    "                percent: 1 to 100 with at most one decimal (12.5); one value per PF\n"
    "                save: writes the resmgmt lines that set the profile again";

inline constexpr const char* kHelpSaveoptions =
    "\n"
    "DESCRIPTION\n"
    "        Saves the NVM configuration options of the device to a script file that\n"
    "        setoption commands can replay\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> saveoptions <file>";

inline constexpr const char* kHelpDevicetemp =
    "\n"
    "DESCRIPTION\n"
    "        Queries the device, PHY and optical module temperatures in Celsius\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> device_temperature";

inline constexpr const char* kHelpPciecounters =
    "\n"
    "DESCRIPTION\n"
    "        Queries the PCIe error, traffic and link state counters of the device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pcie_counters";

inline constexpr const char* kHelpTrustedvf =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries whether a VF of the function is trusted; needs\n"
    "        active VFs and a firmware that can trust them\n"
    "\n"
    "SYNTAX\n"
    "        Configure trusted VF: zeltnvm -dev=<interface name> vf <vf_index> trust <enable/disable>\n"
    "        Query for trusted VF: zeltnvm -dev=<interface name> vf <vf_index> trust";

inline constexpr const char* kHelpDevinfo =
    "\n"
    "DESCRIPTION\n"
    "        Displays the details of every supported device\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm device_info";

inline constexpr const char* kHelpPcieyescope =
    "\n"
    "DESCRIPTION\n"
    "        Runs the PCIe eye scope test on a lane and shows its summary or full eye.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> pci_eye_scope <lane_number>\n"
    "        zeltnvm -dev=<interface name> pci_eye_scope full_eye <lane_number> [<target BER>]\n"
    "        zeltnvm -dev=<interface name> pci_eye_scope stop";

inline constexpr const char* kHelpPrbsTest =
    "\n"
    "DESCRIPTION\n"
    "        Starts or stops the PRBS test on the SerDes lanes of the port. With a duration the\n"
    "        test is stopped again once the duration has passed (or when the run is interrupted).\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> prbs_test enable/disable [prbs_mode <mode> rx_lane_mask <mask> tx_lane_mask <mask> duration <seconds>]\n"
    "                prbs_mode: PRBS31 (default), PRBS7, PRBS9, PRBS11, PRBS15, PRBS23, PRBS58\n"
    "                rx_lane_mask, tx_lane_mask: one bit per lane, 0 (default) for every lane\n"
    "                duration: 1 to 65535 seconds";

inline constexpr const char* kHelpAddntuple =
    "\n"
    "DESCRIPTION\n"
    "        Adds an ntuple flow filter that steers matching traffic to a VF or the\n"
    "        function and prints its filter ID; needs ntuple filter support\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> add_ntuple_filter <MAC> <port> <port mask> <vf index> <ip type>\n"
    "                ip type: 1 - IPV4, 2 - IPV6, 3 - arp-reply";

inline constexpr const char* kHelpFreentuple =
    "\n"
    "DESCRIPTION\n"
    "        Removes an ntuple flow filter by the filter ID add_ntuple_filter printed\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> free_ntuple_filter <filter id>";

inline constexpr const char* kHelpRestoreFactoryDefaults =
    "\n"
    "DESCRIPTION\n"
    "        Restores every NVM configuration option to its factory value.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> restore_factory_defaults [-y]";

inline constexpr const char* kHelpLoopback =
    "\n"
    "DESCRIPTION\n"
    "        Configures or queries the loopback mode of the function's port\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> loopback [phy_remote/phy_local/mac_local/external/disable]";

inline constexpr const char* kHelpFwsync =
    "\n"
    "DESCRIPTION\n"
    "        Synchronises the secondary firmware images of the device with the primary ones.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> fw_sync";

inline constexpr const char* kHelpDeviceHealthCheck =
    "\n"
    "DESCRIPTION\n"
    "        Checks whether the firmware runs normally and the NVM holds redundant,\n"
    "        matching boot images; -v explains each finding\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> device_health_check [-v]";

inline constexpr const char* kHelpDscdump =
    "\n"
    "DESCRIPTION\n"
    "        Retrieves the SerDes diagnostic data of a lane into a file in the current\n"
    "        directory; the PHY serves no other command meanwhile\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> dscdump <lane_number> [<diag level>]\n"
    "                diag level: diag_lane, diag_core, diag_event, diag_eye, diag_reg_core, diag_reg_lane,\n"
    "                diag_uc_core, diag_uc_lane, diag_lane_debug, diag_ber_vert, diag_ber_horz,\n"
    "                diag_event_safe or diag_timestamp (default: every level)";

inline constexpr const char* kHelpList =
    "\n"
    "DESCRIPTION\n"
    "        Lists the NVM directory of the device or the items of package files\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> list [-type=<type>] [-sort[=<pattern>]]\n"
    "        zeltnvm list <package file(s)>";

inline constexpr const char* kHelpView =
    "\n"
    "DESCRIPTION\n"
    "        Displays the NVM items of the device or of package files\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> view [-type=<type>]\n"
    "        zeltnvm view <package file(s)>";

inline constexpr const char* kHelpSetTxfir =
    "\n"
    "DESCRIPTION\n"
    "        Sets the four transmit equalisation (TX FIR) values of the port's SerDes lanes\n"
    "        for NRZ or PAM4 signalling. PAM4 is supported only on HVX9Kxxxx devices.\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> set_txfir <NRZ/PAM4> <lane mask> <v1> <v2> <v3> <v4>\n"
    "                lane mask: 1 to 255, one bit per lane\n"
    "                v1 to v4: 0 to 4294967295";

inline constexpr const char* kHelpGetTxfir =
    "\n"
    "DESCRIPTION\n"
    "        Queries the four transmit equalisation (TX FIR) values of one SerDes lane of the\n"
    "        port for NRZ or PAM4 signalling. PAM4 is supported only on HVX9Kxxxx devices.\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> get_txfir <NRZ/PAM4> <lane number>\n"
    "                lane number: 0 to 255";

inline constexpr const char* kHelpMhPfAlloc =
    "\n"
    "DESCRIPTION\n"
    "        Queries or sets how many physical functions each of the four host endpoints of a\n"
    "        multi-host adapter gets. A new allocation is stored in the NVM configuration and\n"
    "        takes effect after a cold boot.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> mh_pf_alloc [<ep0> <ep1> <ep2> <ep3>]\n"
    "                Endpoints 0 and 2 must both have functions; two or four endpoints may have\n"
    "                functions, at most 16 in all.";

inline constexpr const char* kHelpMsixMaxVectors =
    "\n"
    "DESCRIPTION\n"
    "        Shows the MSI-X vector table of a PF's virtual functions, or applies a new one\n"
    "        (it takes effect after a system reboot).\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> msix_max_vectors <pf> [<start_vf> <msix>]...\n"
    "                With the PF alone its table is shown; with eight pairs of start_vf and msix\n"
    "                (one per row) the table is applied.\n"
    "                start_vf: the firmware function id of the row's first VF (row 0: the PF's first VF)\n"
    "                msix: MSI-X vectors of each VF of the row; rows after the last used one are 0 0";

inline constexpr const char* kHelpLivepatch =
    "\n"
    "DESCRIPTION\n"
    "        Shows the active and the NVM-stored live patch of the adapter's firmware, activates\n"
    "        the stored patch, deactivates the running one, or sends the patch image of a\n"
    "        package (.pkg) or image file (.bin) to the firmware without storing it in the NVM.\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> livepatch [activate/deactivate [<target>]]\n"
    "        zeltnvm -dev=<interface name> livepatch update [<target>] <file>\n"
    "                target: common_fw (default) or secure_fw on HVX9Kxxxx devices,\n"
    "                        chimp_fw (default) on the others";

inline constexpr const char* kHelpTsioFunctionPin =
    "\n"
    "DESCRIPTION\n"
    "        Shows the time-synchronisation (TSIO) pins of the PTP clock, or sets the\n"
    "        state and usage of one pin.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> tsio_function_pin [<pin> <enable/disable> <usage>]\n"
    "                pin: 0 to 3\n"
    "                usage: none, pps_in, pps_out, sync_in, sync_out, synce_primary_clock_out or\n"
    "                synce_secondary_clock_out (the SyncE clocks on pins 2 and 3 only)";

inline constexpr const char* kHelpDutyCycle =
    "\n"
    "DESCRIPTION\n"
    "        Sets the period and up time of the PTP clock's outgoing TSIO signal.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> duty_cycle period <ns> up <ns>\n"
    "                period, up: nanoseconds; the period is at least the up time";

inline constexpr const char* kHelpDllSource =
    "\n"
    "DESCRIPTION\n"
    "        Sets the DLL source and frequency of the PTP hardware clock.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> dll_source source <0-4> frequency <0-3>";

inline constexpr const char* kHelpGetPrvsnState =
    "\n"
    "DESCRIPTION\n"
    "        Queries the certificate provisioning state of a slot.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> cert_provision_state [<slot>]\n"
    "                slot: 0 to 7 (default 0)";

inline constexpr const char* kHelpGetPtpExt =
    "\n"
    "DESCRIPTION\n"
    "        Shows which functions are the PTP clock's master and secondary, the ones\n"
    "        that used it last and its last failover; needs the PTP clock.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> get_ptp_extended";

inline constexpr const char* kHelpSetPtpExt =
    "\n"
    "DESCRIPTION\n"
    "        Sets the PTP clock's master and secondary functions, the secondary's mode\n"
    "        and the failover timer; needs the PTP clock.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> set_ptp_extended <name> <value> [<name> <value>]...\n"
    "                primary_pf <pf> | primary_vf_pf <pf> primary_vf <vf>\n"
    "                secondary_pf <pf> | secondary_vf_pf <pf> secondary_vf <vf>\n"
    "                secondary_mode switch/all/pf_only\n"
    "                failover_timer <ms>: 0 chosen by the firmware, 4294967295 never";

inline constexpr const char* kHelpNvmMeasurement =
    "\n"
    "DESCRIPTION\n"
    "        Queries the HMAC SHA256 measurement of the NVM configuration.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> nvm_measurement";

inline constexpr const char* kHelpSetSyncEthernet =
    "\n"
    "DESCRIPTION\n"
    "        Sets the synchronous Ethernet frequency profile and enables or disables\n"
    "        its primary and secondary clocks; needs SyncE support.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> set_sync_ethernet [frequency_profile 25MHz] [primary_clock_state Enable/Disable] [secondary_clock_state Enable/Disable]\n"
    "                a clock state needs a frequency profile, given or already configured";

inline constexpr const char* kHelpGetSyncEthernet =
    "\n"
    "DESCRIPTION\n"
    "        Queries the synchronous Ethernet frequency profile and clock states; needs\n"
    "        SyncE support.\n"
    "        This command is supported only on HVX9Kxxxx devices\n"
    "\n"
    "SYNTAX\n"
    "        zeltnvm -dev=<interface name> get_sync_ethernet";

}  // namespace zelt::cli::help_text
