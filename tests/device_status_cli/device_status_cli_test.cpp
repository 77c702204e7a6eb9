// The device status and firmware state commands run as a program against simulated
// hosts: device_temperature, pcie_counters, moduleinfo, fw_sync,
// restore_factory_defaults, cert_provision_state and nvm_measurement.
//
// The default host has adapter0 (zen0, zen1: device type 8) and adapter1 (zen2, zen3:
// device type 5).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/simulated_host.h"

using zelt::test::RunResult;
using zelt::test::run_program;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A type 8 adapter with two ports (zen0, zen1); `extra` adds fields to the adapter.
std::string kestra_host(const std::string& extra = "") {
    return R"({"adapters": [{"device_type": 8, "device_id": 38913, "ports": 2)" + extra + "}]}";
}

class Host : public zelt::test::SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // Firmware messages of number `req_type` the simulated drivers have received.
    int requests(int req_type) const {
        const std::string log = zelt::test::read_text_file(root() + "/sim/requests.log");
        const std::string key = "\"req_type\":" + std::to_string(req_type) + ",";
        int n = 0;
        for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) ++n;
        return n;
    }
};

// One command-line case: the host, a fault, the arguments, and what the run shows.
struct Case {
    const char* name;
    std::string config;              // host description ("" for the default host)
    std::vector<std::string> fault;  // zeltsim fault arguments, or none
    std::vector<std::string> args;
    int status;
    std::string out;                 // the whole standard output
    std::string err;                 // part of standard error ("" when not checked)
    int req_type;                    // the command's firmware message
    int sent;                        // how many of them reached the firmware
};

void run_cases(const std::vector<Case>& cases, const std::string& input = "") {
    for (const Case& c : cases) {
        Host host(c.config);
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm(c.args, input);
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_TRUE(contains(r.err, c.err)) << c.name << "\n" << r.err;
        EXPECT_EQ(host.requests(c.req_type), c.sent) << c.name;
    }
}

const std::vector<std::string> kRefuse = {"hwrm_error", "--req-type", "", "--error-code", "1"};

std::vector<std::string> refuse(const char* req_type) {
    std::vector<std::string> f = kRefuse;
    f[2] = req_type;
    return f;
}

TEST(DeviceTemperature, ValuesFlagsAndRefusal) {
    const std::string normal =
        "Device Temperature         : 60 Celsius\n"
        "PHY Temperature            : 56 Celsius\n"
        "Optical Module Temperature : 48 Celsius\n";
    run_cases({
        {"plain values", kestra_host(R"(, "temperature": 60)"), {}, {"-dev=zen0", "device_temperature"}, 0, normal,
         "", 0xE0, 1},
        // The wider encoding carries each value plus 64: the same temperatures show.
        {"offset encoding", kestra_host(R"(, "temperature": 60, "temperature_flags": 16)"), {},
         {"-dev=zen0", "device_temperature"}, 0, normal, "", 0xE0, 1},
        {"values absent", kestra_host(R"(, "temperature_flags": 11)"), {}, {"-dev=zen0", "device_temperature"}, 0,
         "Device Temperature         : N/A\n"
         "PHY Temperature            : N/A\n"
         "Optical Module Temperature : N/A\n",
         "", 0xE0, 1},
        {"optical module only absent (0x04)", kestra_host(R"(, "temperature": 60, "temperature_flags": 4)"), {},
         {"-dev=zen0", "device_temperature"}, 0,
         "Device Temperature         : 60 Celsius\n"
         "PHY Temperature            : 56 Celsius\n"
         "Optical Module Temperature : N/A\n",
         "", 0xE0, 1},
        {"firmware refuses", kestra_host(), refuse("0xE0"), {"-dev=zen0", "device_temperature"}, 1, "",
         "Error: Failed to query the device information.\n", 0xE0, 1},
        {"extra word", kestra_host(), {}, {"-dev=zen0", "device_temperature", "x"}, 255, "", "Invalid syntax", 0xE0,
         0},
    });
}

