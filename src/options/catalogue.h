// The NVM configuration option catalogue: one row per option the utility knows, with
// its firmware option number, scope, width, accepted values, help text and flags.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

// A named value an option accepts; the label may be typed instead of the number.
// Lists end with an entry whose value is -1.
struct allowedVal {
    int32_t value;
    char desc[78];
};

struct nvm_mapping_table_row {
    uint16_t dir_type;        // scope: directory type of the option block (40, 41, 42, 65, 76)
    uint16_t num_bits;        // total width in bits
    uint16_t option;          // option number sent to the firmware; 0 ends the table
    uint8_t elem_num_bits;    // width of one array element; 0 for a plain option
    uint8_t visibility;       // ZELTNVM_VIS_* flags
    const allowedVal* allowedValList;  // named values, a marker list, or nullptr
    char description[800];    // help text, lines separated by '\n'
    char name[64];            // name typed by the user
    uint32_t min;             // numeric range of options without a list
    uint32_t max;
};
typedef nvm_mapping_table_row nvm_mapping_table_row_t;

// Visibility flags.
constexpr uint8_t ZELTNVM_VIS_LISTED = 0x01;      // shown in the option list
constexpr uint8_t ZELTNVM_VIS_INTERNAL = 0x02;    // found by number only; refused by get/set
constexpr uint8_t ZELTNVM_VIS_NOT_SAVED = 0x04;   // not written by saveoptions
constexpr uint8_t ZELTNVM_VIS_RESERVED = 0x08;    // carried, not tested
constexpr uint8_t ZELTNVM_VIS_READ_ONLY = 0x10;   // a set is refused
constexpr uint8_t ZELTNVM_VIS_PRIVILEGED = 0x20;  // refused in secure mode off the admin function

// Option rows in `arr`; an all-zero end row follows them.
constexpr size_t ZELTNVM_OPTION_ROWS = 194;
extern const nvm_mapping_table_row_t arr[ZELTNVM_OPTION_ROWS + 1];

// Option numbers the option code treats specially.
enum zeltnvm_option_num : uint16_t {
    ZELTNVM_OPT_MAC_ADDRESS = 1,
    ZELTNVM_OPT_PORT_HIDE = 13,
    ZELTNVM_OPT_PORT_HIDE_CAPABLE = 19,
    ZELTNVM_OPT_ENABLE_POWER_REDUCTION = 21,
    ZELTNVM_OPT_PF_PCI_BAR2_SIZE = 104,
    ZELTNVM_OPT_MAX_NUM_PF_MSIX_VECT = 108,
    ZELTNVM_OPT_EP4_TX_MIN_RATE = 122,
    ZELTNVM_OPT_EP2_TX_MIN_RATE = 123,
    ZELTNVM_OPT_EP4_TX_MAX_RATE = 125,
    ZELTNVM_OPT_EP2_TX_MAX_RATE = 126,
    ZELTNVM_OPT_QG4_RX_MAX_RATE = 128,
    ZELTNVM_OPT_QG2_RX_MAX_RATE = 129,
    ZELTNVM_OPT_QG1_RX_MAX_RATE = 130,
    ZELTNVM_OPT_MF_MODE = 157,
    ZELTNVM_OPT_MF_CAPABLE = 160,  // multi-function capability; not a catalogue row
    ZELTNVM_OPT_RDMA_CAPABLE = 161,
    ZELTNVM_OPT_DRV_SPEED_CAPABILITY_MASK = 201,
    ZELTNVM_OPT_FIRM_SPEED_CAPABILITY_MASK = 202,
    ZELTNVM_OPT_DRV_LINK_SPEED = 203,
    ZELTNVM_OPT_FIRMWARE_LINK_SPEED_D0 = 205,
    ZELTNVM_OPT_FIRMWARE_SPEED_CAP_MASK_D3 = 209,
    ZELTNVM_OPT_FIRMWARE_LINK_SPEED_D3 = 210,
    ZELTNVM_OPT_LINK_TRAINING = 214,
    ZELTNVM_OPT_AUTODETECT_SPEED_EXCLUDE_MASK = 216,
    ZELTNVM_OPT_NCSI_OVER_SMBUS = 253,
    ZELTNVM_OPT_NCSI_OVER_PCIE_VDM = 254,
    ZELTNVM_OPT_SPDM_MCTP_SMBUS = 272,
    ZELTNVM_OPT_SPDM_MCTP_PCIEVDM = 273,
    ZELTNVM_OPT_NETWORK_PORT_MODE = 301,  // not a catalogue row
    ZELTNVM_OPT_VF_PCI_BAR2_SIZE = 403,
    ZELTNVM_OPT_NUM_VF_PER_PF = 404,
    ZELTNVM_OPT_ENABLE_SRIOV = 401,
    ZELTNVM_OPT_NUM_PARTITIONS_PER_PORT = 503,
    ZELTNVM_OPT_SUPPORT_RDMA = 506,
    ZELTNVM_OPT_PTP_TSIO_PIN_CFG = 516,
    ZELTNVM_OPT_PTP_SYNC_IN_FREQ = 517,
    ZELTNVM_OPT_MH_PORT_BREAKOUT_MODE = 518,
    ZELTNVM_OPT_IPV4OVXLAN_UDP_PORT = 851,
    ZELTNVM_OPT_ENABLE_CRASH_DUMP_TO_HOST_DDR = 929,
    ZELTNVM_OPT_ENABLE_TRUFLOW = 933,
    ZELTNVM_OPT_COS_PRECEDENCE_ORDER = 938,
    ZELTNVM_OPT_PF_FOR_HOST_MEM_CHDMP = 944,
    ZELTNVM_OPT_PERFORMANCE_PROFILE = 1024,
    ZELTNVM_OPT_AFM_RM_RESC_STRATEGY = 1101,
    ZELTNVM_OPT_AFM_FIRST = 1102,
    ZELTNVM_OPT_AFM_LAST = 1135,
    ZELTNVM_OPT_HCAPI_RM_PROF_ID = 1199,
    ZELTNVM_OPT_HCAPI_RM_PROF_VERSION = 1200,
};

