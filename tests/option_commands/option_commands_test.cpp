// getoption, setoption and optionhelp run as programs against simulated hosts.
//
// The default simulated host has adapter0 (zen0, zen1: newest family, device type 8,
// reboot capability reporting) and adapter1 (zen2, zen3: device type 5, no reboot
// capability reporting).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunOptions;
using zelt::test::RunResult;
using zelt::test::run_program;
using zelt::test::TempDir;

namespace {

class SimHost : public zelt::test::SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // Option variable writes the simulated firmware has received so far.
    size_t option_writes() const {
        const RunResult r = zeltsim("show", {"--requests"});
        size_t n = 0;
        for (size_t at = r.out.find("\"req_type\":65522"); at != std::string::npos;
             at = r.out.find("\"req_type\":65522", at + 1)) {
            ++n;
        }
        return n;
    }

    std::string stored_options() const { return zeltsim("show", {"--options"}).out; }
};

struct RefusalCase {
    std::vector<std::string> args;
    int status;
    const char* out;  // expected part of standard output ("" for none)
    const char* err;  // expected part of standard error ("" for none)
};

TEST(OptionCommands, RequestsAreRefusedBeforeAnythingIsWritten) {
    const RefusalCase cases[] = {
        {{"-dev=zen0", "getoption=an_protocol"}, 248,
         "This is the device port configuration. Please specify the port index.\n"
         "Getting option(an_protocol) value failed\n",
         ""},
        // The default adapters have two ports: index 2 is the first refused (index 1 reads, below).
        {{"-dev=zen0", "getoption=an_protocol:2"}, 248,
         "Invalid device port index.Please specify the correct port index\nGetting option(an_protocol) value failed\n", ""},
        {{"-dev=zen0", "getoption=an_protocol:5"}, 248,
         "Invalid device port index.Please specify the correct port index\nGetting option(an_protocol) value failed\n", ""},
        {{"-dev=zen0", "getoption=enable_sriov:1"}, 125,
         "This is the device shared configuration. Dont specify the Index\nGetting option(enable_sriov) value failed\n", ""},
        {{"-dev=zen0", "getoption=mba:"}, 15, "", "Error: Invalid syntax. Please run \"zeltnvm getoption -h\" for help.\n"},
        {{"-dev=zen0", "getoption=mba#1"}, 15, "", "Error: Invalid syntax. Please run \"zeltnvm getoption -h\" for help.\n"},
        {{"-dev=zen0", "optionhelp=mba:0"}, 15, "", "Error: Invalid syntax. Please run \"zeltnvm optionhelp -h\" for help.\n"},
        {{"-dev=zen0", "getoption=1"}, 248, "", "Unknown NVM option name 1\n"},
        {{"-dev=zen0", "getoption=804"}, 126, "unsupported nvm option value:804\nGetting option(dyn_min_val) value failed\n",
         ""},
        {{"-dev=zen0", "setoption=mba:16#1", "-force"}, 248,
         "Invalid device function index. Please specify the correct function index\n"
         "Setting option(mba) value failed\n",
         ""},
        {{"-dev=zen0", "setoption=mba:2#1"}, 248, "Invalid device function index.", ""},
        {{"-dev=zen0", "setoption=num_vf_per_pf:0#12"}, 16, "Invalid value provided. Value should be multiples of 8\n", ""},
        {{"-dev=zen0", "setoption=rdma_capable#1"}, 198, "Invalid operation: This is Read-Only NVM option\n", ""},
        // a refused value shows the option's help
        {{"-dev=zen0", "setoption=mf_mode:0#3"}, 248, "Valid values           :\n  1 (Forced_SF)\n  2 (NPAR_1.0)\n", ""},
        {{"-dev=zen2", "getoption=ptp_tsio_pin_cfg"}, 7,
         "Getting option(ptp_tsio_pin_cfg) value does not support on this hardware\n", ""},
        {{"-dev=zen2", "setoption=performance_profile#RoCE"}, 7,
         "Setting option(performance_profile) value does not support on this hardware\n", ""},
        {{"-dev=zen0", "setoption=enable_power_reduction#1"}, 7,
         "Setting option(enable_power_reduction) value does not support on this hardware\n", ""},
    };
    SimHost host;
    for (const auto& c : cases) {
        const RunResult r = host.zeltnvm(c.args);
        const std::string what = c.args[1];
        EXPECT_EQ(r.status, c.status) << what << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << what << "\n" << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << what << "\n" << r.err;
    }
    EXPECT_EQ(host.option_writes(), 0u);
}

struct RoundTripCase {
    const char* device;
    const char* set;
    const char* get;
    const char* shown;  // standard output of the later getoption
};