TEST(PcieCounters, CountersAndRefusal) {
    run_cases({
        // The simulated link counts a few errors between queries.
        {"every counter", kestra_host(), {}, {"-dev=zen0", "pcie_counters"}, 0,
         "PCIe Counters:\n"
         "Physical Layer Receiver Errors           : 100\n"
         "DLLP CRC Errors                          : 101\n"
         "TLP LCRC Sequence Number Errors          : 102\n"
         "No of times LTSSM Entered Recovery State : 103\n"
         "No of TLP Bytes Transmitted              : 0\n"
         "No of TLP Bytes Received                 : 0\n"
         "No of DLLP Bytes Transmitted             : 0\n"
         "No of DLLP Bytes Received                : 0\n"
         "Equalization Time                        : 0\n"
         "LTSSM Histogram (Low 64 Bytes)           : 0\n"
         "LTSSM Histogram (High 64 Bytes)          : 0\n"
         "Recovery Histogram                       : 0\n",
         "", 0x204, 1},
        {"firmware refuses", kestra_host(), refuse("0x204"), {"-dev=zen0", "pcie_counters"}, 1, "",
         "Error: Failed to query pcie counters\n", 0x204, 1},
    });
}

TEST(ModuleInfo, CableDataLinkAndSupport) {
    const std::string module = R"(, "module": {"type": "sfp", "cable_length": 5, "awg": 24, "insertion_loss": 7)";
    run_cases({
        {"qsfp module", kestra_host(), {}, {"-dev=zen0", "moduleinfo"}, 0,
         "DAC Cable Length             : 3 meter\n"
         "DAC Cable AWG Information    : 26 decimal\n"
         "Cable insertion loss         : 5 dB\n",
         "", 0, 0},
        {"sfp module", kestra_host(module + "}"), {}, {"-dev=zen0", "moduleinfo"}, 0,
         "DAC Cable Length             : 5 meter\n"
         "DAC Cable AWG Information    : 24 decimal\n"
         "Cable insertion loss         : 7 dB\n",
         "", 0, 0},
        // A vendor whose loss figures are not trusted, an unset length and gauge.
        {"values not given", kestra_host(R"(, "module": {"vendor": "CISCO-LIKE", "cable_length": 255, "awg": 0})"),
         {}, {"-dev=zen0", "moduleinfo"}, 0,
         "DAC Cable Length             : N/A\n"
         "DAC Cable AWG Information    : N/A\n"
         "Cable insertion loss         : N/A\n",
         "", 0, 0},
        {"link down", kestra_host(), {"link_down", "--function", "zen0"}, {"-dev=zen0", "moduleinfo"}, 122, "",
         "Interface link is down.\n", 0, 0},
        {"driver cannot read modules", kestra_host(), {"ethtool_errno", "--ethtool-cmd", "0x43", "--errno", "95"},
         {"-dev=zen0", "moduleinfo"}, 255, "", "Error: moduleinfo is not supported on this hardware.\n", 0, 0},
        {"module read fails", kestra_host(), {"ethtool_errno", "--ethtool-cmd", "0x43", "--errno", "5"},
         {"-dev=zen0", "moduleinfo"}, 255, "", "Error: Failed to query the module information.\n", 0, 0},
    });
}

TEST(CertProvisionState, SlotsAndRefusals) {
    const char* no_agent = "Cert Provision State        : There is no attestation agent.\n";
    run_cases({
        {"default slot 0", "", {}, {"-dev=zen0", "cert_provision_state"}, 0, "Cert Provision State        : SPDM\n",
         "", 0x213, 1},
        {"slot 1", "", {}, {"-dev=zen0", "cert_provision_state", "1"}, 0,
         "Cert Provision State        : Cerberus\n", "", 0x213, 1},
        {"slot 2", "", {}, {"-dev=zen0", "cert_provision_state", "2"}, 0,
         "Cert Provision State        : The attestation agent has not yet initialized and not completed "
         "verifcation of the provisioned certificate chain.\n",
         "", 0x213, 1},
        {"slot 7", "", {}, {"-dev=zen0", "cert_provision_state", "7"}, 0, no_agent, "", 0x213, 1},
        {"slot 8", "", {}, {"-dev=zen0", "cert_provision_state", "8"}, 16, "",
         "Invalid slot number. Value must be an integer and the valid values are from 0 to 7.\n", 0x213, 0},
        {"slot not a number", "", {}, {"-dev=zen0", "cert_provision_state", "x1"}, 16, "", "Invalid slot number",
         0x213, 0},
        {"slot of many digits", "", {}, {"-dev=zen0", "cert_provision_state", "00000000000000000000001"}, 16, "",
         "Invalid slot number", 0x213, 0},
        {"older family", "", {}, {"-dev=zen2", "cert_provision_state"}, 7, "",
         "cert_provision_state command does not support on this hardware.\n", 0x213, 0},
        {"firmware refuses", "", refuse("0x213"), {"-dev=zen0", "cert_provision_state"}, 1, "", "Error: ", 0x213, 1},
    });
}