// Named values of the options (and the port-mode list that gives the port count).
namespace option_values {
extern const allowedVal en_dis[];
extern const allowedVal tru_fal[];
extern const allowedVal mba_boot_type[];
extern const allowedVal mba_link_speed[];
extern const allowedVal mba_boot_protocol[];
extern const allowedVal dcbx_mode[];
extern const allowedVal mf_mode[];
extern const allowedVal link_speed_d0_d3[];
extern const allowedVal an_protocol[];
extern const allowedVal flow_control[];
extern const allowedVal firmware_speed_cap_mask[];
extern const allowedVal bflink_speed[];
extern const allowedVal secondary_ext_phy_link_speed[];
extern const allowedVal fwd_err_correct[];
extern const allowedVal network_port_mode[];
extern const allowedVal tx_ring_mode[];
extern const allowedVal pci_bars_size[];
extern const allowedVal vf_pci_bars_size[];
extern const allowedVal tunnel_type[];
extern const allowedVal port_hide[];
extern const allowedVal port_mask[];
extern const allowedVal evb_mode[];
extern const allowedVal pcie_relaxed_ordering_cfg[];
extern const allowedVal afm_resc_strategy[];
extern const allowedVal logical_link_mode[];
extern const allowedVal ptp_sync_in_freq_sel[];
extern const allowedVal perf_profiles[];
extern const allowedVal rx_buffer_pool_modes[];
// Markers: the value is typed in a format of its own / the option cannot be set.
extern const allowedVal string_format[];
extern const allowedVal read_only[];
}  // namespace option_values

// First row with this option number (any visibility), or nullptr.
const nvm_mapping_table_row_t* zeltnvm_find_row_by_number(uint16_t option);
// First row whose name equals `name` ignoring case, or nullptr.
const nvm_mapping_table_row_t* zeltnvm_find_row_by_name(const char* name);
// True when the row's list holds named values (not absent, not a marker list).
bool zeltnvm_row_has_value_list(const nvm_mapping_table_row_t& row);
// The entry of `list` with this value, or nullptr.
const allowedVal* zeltnvm_find_allowed_value(const allowedVal* list, int64_t value);
// The entry of `list` whose label equals `label` ignoring case, or nullptr.
const allowedVal* zeltnvm_find_allowed_label(const allowedVal* list, const char* label);

// Function word of a PTP timing pin value (0 "none" to 6); "none" for other values.
const char* zeltnvm_ptp_pin_function_name(uint32_t value);
// Number of PTP timing pin functions.
constexpr uint32_t ZELTNVM_PTP_PIN_FUNCTIONS = 7;

}  // namespace zelt