TEST(OptionCommands, AWrittenValueIsReadBackByALaterRun) {
    const RoundTripCase cases[] = {
        {"-dev=zen0", "setoption=mba_link_speed:0#10g", "getoption=mba_link_speed:0", "mba_link_speed = 10G\n\n"},
        {"-dev=zen0", "setoption=mba_vlan_value:1#0x102", "getoption=mba_vlan_value:1", "mba_vlan_value = 0x102\n"},
        {"-dev=zen0", "setoption=an_protocol:1#BAM_only", "getoption=an_protocol:1", "an_protocol = BAM_only\n\n"},
        {"-dev=zen0", "setoption=mba:130#Enabled", "getoption=mba:130", "mba = Enabled\n\n"},
        {"-dev=zen0", "setoption=ptp_tsio_pin_cfg#1:2:3:4", "getoption=ptp_tsio_pin_cfg",
         "ptp_tsio_pin_cfg = pps_in:pps_out:sync_in:sync_out\n"},
        {"-dev=zen0", "setoption=mac_address:0#00-1b:22:3:44:55", "getoption=mac_address:0",
         "mac_address = 00-1b-22-03-44-55\n"},
        {"-dev=zen2", "setoption=cos_precedence_order#3:0:1:2", "getoption=cos_precedence_order",
         "cos_precedence_order = 3:0:1:2\n"},
        {"-dev=zen2", "setoption=oobm_watchdog#4294967295", "getoption=oobm_watchdog", "oobm_watchdog = 0xffffffff\n"},
    };
    SimHost host;
    for (const auto& c : cases) {
        const RunResult set = host.zeltnvm({c.device, c.set});
        EXPECT_EQ(set.status, 0) << c.set << "\n" << set.out << set.err;
        const RunResult get = host.zeltnvm({c.device, c.get});
        EXPECT_EQ(get.status, 0) << c.get << "\n" << get.err;
        EXPECT_EQ(get.out, c.shown) << c.get;
    }
    // The pin functions are stored one per index, the first typed at index 3.
    const std::string stored = host.stored_options();
    EXPECT_NE(stored.find("516[3] = 01 (8 bits)"), std::string::npos) << stored;
    EXPECT_NE(stored.find("516[0] = 04 (8 bits)"), std::string::npos) << stored;
}

// A value reaches the NVM only through the flush after the set: a failed flush is
// reported (the command still succeeds: the value reads back until the adapter resets),
// and the next reset brings back the value the NVM holds. A flushed value waiting for
// a reboot is covered by the advice test below.
TEST(OptionCommands, OnlyAFlushedValueSurvivesAReset) {
    for (const char* device : {"-dev=zen0", "-dev=zen2"}) {
        SCOPED_TRACE(device);
        SimHost host;
        const std::string nvm_value = host.zeltnvm({device, "getoption=mba_vlan_value:1"}).out;
        ASSERT_NE(nvm_value, "mba_vlan_value = 0x103\n");
        host.fault({"hwrm_error", "--req-type", "0xFFF0", "--error-code", "4"});
        const RunResult set = host.zeltnvm({device, "setoption=mba_vlan_value:1#0x103"});
        EXPECT_EQ(set.status, 0) << set.out << set.err;
        EXPECT_NE(set.out.find("NVM Flush failed. Need to cold boot for option to set!"), std::string::npos)
            << set.out;
        EXPECT_EQ(host.zeltnvm({device, "getoption=mba_vlan_value:1"}).out, "mba_vlan_value = 0x103\n");
        host.fault({"--clear"});
        // Nothing reached the NVM, so no reboot waits and the reset runs.
        const RunResult reset = host.zeltnvm({device, "reset"});
        ASSERT_EQ(reset.status, 0) << reset.out << reset.err;
        EXPECT_EQ(reset.out.find("reboot is pending"), std::string::npos) << reset.out;
        EXPECT_EQ(host.zeltnvm({device, "getoption=mba_vlan_value:1"}).out, nvm_value);
    }
}

// With -dec a value prints as its label when it has one, else as a decimal number.
TEST(OptionCommands, DecimalOutputReadsBackTheWrittenValue) {
    struct DecCase {
        const char* set;
        const char* get;
        const char* shown;
    };
    const DecCase cases[] = {
        {"setoption=mba_vlan_value:1#0x102", "getoption=mba_vlan_value:1", "mba_vlan_value = 258\n"},
        {"setoption=mba_link_speed:0#10g", "getoption=mba_link_speed:0", "mba_link_speed = 10G\n\n"},
    };
    SimHost host;
    for (const auto& c : cases) {
        const RunResult set = host.zeltnvm({"-dev=zen0", c.set});
        EXPECT_EQ(set.status, 0) << c.set << "\n" << set.out << set.err;
        const RunResult get = host.zeltnvm({"-dev=zen0", c.get, "-dec"});
        EXPECT_EQ(get.status, 0) << c.get << "\n" << get.err;
        EXPECT_EQ(get.out, c.shown) << c.get;
    }
}