TEST(NvmMeasurement, RefusalsAndOutput) {
    run_cases({
        {"older family", "", {}, {"-dev=zen2", "nvm_measurement"}, 7, "",
         "nvm measurement does not support on this hardware.\n", 0x214, 0},
        {"firmware without it", "", {"hwrm_error", "--req-type", "0x214", "--error-code", "65535"},
         {"-dev=zen0", "nvm_measurement"}, 255, "", "nvm measurement does not support by active firmware.\n", 0x214,
         1},
        {"other failure", "", refuse("0x214"), {"-dev=zen0", "nvm_measurement"}, 1, "",
         "Failed to get nvm measurement details.\n", 0x214, 1},
    });
}

// The measurement is an HMAC over the configuration: stable while nothing changes,
// different once an option is set.
TEST(NvmMeasurement, FollowsTheConfiguration) {
    Host host;
    const auto measure = [&](const char* dev) {
        const RunResult r = host.zeltnvm({dev, "nvm_measurement"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const std::string head =
            "NVM Measurement Calculated Time     : live\n"
            "NVM Configuration HMAC SHA256 hash  : \n";
        EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
        const std::string hash = r.out.substr(std::min(head.size(), r.out.size()));
        EXPECT_EQ(hash.size(), 65u) << r.out;
        return hash;
    };
    const std::string first = measure("-dev=zen0");
    EXPECT_EQ(measure("-dev=zen0"), first);
    RunResult r = host.zeltnvm({"-dev=zen0", "setoption=mba_link_speed:0#1"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string changed = measure("-dev=zen0");
    EXPECT_NE(changed, first);
    EXPECT_EQ(measure("-dev=zen0"), changed);
}

TEST(RestoreFactoryDefaults, ConfirmationAndRefusals) {
    const std::string restored = "Restored NVM Factory Defaults. A system reboot is needed to take effect.\n";
    const char* question = "Do you want to continue (Y/N)?";
    struct Input {
        Case c;
        const char* input;
    } cases[] = {
        {{"-y", "", {}, {"-dev=zen0", "restore_factory_defaults", "-y"}, 0, restored, "", 0xFFEE, 1}, ""},
        {{"answered yes", "", {}, {"-dev=zen0", "restore_factory_defaults"}, 0, question + restored, "", 0xFFEE, 1},
         "YES\n"},
        {{"answered no", "", {}, {"-dev=zen0", "restore_factory_defaults"}, 1, question, "", 0xFFEE, 0}, "n\n"},
        {{"other answer", "", {}, {"-dev=zen0", "restore_factory_defaults"}, 1, question,
          "Invalid input value. Exiting\n", 0xFFEE, 0},
         "maybe\n"},
        {{"older family", "", {}, {"-dev=zen2", "restore_factory_defaults", "-y"}, 2, "",
          "Restore Factory Defaults doesn't support on this hardware\n", 0xFFEE, 0},
         ""},
        {{"firmware refuses", "", refuse("0xFFEE"), {"-dev=zen0", "restore_factory_defaults", "-y"}, 1, "",
          "Failed to Restore NVM Factory Defaults\n", 0xFFEE, 1},
         ""},
        {{"extra word", "", {}, {"-dev=zen0", "restore_factory_defaults", "now"}, 255, "", "Invalid syntax", 0xFFEE,
          0},
         ""},
    };
    for (const Input& i : cases) run_cases({i.c}, i.input);
}

// An option set on the adapter reads its default again after the restore.
TEST(RestoreFactoryDefaults, OptionsReadTheirDefaultsAgain) {
    Host host;
    RunResult r = host.zeltnvm({"-dev=zen0", "getoption=mba_link_speed:0"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string factory = r.out;
    r = host.zeltnvm({"-dev=zen0", "setoption=mba_link_speed:0#1"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = host.zeltnvm({"-dev=zen0", "getoption=mba_link_speed:0"});
    ASSERT_NE(r.out, factory);
    r = host.zeltnvm({"-dev=zen0", "restore_factory_defaults", "-y"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = host.zeltnvm({"-dev=zen0", "getoption=mba_link_speed:0"});
    EXPECT_EQ(r.out, factory);
}

TEST(FwSync, StatusesAndRefusals) {
    const char* done = "Command executed successfully.\n";
    const char* in_step = "FW images are already synchronized\n";
    run_cases({
        {"images out of step", kestra_host(R"(, "fw_status": 8)"), {}, {"-dev=zen0", "fw_sync"}, 0, done, "", 0xC3, 1},
        {"images in step", kestra_host(), {}, {"-dev=zen0", "fw_sync"}, 43, in_step, "", 0xC3, 0},
        {"other status bits only", kestra_host(R"(, "fw_status": 8192)"), {}, {"-dev=zen0", "fw_sync"}, 43, in_step,
         "", 0xC3, 0},
        {"device reset pending", kestra_host(R"(, "option_action_status": 1)"), {}, {"-dev=zen0", "fw_sync"}, 0,
         "Device reset is pending. Please reset the device before executing fw_sync command.\n", "", 0xC3, 0},
        {"reboot pending", kestra_host(R"(, "option_action_status": 2, "fw_status": 8)"), {},
         {"-dev=zen0", "fw_sync"}, 0,
         "System reboot is pending. Please reboot the system before executing fw_sync command.\n", "", 0xC3, 0},
        {"cold boot pending", kestra_host(R"(, "option_action_status": 3)"), {}, {"-dev=zen0", "fw_sync"}, 0,
         "System cold boot is pending. Please cold boot the system before executing fw_sync command.\n", "", 0xC3,
         0},
        {"older family", "", {}, {"-dev=zen2", "fw_sync"}, 2, "", "fw_sync is not supported on this hardware\n",
         0xC3, 0},
        {"status query refused", kestra_host(R"(, "fw_status": 8)"), refuse("0xC1"), {"-dev=zen0", "fw_sync"}, 1, "",
         "Error: FW sync command failed.\n", 0xC3, 0},
        {"health query refused", kestra_host(R"(, "fw_status": 8)"), refuse("0xC2"), {"-dev=zen0", "fw_sync"}, 1, "",
         "Error: FW sync command failed.\n", 0xC3, 0},
        {"sync refused", kestra_host(R"(, "fw_status": 8)"), refuse("0xC3"), {"-dev=zen0", "fw_sync"}, 1, "",
         "Error: FW sync command failed.\n", 0xC3, 1},
        // A synchronisation whose status says it did not complete is a failure.
        {"sync incomplete", kestra_host(R"(, "fw_status": 8)"), {"reset_fault", "--cmd-err", "5"},
         {"-dev=zen0", "fw_sync"}, 1, "", "Error: FW sync command failed.\n", 0xC3, 1},
        {"extra word", kestra_host(R"(, "fw_status": 8)"), {}, {"-dev=zen0", "fw_sync", "now"}, 255, "",
         "Invalid syntax", 0xC3, 0},
    });
}

// An installation leaves the images out of step and waits for its reset; the reset of
// the newest chips synchronises them itself, and a synchronisation is not repeated.
TEST(FwSync, AfterAnInstallAndItsReset) {
    Host host;
    RunResult r = run_program(
        {ZELT_PROGRAM("zeltpkg"), "example", "--version", "229.0.1.0", host.work_file("new.pkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = host.zeltnvm({"-dev=zen0", "-y", "install", "new.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    r = host.zeltnvm({"-dev=zen0", "fw_sync"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Device reset is pending. Please reset the device before executing fw_sync command.\n");

    r = host.zeltnvm({"-dev=zen0", "reset"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = host.zeltnvm({"-dev=zen0", "fw_sync"});
    EXPECT_EQ(r.status, 43) << r.out << r.err;
    EXPECT_EQ(r.out, "FW images are already synchronized\n");
}

}  // namespace
