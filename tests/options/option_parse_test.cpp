// Option argument parsing and the catalogue checks of a request.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "options/catalogue.h"
#include "options/option_parse.h"
#include "tests/options/option_test_util.h"

using namespace zelt;

using zelt::test::CapturedMessages;
using zelt::test::make_option;

namespace {

constexpr uint16_t SET = ZELTNVM_OPTION_SET;
constexpr uint16_t GET = ZELTNVM_OPTION_GET;
constexpr uint16_t HELP = ZELTNVM_OPTION_HELP;

TEST(OptionCatalogue, NumbersAreUniqueAndOnlyTheLowPriorityTcamNamesRepeat) {
    std::set<uint16_t> numbers;
    std::set<std::string> names;
    std::vector<uint16_t> repeated;
    size_t rows = 0;
    for (const auto* row = arr; row->option != 0; ++row, ++rows) {
        EXPECT_TRUE(numbers.insert(row->option).second) << row->option;
        if (!names.insert(row->name).second) repeated.push_back(row->option);
    }
    EXPECT_EQ(rows, ZELTNVM_OPTION_ROWS);
    EXPECT_EQ(repeated, (std::vector<uint16_t>{1106, 1107}));
    // The repeated names find the high-priority rows; the others are reached by number.
    EXPECT_EQ(zeltnvm_find_row_by_name("afm_rm_tx_l2_ctx_tcam_high")->option, 1104);
    EXPECT_EQ(zeltnvm_find_row_by_name("AFM_RM_RX_L2_CTX_TCAM_HIGH")->option, 1105);
}

TEST(OptionCatalogue, EveryMinMaxPairOptionIsAnInternalResourceManagerArray) {
    int pairs = 0;
    for (const auto* row = arr; row->option != 0; ++row) {
        if (!zeltnvm_is_afm_option_num(row->option)) continue;
        ++pairs;
        EXPECT_EQ(row->dir_type, ZEL_DIR_TYPE_HCAPI_RM_CFG) << row->name;
        EXPECT_TRUE(row->visibility & ZELTNVM_VIS_INTERNAL) << row->name;
    }
    EXPECT_EQ(pairs, 36);
}

// ---- zeltnvm_fill_option_Info -------------------------------------------------

struct FillCase {
    uint16_t command;
    const char* text;
    int rc;
    uint16_t option = 0;     // checked when rc is 0
    uint16_t dimensions = 0;
    uint16_t index_0 = 0;
    uint32_t opt_value = 0;  // checked for sets with rc 0
};

class OptionFill : public testing::TestWithParam<FillCase> {};

TEST_P(OptionFill, ParsesOrRefuses) {
    const FillCase& c = GetParam();
    auto opt = make_option(c.command);
    EXPECT_EQ(zeltnvm_fill_option_Info(&opt, c.text), c.rc);
    if (c.rc != 0) return;
    EXPECT_EQ(opt.option, c.option);
    EXPECT_EQ(opt.dimensions, c.dimensions);
    EXPECT_EQ(opt.index_0, c.index_0);
    if (c.command == SET) {
        EXPECT_EQ(opt.opt_value, c.opt_value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, OptionFill,
    testing::Values(FillCase{GET, "mba:", -30}, FillCase{GET, "mba#1", -30}, FillCase{GET, "mba:0#1", -30},
                    FillCase{HELP, "mba:0", -30}, FillCase{HELP, "mba#", -30}, FillCase{SET, "mba:0", -30},
                    FillCase{SET, "mba:0#", -30}, FillCase{GET, "mba:x", -8}, FillCase{GET, "mba:0:-1", -8},
                    // an index that does not fit the record is refused, not wrapped to 0
                    FillCase{GET, "mba:65536", -8}, FillCase{GET, "mba:0:1:junk", 0, 351, 2, 0}));

INSTANTIATE_TEST_SUITE_P(
    Lookup, OptionFill,
    testing::Values(FillCase{HELP, "MBA", 0, 351}, FillCase{GET, "mba:3", 0, 351, 1, 3},
                    FillCase{GET, "Num_VF_Per_PF:130", 0, 404, 1, 130},
                    // numbers find internal options only; mac_address (1) is not one
                    FillCase{GET, "1", -8}, FillCase{GET, "804", 0, 804}, FillCase{GET, "1106", 0, 1106},
                    FillCase{GET, "351", -8}, FillCase{GET, "no_such_option", -8}, FillCase{GET, "", -8}));

INSTANTIATE_TEST_SUITE_P(
    Values, OptionFill,
    testing::Values(FillCase{SET, "mba_link_speed:0#10g", 0, 359, 1, 0, 2}, FillCase{SET, "mba_link_speed:0#0x2", 0, 359, 1, 0, 2},
                    FillCase{SET, "mba_link_speed:0#2", 0, 359, 1, 0, 2},
                    FillCase{SET, "mba_link_speed:0#02", 0, 359, 1, 0, 2},
                    FillCase{SET, "mba_link_speed:0#0x", 0, 359, 1, 0, 0},
                    FillCase{SET, "mba_vlan_value:0#0x0FfE", 0, 357, 1, 0, 4094},
                    FillCase{SET, "drv_speed_capability_mask:1#5G", 0, 201, 1, 1, 16384},
                    FillCase{SET, "autodetect_speed_exclude_mask:0#200g_pam4|50G_PAM4|100G_PAM4", 0, 216, 1, 0, 448},
                    FillCase{SET, "port_hide#P2 - Valid for 2 port adapter", 0, 13, 0, 0, 1},
                    // numbers that would be misread are refused: 8 is no octal digit,
                    // the upper-case 0X is not a prefix, and 2^32 does not fit
                    FillCase{SET, "mba_link_speed:0#08", -8}, FillCase{SET, "mba_link_speed:0#0X2", -8},
                    FillCase{SET, "oobm_watchdog#4294967296", -8}, FillCase{SET, "oobm_watchdog#4294967295", 0, 756, 0, 0, 4294967295u},
                    FillCase{SET, "mba_link_speed:0#-1", -8}, FillCase{SET, "mba_vlan_value:0#nolabel", -8}));

// Each value list of the catalogue, reached through an option that uses it, with labels
// pinned to the numbers the catalogue documents (a later label and the last one of each
// list), so a label mapped to the wrong number is seen even where a set and a get go
// through the same table. Labels match case-insensitively.
TEST(OptionFill, LabelsCarryTheirDocumentedNumbers) {
    struct Case {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"bw_reservation_valid:0#enabled", 1},
        {"disable_ntuple:0#True", 1},
        {"disable_gre_ver_check#False", 0},
        {"mba_boot_type:0#BSS", 1},
        {"mba_boot_type:0#Interrupt_0x19", 3},
        {"mba_link_speed:0#25G", 3},
        {"mba_link_speed:0#50G", 5},
        {"mba_boot_protocol:0#None", 7},
        {"dcbx_mode:0#CEE_Mode", 2},
        {"dcbx_mode:0#Both", 3},
        {"mf_mode:0#NPAR_1.0", 2},
        {"firmware_link_speed_d0:0#200G_PAM4", 7},
        {"firmware_link_speed_d0:0#2.5G", 14},
        {"firmware_link_speed_d3:0#100M", 15},
        {"firmware_link_speed_d3:0#100G_PAM4", 9},
        {"an_protocol:0#BAM_only", 3},
        {"an_protocol:0#Consortium_only", 4},
        {"drv_flow_control:0#RX_TX", 3},
        {"drv_flow_control:0#None", 4},
        {"drv_speed_capability_mask:0#100G", 32},
        {"firmware_speed_cap_mask_d3:0#100M", 32768},
        {"autodetect_speed_exclude_mask:0#100G_PAM4", 256},
        {"autodetect_speed_exclude_mask:0#2.5G", 16384},
        {"drv_link_speed:0#Autoneg", 0},
        {"drv_link_speed:0#5G", 14},
        {"secondary_ext_phy_link_speed_d0:0#100M", 15},
        {"fwd_err_correct:0#CL74_And_CL91", 3},
        {"fwd_err_correct:0#RS272 2xN", 32},
        {"tx_sched_alloc_mode#Flexible_Mode", 1},
        {"pf_pci_bar2_size:0#1M", 5},
        {"pf_pci_bar2_size:0#1G", 15},
        {"vf_pci_bar2_size:0#4K", 1},
        {"vf_pci_bar2_size:0#64M", 15},
        {"pairing_tunnel_type#L2_ETYPE", 11},
        {"port_hide#P3|P4", 6},
        {"port_hide#P2|P3|P4", 7},
        {"oobm_port_selection#Port 2|Port 4", 10},
        {"oobm_port_selection#Port 1|Port 2|Port 3|Port 4", 15},
        {"default_evb_mode:0#VEPA", 1},
        {"default_evb_mode:0#None", 3},
        {"pcie_relaxed_ordering#Auto", 2},
        {"afm_rm_resc_strategy#Dynamic", 2},
        {"logical_link_mode:0#Disabled", 2},
        {"ptp_sync_in_freq#8_KHz", 2},
        {"performance_profile#RoCE", 1},
        {"rx_buffer_pool_mode#ECN", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto opt = make_option(SET);
        ASSERT_EQ(zeltnvm_fill_option_Info(&opt, c.text), 0);
        EXPECT_EQ(opt.opt_value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CosPrecedence, OptionFill,
    testing::Values(FillCase{SET, "cos_precedence_order#0:0:0:0", 0, 938, 0, 0, 0},
                    FillCase{SET, "cos_precedence_order#3:2:1:0", 0, 938, 0, 0, 0xE4},
                    FillCase{SET, "cos_precedence_order#00:1:02:3", 0, 938, 0, 0, 0x1B},
                    FillCase{SET, "cos_precedence_order#0:1:1:2", -8}, FillCase{SET, "cos_precedence_order#0:1:2:4", -8},
                    FillCase{SET, "cos_precedence_order#0:1:2", -8}, FillCase{SET, "cos_precedence_order#0:1:2:3:0", -8},
                    FillCase{SET, "cos_precedence_order#000:1:2:3", -8}, FillCase{SET, "cos_precedence_order#0::2:3", -8}));

INSTANTIATE_TEST_SUITE_P(
    MinMaxPairs, OptionFill,
    testing::Values(FillCase{SET, "1102#10:20", 0, 1102, 0, 0, 10u << 16 | 20}, FillCase{SET, "1200#65535:0", 0, 1200, 0, 0, 0xFFFF0000},
                    FillCase{SET, "1102#65536:1", -8}, FillCase{SET, "1102#1:2:3", -8}, FillCase{SET, "1102#100000:1", -8},
                    FillCase{SET, "1102#12", -8}));

INSTANTIATE_TEST_SUITE_P(
    ElementLists, OptionFill,
    testing::Values(FillCase{SET, "ptp_tsio_pin_cfg#5:6:0:0", 0, 516}, FillCase{SET, "ptp_tsio_pin_cfg#0:0:0:0", 0, 516},
                    FillCase{SET, "ptp_tsio_pin_cfg#1:2:3:4", 0, 516}, FillCase{SET, "ptp_tsio_pin_cfg#0:0:5:0", -8},
                    FillCase{SET, "ptp_tsio_pin_cfg#1:2:3:6", -8}, FillCase{SET, "ptp_tsio_pin_cfg#1:1:0:0", -8},
                    FillCase{SET, "ptp_tsio_pin_cfg#7:0:0:0", -8}, FillCase{SET, "ptp_tsio_pin_cfg#1:2:3", -8},
                    FillCase{SET, "ep4_tx_min_rate:0#100:0:50:1", 0, 122, 1, 0},
                    FillCase{SET, "qg4_rx_max_rate#101:0:0:0", -8}, FillCase{SET, "ep2_tx_max_rate:1#50:50", 0, 126, 1, 1},
                    FillCase{SET, "ep2_tx_max_rate:1#50:50:1", -8}, FillCase{SET, "qg2_rx_max_rate#65536:1", -8},
                    FillCase{SET, "qg2_rx_max_rate#a:1", -8}));

INSTANTIATE_TEST_SUITE_P(
    MacAddress, OptionFill,
    testing::Values(FillCase{SET, "mac_address:0#00:11:22:33:44:55", 0, 1, 1, 0},
                    FillCase{SET, "mac_address:0#0a-1B-002-3-44-ff", 0, 1, 1, 0},
                    FillCase{SET, "mac_address:0#01:02:03:04:05:06", -8}, FillCase{SET, "mac_address:0#00-00-00-00-00-00", -8},
                    FillCase{SET, "mac_address:0#ff:ff:ff:ff:ff:ff", -8}, FillCase{SET, "mac_address:0#00:11:22:33:44", -8},
                    FillCase{SET, "mac_address:0#00:11:22:33:44:55:66", -8}, FillCase{SET, "mac_address:0#00:11:22:33:44:", -8},
                    FillCase{SET, "mac_address:0#00:11:22:33:44:100", -8}, FillCase{SET, "mac_address:0#00:11:22:33:44:0055", -8},
                    FillCase{SET, "mac_address:0#00:11:22:33:44:5g", -8}, FillCase{SET, "mac_address:0#00:11:22:33:44.55", -8},
                    FillCase{SET, "mac_address:0#:00:11:22:33:44:55", -8}));

TEST(OptionFill, NameComesFromTheCatalogueAndUnknownNamesGoToTheErrorStream) {
    CapturedMessages msgs;
    auto opt = make_option(HELP);
    ASSERT_EQ(zeltnvm_fill_option_Info(&opt, "MBA", msgs.sink()), 0);
    EXPECT_STREQ(opt.name, "mba");
    EXPECT_EQ(opt.access, 9);

    auto bad = make_option(GET);
    bad.option = 77;
    EXPECT_EQ(zeltnvm_fill_option_Info(&bad, "mbax:1", msgs.sink()), -8);
    EXPECT_EQ(bad.option, 0);
    EXPECT_EQ(msgs.err,
              "Unknown NVM option name mbax\nTo get the valid NVM option names list, Run \"zeltnvm "
              "-dev=<interface_name> optionhelp=?\"\n");
    EXPECT_EQ(msgs.out, "");
}

TEST(OptionFill, MessagesOfRefusedValues) {
    struct Case {
        const char* text;
        const char* out;
    } cases[] = {
        {"cos_precedence_order#1:2",
         "Invalid value. Valid format to configure cos_precedence_order is x:x:x:x\n"
         "Example: zeltnvm -dev=p3p1 setoption=cos_precedence_order#0:2:3:1\n\n"},
        {"cos_precedence_order#0:1:2:4", "Invalid value. Valid values are from 0 to 3\n"},
        {"cos_precedence_order#1:1:2:3", "Invalid value. A valid setting is four unique digit between 0-3.\n"},
        {"ptp_tsio_pin_cfg#1:2", "Invalid value. Valid format to configure ptp_tsio_pin_cfg is x:x:x:x\n"
                                 "Example: zeltnvm -dev=p3p1 setoption=ptp_tsio_pin_cfg#1:2:3:0\n\n"},
        {"ptp_tsio_pin_cfg#9:0:0:0", "Invalid value. Valid range of each element is from 0 to 6.\n"},
        {"ep4_tx_max_rate:0#9:0:0:200", "Invalid value. Valid range of each element is from 0 to 100.\n"},
        {"ptp_tsio_pin_cfg#2:0:2:0", "Invalid configuration. The ptp pin values should be unique for each index.\n"},
        {"ptp_tsio_pin_cfg#0:0:0:6", "Invalid configuration. The ptp pin value 6 not supported on pin index 0.\n"},
        {"ep2_tx_min_rate:0#1", "Invalid value. Valid format to configure ep2_tx_min_rate is x:x\n"
                                "Example: zeltnvm -dev=p3p1 setoption=ep2_tx_min_rate#50:50\n\n"},
        {"1103#1", "Invalid value. Valid format to configure afm_rm_rx_l2_ctx_tcam_partitions is x:x\n"
                   "Example: zeltnvm -dev=p3p1 setoption=afm_rm_rx_l2_ctx_tcam_partitions#50:50\n\n"},
        {"1103#1:99999", "Invalid value. Valid range is from 0 to 65535\n"},
        {"mac_address:0#00:11", "\nERROR: Invalid MAC Address provided. Please provide valid MAC Address\n"},
        {"mac_address:0#ff:11:22:33:44:55",
         "\nERROR: Invalid MAC address provided. Cannot configure non-unicast MAC address\n"},
        {"mac_address:0#0:0:0:0:0:0",
         "\nERROR: Invalid MAC Address provided. PF MAC addresss cannot be all zero or all FF\n"},
    };
    for (const auto& c : cases) {
        CapturedMessages msgs;
        auto opt = make_option(SET);
        EXPECT_EQ(zeltnvm_fill_option_Info(&opt, c.text, msgs.sink()), -8) << c.text;
        EXPECT_EQ(msgs.out, c.out) << c.text;
        EXPECT_EQ(msgs.err, "") << c.text;
    }
}

TEST(OptionFill, ElementTextsAreKeptAndReadBackInTypedOrder) {
    auto opt = make_option(SET);
    ASSERT_EQ(zeltnvm_fill_option_Info(&opt, "ptp_tsio_pin_cfg#1:2:3:4"), 0);
    uint32_t e[4] = {};
    ASSERT_EQ(zeltnvm_option_elements(&opt, e), 4);
    EXPECT_EQ(e[0], 1u);
    EXPECT_EQ(e[3], 4u);

    auto two = make_option(SET);
    ASSERT_EQ(zeltnvm_fill_option_Info(&two, "qg2_rx_max_rate#7:65535"), 0);
    ASSERT_EQ(zeltnvm_option_elements(&two, e), 2);
    EXPECT_EQ(e[0], 7u);
    EXPECT_EQ(e[1], 65535u);
}

TEST(OptionFill, OverlongTextIsCutAtTheLimit) {
    // The name is followed by more than the considered characters; what lies beyond the
    // limit (here the value separator) is never seen.
    std::string text = "mba_vlan_value:0#" + std::string(ZELTNVM_OPTION_TEXT_MAX, '1');
    auto opt = make_option(SET);
    EXPECT_EQ(zeltnvm_fill_option_Info(&opt, text.c_str()), -8);  // does not fit 32 bits
    std::string no_hash = std::string("mba:0") + std::string(ZELTNVM_OPTION_TEXT_MAX, ':') + "#1";
    auto opt2 = make_option(SET);
    EXPECT_EQ(zeltnvm_fill_option_Info(&opt2, no_hash.c_str()), -30);
}

// ---- zeltnvm_verify_option_Info -----------------------------------------------

struct VerifyCase {
    uint16_t command;
    const char* text;
    int rc;
    uint16_t length = 0;  // checked when rc is 0
    uint16_t num_bytes = 0;
};

class OptionVerify : public testing::TestWithParam<VerifyCase> {};

TEST_P(OptionVerify, ChecksIndexesWidthAndValue) {
    const VerifyCase& c = GetParam();
    auto opt = make_option(c.command);
    ASSERT_EQ(zeltnvm_fill_option_Info(&opt, c.text), 0) << c.text;
    EXPECT_EQ(zeltnvm_verify_option_Info(&opt), c.rc) << c.text;
    if (c.rc == 0) {
        EXPECT_EQ(opt.length, c.length) << c.text;
        EXPECT_EQ(opt.num_bytes, c.num_bytes) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, OptionVerify,
    testing::Values(VerifyCase{GET, "an_protocol:15", 0, 8, 1}, VerifyCase{GET, "an_protocol:16", -131},
                    VerifyCase{GET, "an_protocol", -8}, VerifyCase{GET, "mba:127", -131},
                    VerifyCase{GET, "mba:128", 0, 1, 1}, VerifyCase{GET, "mba:200", 0, 1, 1},
                    VerifyCase{GET, "mba:256", 0, 1, 1}, VerifyCase{GET, "mba:257", -131},
                    VerifyCase{GET, "mba:0:0", -8},  // not an array
                    VerifyCase{GET, "enable_sriov", 0, 1, 1}, VerifyCase{GET, "mac_address:0", 0, 64, 8},
                    VerifyCase{GET, "ptp_tsio_pin_cfg", 0, 8, 1}, VerifyCase{GET, "ptp_tsio_pin_cfg:1", 0, 4, 1},
                    VerifyCase{GET, "ptp_tsio_pin_cfg:2:0", -8}, VerifyCase{GET, "ep2_tx_min_rate:0:7", 0, 2, 1},
                    VerifyCase{GET, "ep2_tx_min_rate:0:8", -8}, VerifyCase{GET, "163:4", 0, 5, 1},
                    VerifyCase{GET, "163:5", -8}, VerifyCase{HELP, "oobm_watchdog", 0, 32, 4}));

INSTANTIATE_TEST_SUITE_P(
    Values, OptionVerify,
    testing::Values(VerifyCase{SET, "drv_speed_capability_mask:0#3", 0, 16, 2},
                    VerifyCase{SET, "drv_speed_capability_mask:0#0xC002", 0, 16, 2},
                    VerifyCase{SET, "drv_speed_capability_mask:0#0x10000", -8},
                    VerifyCase{SET, "drv_speed_capability_mask:0#0", -8},
                    VerifyCase{SET, "drv_speed_capability_mask:0#64", -8},
                    VerifyCase{SET, "autodetect_speed_exclude_mask:0#0", 0, 16, 2},
                    VerifyCase{SET, "mf_mode:0#2", 0, 5, 1}, VerifyCase{SET, "mf_mode:0#0", -8},
                    VerifyCase{SET, "mba_vlan_value:1#4094", 0, 16, 2}, VerifyCase{SET, "mba_vlan_value:1#4095", -8},
                    VerifyCase{SET, "oobm_session_timeout#19", -8}, VerifyCase{SET, "oobm_session_timeout#20", 0, 32, 4},
                    VerifyCase{SET, "oobm_session_timeout#86400", 0, 32, 4},
                    VerifyCase{SET, "oobm_session_timeout#86401", -8},
                    // in range but wider than the 16-bit option
                    VerifyCase{SET, "partition_bw_reservation:0#65536", -8},
                    VerifyCase{SET, "partition_bw_reservation:0#65535", 0, 16, 2},
                    VerifyCase{SET, "port_hide_capable#1", -58}, VerifyCase{SET, "vendor_id:0#0x1234", -58},
                    VerifyCase{SET, "cos_precedence_order#3:2:1:0", 0, 8, 1},
                    VerifyCase{SET, "804:0#0x10000000", -8}, VerifyCase{SET, "804:0#0xFFFFFFF", 0, 28, 4},
                    VerifyCase{SET, "ptp_tsio_pin_cfg#1:2:3:4", 0, 8, 1}));

TEST(OptionVerify, ReadOnlyRefusalIsReported) {
    CapturedMessages msgs;
    auto opt = make_option(SET);
    ASSERT_EQ(zeltnvm_fill_option_Info(&opt, "rdma_capable#1"), 0);
    EXPECT_EQ(zeltnvm_verify_option_Info(&opt, msgs.sink()), -58);
    EXPECT_EQ(msgs.out, "Invalid operation: This is Read-Only NVM option\n");
}

TEST(OptionVerify, UnknownNumberIsUnsupported) {
    CapturedMessages msgs;
    auto opt = make_option(GET);
    opt.option = 9999;
    EXPECT_EQ(zeltnvm_verify_option_Info(&opt, msgs.sink()), -130);
    EXPECT_EQ(msgs.out, "unsupported nvm option value:9999\n");
}

std::vector<uint8_t> value_bytes(const zeltnvm_option& opt, size_t n) { return {opt.value, opt.value + n}; }

TEST(OptionVerify, PlacesTheValueLittleEndianWithNothingLeftOfTheText) {
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;  // first eight bytes of value
    } cases[] = {
        {"mba_vlan_value:0#0x102", {0x02, 0x01, 0, 0, 0, 0, 0, 0}},
        {"mba_link_speed:0#25G", {3, 0, 0, 0, 0, 0, 0, 0}},
        {"cos_precedence_order#3:2:1:0", {0xE4, 0, 0, 0, 0, 0, 0, 0}},
        // a 64-bit option given as a number: the digits typed must not reach the firmware
        {"oobm_mac_address_port_0#123456789", {0x15, 0xCD, 0x5B, 0x07, 0, 0, 0, 0}},
        {"mac_address:3#00:11:22:33:44:55", {0x11, 0x00, 0, 0, 0x55, 0x44, 0x33, 0x22}},
    };
    for (const auto& c : cases) {
        auto opt = make_option(SET);
        ASSERT_EQ(zeltnvm_fill_option_Info(&opt, c.text), 0) << c.text;
        ASSERT_EQ(zeltnvm_verify_option_Info(&opt), 0) << c.text;
        EXPECT_EQ(value_bytes(opt, 8), c.bytes) << c.text;
    }
}

// ---- scope, labels, pairs --------------------------------------------------------

TEST(OptionScope, GivesTheScopeOfUsableOptionsOnly) {
    struct Case {
        uint16_t option;
        int scope;
        const char* out;
    } cases[] = {
        {351, ZEL_DIR_TYPE_FUNC_CFG, ""},     {312, ZEL_DIR_TYPE_PORT_CFG, ""},
        {401, ZEL_DIR_TYPE_SHARED_CFG, ""},   {761, ZEL_DIR_TYPE_OOB_MGMT_CFG, ""},
        {804, -130, "unsupported nvm option value:804\n"}, {1102, -130, "unsupported nvm option value:1102\n"},
        {4242, -130, "unsupported nvm option value:4242\n"},
    };
    for (const auto& c : cases) {
        CapturedMessages msgs;
        auto opt = make_option(GET);
        opt.option = c.option;
        EXPECT_EQ(zeltnvm_find_scope(&opt, msgs.sink()), c.scope) << c.option;
        EXPECT_EQ(msgs.out, c.out);
    }
}

TEST(OptionLabel, FindsTheLabelOfTheHeldValue) {
    auto opt = make_option(GET);
    opt.option = 359;  // mba_link_speed
    opt.num_bytes = 1;
    opt.value[0] = 4;
    std::string label = "unchanged";
    EXPECT_EQ(zeltnvm_get_option_string(&opt, &label), 0);
    EXPECT_EQ(label, "40G");

    opt.value[0] = 9;  // no such entry
    label = "unchanged";
    EXPECT_EQ(zeltnvm_get_option_string(&opt, &label), 0);
    EXPECT_EQ(label, "unchanged");

    opt.option = 216;  // a mask: 0x4000 is one entry, 0x4001 none
    opt.num_bytes = 2;
    opt.value[0] = 0x00;
    opt.value[1] = 0x40;
    EXPECT_EQ(zeltnvm_get_option_string(&opt, &label), 0);
    EXPECT_EQ(label, "2.5G");

    opt.option = 4242;
    EXPECT_EQ(zeltnvm_get_option_string(&opt, &label), -1);
}

TEST(OptionPairs, ThePackedPairIsReadBackForDisplay) {
    auto opt = make_option(GET);
    opt.option = 1110;
    opt.value[0] = 0x20;
    opt.value[2] = 0x10;
    uint32_t v = 0;
    ASSERT_TRUE(zeltnvm_get_afm_option_value(&opt, &v));
    EXPECT_EQ(v >> 16, 0x10u);
    EXPECT_EQ(v & 0xFFFF, 0x20u);
    opt.option = 1101;
    EXPECT_FALSE(zeltnvm_get_afm_option_value(&opt, &v));
}

}  // namespace
