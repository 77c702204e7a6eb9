// The option list and the detailed help of one option.
#include <gtest/gtest.h>

#include <string>

#include "options/option_help.h"
#include "options/option_parse.h"
#include "tests/options/option_test_util.h"

using namespace zelt;

using zelt::test::make_option;

namespace {

std::string help_for(const char* text, int device_type) {
    auto opt = make_option(ZELTNVM_OPTION_HELP);
    EXPECT_EQ(zeltnvm_fill_option_Info(&opt, text), 0) << text;
    return zeltnvm_detailed_option_help(&opt, device_type);
}

TEST(OptionHelp, ListShowsListedRowsWithTheirScopeWord) {
    const std::string list = zeltnvm_display_option_help();
    EXPECT_EQ(list.rfind("Name                              Scope     \n"
                         "----------------                  --------- \n"
                         "an_protocol                       Port      \n"
                         "autodetect_speed_exclude_mask     Port      \n"
                         "afm_rm_resc_strategy              Device    \n"
                         "bw_reservation                    Function  \n",
                         0),
              0u);
    EXPECT_NE(list.find("\noobm_debug                        Device    \n"), std::string::npos);
    EXPECT_NE(list.find("\nrdma_capable                      Device    \n"), std::string::npos);  // read-only, listed
    for (const char* hidden : {"vendor_id", "hcapi_rm_prof_id", "mbuf_threshold_bias", "dyn_min_val", "afm_rm_prof_func"}) {
        EXPECT_EQ(list.find(std::string("\n") + hidden + " "), std::string::npos) << hidden;
    }
    const std::string tail =
        "qg1_rx_max_rate                   Device    \n"  // not listed: the list ends with vf_pci_bar2_size
        ;
    EXPECT_EQ(list.find(tail), std::string::npos);
    EXPECT_TRUE(list.ends_with("vf_pci_bar2_size                  Function  \n"
                               "\nFor additional information about each parameter, please\n"
                               "run zeltnvm -dev=<interface_name> optionhelp=<parameter>\n"));
}

TEST(OptionHelp, DetailedHelpOfAFunctionOptionWithValues) {
    EXPECT_EQ(help_for("MBA", 9),
              "Name                   : mba\n"
              "Description            : Enable MBA\n"
              "\t\t\t When Enabled, the function offers the multi-boot agent (pre-boot network boot).\n"
              "Option Type            : Multi Instance Type\n"
              "Max Instance Indexes   : 0 to 15\n"
              "Valid values           :\n"
              "  0 (Disabled)\n"
              "  1 (Enabled)\n");
}

TEST(OptionHelp, DetailedHelpVariesByOptionAndDevice) {
    struct Case {
        const char* option;
        int device_type;
        const char* expected_part;
    } cases[] = {
        {"support_rdma", 5, "Max Instance Indexes   : 0 to 3\n"},
        {"support_rdma", 8, "Max Instance Indexes   : 0 to 15\n"},
        {"max_num_pf_msix_vect", 3, "Option Type            : Single Instance Type\nValid values           : 1 to 470\n"},
        {"max_num_pf_msix_vect", 4, "Valid values           : 1 to 512\n"},
        {"oobm_watchdog", 1, "Valid values           : 0 to 4294967295\n"},
        {"ptp_tsio_pin_cfg", 9,
         "Option Type            : Single Instance Type\nArray Indexes          : 0 to 3\nValid values           :\n"
         " 0 (none)\n 1 (pps_in)\n 2 (pps_out)\n 3 (sync_in)\n 4 (sync_out)\n 5 (synce_primary_clk_out)\n"
         " 6 (synce_secondary_clk_out)\n"},
        {"ep2_tx_min_rate", 9,
         "Option Type            : Multi Instance, Array Type\nMax Instance Indexes   : 0 to 15\n"
         "Array Indexes          : 0 to 1\nValid values           : 0 to 100. A value of 0 indicates no rate limit.\n"},
        {"ep1_tx_max_rate", 9, "Valid values           : 0 to 100. A value of 0 indicates no rate limit.\n"},
        {"163", 9, "Array Indexes          : 0 to 4\nValid values           : Digit String with valid value\n"},
        {"1106", 9, "Name                   : afm_rm_tx_l2_ctx_tcam_high\n"},
        {"1106", 9, "low-priority partition\n"},
        {"1106", 9, "Array Indexes          : 0 to 3\nValid values           : 0 to 65535\n"},
        {"cos_precedence_order", 9, "Valid values           : A valid setting is four unique digit between range 0 to 3.\n"},
        {"autodetect_speed_exclude_mask", 9, "  32768 (100M)\n  value '0' and combination of valid values\n"},
        {"mac_address", 9, "Valid values           : Digit String with valid value\n"},
    };
    for (const auto& c : cases) {
        const std::string help = help_for(c.option, c.device_type);
        EXPECT_NE(help.find(c.expected_part), std::string::npos) << c.option << " on " << c.device_type << ":\n" << help;
    }
}

}  // namespace
