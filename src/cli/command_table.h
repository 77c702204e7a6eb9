// The commands of the utility, numbered; each value has one row in the command
// registry (cli/command_registry.h), which holds its word.
#pragma once

namespace zelt::cli {

enum cmd : int {
    CMD_NONE = -1,
    CMD_HELP = 0,
    CMD_VERSION = 1,
    CMD_DEVID = 2,
    CMD_PKGVER = 3,
    CMD_BACKUP = 4,
    CMD_INSTALL = 5,
    CMD_VERIFY = 6,
    CMD_LISTDEV = 7,
    CMD_SETOPTION = 8,
    CMD_GETOPTION = 9,
    CMD_CFGTUNNEL = 10,
    CMD_MODULEINFO = 11,
    CMD_COREDUMP = 12,
    CMD_OPTIONHELP = 13,
    CMD_ETHERDIAGRAM = 14,
    CMD_RESET = 15,
    CMD_PCIDIAGRAM = 16,
    CMD_RESMGMT = 17,
    CMD_SAVEOPTIONS = 18,
    CMD_DEVICETEMP = 19,
    CMD_PCIECOUNTERS = 20,
    CMD_TRUSTEDVF = 21,
    CMD_DEVINFO = 22,
    CMD_PCIEYESCOPE = 23,
    CMD_PRBS_TEST = 24,
    CMD_ADDNTUPLE = 25,
    CMD_FREENTUPLE = 26,
    CMD_RESTORE_FACTORY_DEFAULTS = 27,
    CMD_LOOPBACK = 28,
    CMD_FWSYNC = 29,
    CMD_DEVICE_HEALTH_CHECK = 30,
    CMD_DSCDUMP = 31,
    CMD_LIST = 32,
    CMD_VIEW = 33,
    CMD_SET_TXFIR = 34,
    CMD_GET_TXFIR = 35,
    CMD_MH_PF_ALLOC = 36,
    CMD_MSIX_MAX_VECTORS = 37,
    CMD_LIVEPATCH = 38,
    CMD_TSIO_FUNCTION_PIN = 39,
    CMD_DUTY_CYCLE = 40,
    CMD_DLL_SOURCE = 41,
    CMD_GET_PRVSN_STATE = 42,
    CMD_GET_PTP_EXT = 43,
    CMD_SET_PTP_EXT = 44,
    CMD_NVM_MEASUREMENT = 45,
    CMD_SET_SYNC_ETHERNET = 46,
    CMD_GET_SYNC_ETHERNET = 47,
    // One past the last command; a new command is added just before it.
    CMD_END,
};

constexpr int ZELT_CMD_COUNT = CMD_END;

}  // namespace zelt::cli
