// The single-feature device commands (transmit equalisation to synchronous Ethernet) are
// not part of this build yet.
#include "cli/command_unavailable.h"
#include "cli/front_end_hooks.h"

int zeltnvm_set_txfir_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("set_txfir"); }
int zeltnvm_get_txfir_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("get_txfir"); }
int zeltnvm_mh_pf_alloc_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("mh_pf_alloc"); }
int zeltnvm_msix_max_vectors_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("msix_max_vectors"); }
int zeltnvm_livepatch_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("livepatch"); }
int zeltnvm_tsio_function_pin_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("tsio_function_pin"); }
int zeltnvm_duty_cycle_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("duty_cycle"); }
int zeltnvm_dll_source_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("dll_source"); }
int zeltnvm_cert_provision_state_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("cert_provision_state"); }
int zeltnvm_get_ptp_extended_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("get_ptp_extended"); }
int zeltnvm_set_ptp_extended_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("set_ptp_extended"); }
int zeltnvm_nvm_measurement_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("nvm_measurement"); }
int zeltnvm_set_sync_ethernet_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("set_sync_ethernet"); }
int zeltnvm_get_sync_ethernet_command(const char*, options*, int, char (*)[ZELT_ARG_LEN]) { return zeltnvm_command_unavailable("get_sync_ethernet"); }