TEST(OptionCommands, AdviceFollowsTheOptionAndTheFirmwaresBootStatus) {
    const struct {
        const char* device;
        const char* set;
        const char* out;
    } cases[] = {
        // without reboot capability reporting the option decides
        {"-dev=zen2", "setoption=link_training:0#1",
         "link_training is set successfully\nPlease cold boot the system to apply the configuration\n"},
        {"-dev=zen2", "setoption=cos_precedence_order#0:0:0:0", "cos_precedence_order is set successfully\n"},
        {"-dev=zen2", "setoption=mba:0#1", "mba is set successfully\nPlease reboot the system to apply the configuration\n"},
        // with it, the firmware's pending action does (a changed option waits for a reboot)
        {"-dev=zen0", "setoption=link_training:0#1",
         "link_training is set successfully\nPlease reboot the system to apply the configuration\n"},
    };
    SimHost host;
    for (const auto& c : cases) {
        const RunResult r = host.zeltnvm({c.device, c.set});
        EXPECT_EQ(r.status, 0) << c.set << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.set;
    }
}

TEST(OptionCommands, OptionsTheAdapterLacksAndPrivilegedOptionsOffTheAdminFunction) {
    // A multi-host adapter in secure mode: its functions are not the admin function.
    SimHost host(R"({"adapters":[{"device_id":"0x7501","device_type":5,"ports":2,"multi_host":true,)"
                 R"("secure_boot":true,"missing_options":[352]}]})");
    const RefusalCase cases[] = {
        {{"-dev=zen0", "getoption=mba_boot_type:0"}, 1,
         "Getting option(mba_boot_type) value does not support on this hardware\n", ""},
        {{"-dev=zen0", "setoption=mba_boot_type:0#BSS"}, 1,
         "Setting option(mba_boot_type) value does not support on this hardware\n", ""},
        {{"-dev=zen0", "setoption=disable_ntuple:0#True"}, 10,
         "This operation do not have administrative privileges for given interface\n", ""},
        {{"-dev=zen0", "getoption=disable_ntuple:0"}, 10,
         "This operation do not have administrative privileges for given interface\n", ""},
    };
    for (const auto& c : cases) {
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args[1] << "\n" << r.out;
    }
    EXPECT_EQ(host.stored_options().find("914["), std::string::npos);  // the privileged option is unchanged
}

// The default adapters report no port hide support (option 19 reads 0), so port_hide
// is refused there; a host description that gives an adapter the capability reaches
// it. Its labels are pinned to their numbers both ways: a label set is stored as its
// number, and a number the description stores reads as its label.
TEST(OptionCommands, AnOptionTheDefaultAdaptersRefuseIsReachedThroughTheDescription) {
    SimHost plain;
    const RunResult refused = plain.zeltnvm({"-dev=zen0", "setoption=port_hide#1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "port hide configuration is not supported on this hardware\n");

    SimHost host(R"({"adapters":[{"device_type":8,"options":[{"num":19,"value":1}]},)"
                 R"({"device_type":8,"options":[{"num":19,"value":1},{"num":13,"bits":4,"value":7}]}]})");
    const RunResult set = host.zeltnvm({"-dev=zen0", "setoption=port_hide#P2 - Valid for 2 port adapter"});
    EXPECT_EQ(set.status, 0) << set.out << set.err;
    EXPECT_EQ(set.out.rfind("port_hide is set successfully\n", 0), 0u) << set.out;
    const std::string stored = host.stored_options();
    EXPECT_NE(stored.find("Options of adapter0:\n  13[0] = 01 (4 bits)\n"), std::string::npos) << stored;

    const RunResult read = host.zeltnvm({"-dev=zen2", "getoption=port_hide"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "port_hide = P2|P3|P4\n\n");
}

TEST(OptionCommands, OptionListAndHelp) {
    SimHost host;
    const RunResult list = host.zeltnvm({"-dev=zen0", "optionhelp=?"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out.rfind("Name                              Scope     \n", 0), 0u) << list.out;
    const RunResult get_list = host.zeltnvm({"-dev=zen0", "getoption="});
    EXPECT_EQ(get_list.out, list.out);

    const RunResult help = host.zeltnvm({"-dev=zen0", "optionhelp=MBA"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Name                   : mba\n", 0), 0u) << help.out;
}

}  // namespace
