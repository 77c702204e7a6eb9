// zeltnvm -json: every built command writes exactly one JSON document to standard
// output, which validates against the command's schema under docs/schema, and a
// failure's document carries the exit status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/front_end/cli_fixture.h"

namespace zelt::test {
namespace {

using nlohmann::json;

// The validator from the system's packages (python3-jsonschema), by its full path so
// that another Python on PATH does not stand in for it.
constexpr const char* kPython = "/usr/bin/python3";

class JsonOutputTest : public CliTest {
protected:
    void SetUp() override {
        make_host(2);
        RunResult pkg = run_program({ZELT_PROGRAM("zeltpkg"), "example", cwd_.file("update.pkg")});
        ASSERT_EQ(pkg.status, 0) << pkg.err;
        write_text_file(cwd_.file("garbage.pkg"), "this is not a package\n");
    }

    // Validates `doc` against docs/schema/<schema>.json; returns the validator's complaint
    // or "" when the document is valid.
    std::string validate(const json& doc, const std::string& schema) {
        const std::string instance = cwd_.file("instance.json");
        write_text_file(instance, doc.dump());
        const std::string dir = std::string(ZELT_SOURCE_DIR) + "/docs/schema/";
        RunResult r = run_program({kPython, "-m", "jsonschema", "--base-uri", "file://" + dir, "-i", instance,
                                   dir + schema + ".json"});
        return r.status == 0 ? std::string() : r.out + r.err;
    }
};

struct Case {
    const char* name;
    std::vector<std::string> args;  // -json is part of them, wherever the case puts it
    const char* schema;             // docs/schema/<schema>.json ("envelope" for no command)
    bool ok;                        // the command succeeds
    const char* message_part;       // part of a failure's message ("" when not checked)
};

const std::vector<Case>& cases() {
    static const std::vector<Case> kCases = {
        {"version", {"-json", "version"}, "version", true, ""},
        {"listdev", {"listdev", "-json"}, "listdev", true, ""},
        {"list of devices by -dev=?", {"--json", "-dev=?"}, "listdev", true, ""},
        {"device_info of one function", {"-dev=zen0", "-json", "device_info"}, "device_info", true, ""},
        {"device_info of every adapter", {"-json", "device_info"}, "device_info", false, "-dev="},
        {"devid of every adapter", {"devid", "-json"}, "devid", true, ""},
        {"devid of one function", {"-json", "-dev=zen0", "devid"}, "devid", true, ""},
        {"pkgver of every adapter", {"-json", "pkgver"}, "pkgver", true, ""},
        {"getoption", {"-dev=zen0", "getoption=mba_link_speed:0", "-json"}, "getoption", true, ""},
        {"getoption -dec", {"-dev=zen0", "getoption=mba_link_speed:0", "-dec", "-json"}, "getoption", true, ""},
        {"getoption list", {"-dev=zen0", "-json", "getoption=?"}, "getoption", true, ""},
        {"getoption of a bad name", {"-json", "-dev=zen0", "getoption=no_such_option"}, "getoption", false,
         "no_such_option"},
        {"setoption", {"-dev=zen0", "setoption=mba_link_speed:0#1", "-json"}, "setoption", true, ""},
        {"setoption of a bad name", {"-dev=zen0", "setoption=no_such_option#1", "-json"}, "setoption", false,
         "no_such_option"},
        {"optionhelp", {"-dev=zen0", "optionhelp=mba_link_speed", "-json"}, "optionhelp", true, ""},
        {"list of a package", {"-json", "list", "update.pkg"}, "list", true, ""},
        {"list with totals", {"-json", "-v", "-tot", "list", "update.pkg"}, "list", true, ""},
        {"view of a package", {"view", "update.pkg", "-json"}, "view", true, ""},
        {"verify of a package", {"verify", "-json", "update.pkg"}, "verify", true, ""},
        {"devid of a package", {"-json", "devid", "update.pkg"}, "devid", true, ""},
        {"pkgver of a package", {"-json", "-v", "pkgver", "update.pkg"}, "pkgver", true, ""},
        {"verify of a missing file", {"-json", "verify", "missing.pkg"}, "verify", false, "verify"},
        {"list of a bad file", {"-json", "list", "garbage.pkg"}, "list", false, "list"},
        {"reset", {"-dev=zen0", "reset", "-json"}, "reset", true, ""},
        {"device_health_check on the newest adapter", {"-dev=zen0", "device_health_check", "-v", "-json"},
         "device_health_check", true, ""},
        {"device_health_check on an older adapter", {"-json", "-dev=zen2", "device_health_check"},
         "device_health_check", true, ""},
        {"pci_eye_scope summary", {"-dev=zen0", "-json", "pci_eye_scope", "0"}, "pci_eye_scope", true, ""},
        {"pci_eye_scope full eye", {"-dev=zen0", "pci_eye_scope", "full_eye", "1", "-json"}, "pci_eye_scope", true, ""},
        {"pci_eye_scope stop", {"-json", "-dev=zen0", "pci_eye_scope", "stop"}, "pci_eye_scope", true, ""},
        {"pci_eye_scope on an older adapter", {"-json", "-dev=zen2", "pci_eye_scope", "0"}, "pci_eye_scope", false,
         "HVX9K"},
        {"pci_eye_diagram", {"-dev=zen2", "-json", "pci_eye_diagram", "0"}, "pci_eye_diagram", true, ""},
        {"pci_eye_diagram on a Kestra adapter", {"-dev=zen0", "-json", "pci_eye_diagram", "0"}, "pci_eye_diagram",
         false, "HVX9K"},
        {"ether_serdes_eye_diagram", {"-dev=zen2", "-json", "ether_serdes_eye_diagram", "0"},
         "ether_serdes_eye_diagram", true, ""},
        {"ether_serdes_eye_diagram of a PAM4 link", {"-dev=zen0", "-json", "ether_serdes_eye_diagram", "0"},
         "ether_serdes_eye_diagram", true, ""},
        {"backup", {"-dev=zen0", "-json", "backup=zen0.pkg"}, "backup", true, ""},
        {"backup with a bad parameter", {"-dev=zen0", "-json", "backup", "bogus"}, "backup", false, "cfg"},
        {"saveoptions", {"-dev=zen0", "-json", "saveoptions", "saved.sh"}, "saveoptions", true, ""},
        {"list of a device", {"-dev=zen0", "-json", "-tot", "-vvv", "list"}, "list", true, ""},
        {"view of a device", {"-dev=zen0", "-json", "view", "-type=VPD"}, "view", true, ""},
        {"verify of a device", {"-dev=zen0", "verify", "-json"}, "verify", true, ""},
        {"list of a device without a match", {"-dev=zen0", "-json", "list", "-type=PCIEucode"}, "list", false, ""},
        {"saveoptions to an unwritable place", {"-dev=zen0", "-json", "saveoptions", "no/dir.sh"}, "saveoptions",
         false, "no/dir.sh"},
        {"resmgmt set", {"-dev=zen0", "-json", "resmgmt", "max", "12.5", "50"}, "resmgmt", true, ""},
        {"resmgmt query", {"-dev=zen0", "resmgmt", "max", "-json"}, "resmgmt", true, ""},
        {"resmgmt strategy query", {"-dev=zen0", "-json", "resmgmt", "strategy"}, "resmgmt", true, ""},
        {"resmgmt profile", {"-dev=zen0", "-json", "resmgmt", "profile"}, "resmgmt", true, ""},
        {"resmgmt save", {"-dev=zen0", "-json", "resmgmt", "save", "profile.sh"}, "resmgmt", true, ""},
        {"resmgmt refused", {"-dev=zen0", "-json", "resmgmt", "min", "60", "60"}, "resmgmt", false, "exceed 100"},
        {"coredump", {"-dev=zen0", "coredump", "-json"}, "coredump", true, ""},
        {"dscdump of every level", {"-dev=zen0", "-json", "dscdump", "0"}, "dscdump", true, ""},
        {"dscdump of a bad lane", {"-dev=zen0", "-json", "dscdump", "0x10000"}, "dscdump", false, "lane"},
        {"coredump ddr on an older family", {"-dev=zen2", "-json", "coredump", "ddr"}, "coredump", false, "ddr_dump"},
        {"add_ntuple_filter", {"-dev=zen0", "-json", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0xffff", "1", "1"},
         "add_ntuple_filter", true, ""},
        {"add_ntuple_filter refused", {"-dev=zen0", "-json", "add_ntuple_filter", "00:11:22:33:44", "80", "0", "1", "1"},
         "add_ntuple_filter", false, "MAC"},
        {"free_ntuple_filter of no filter", {"-dev=zen0", "-json", "free_ntuple_filter", "0x1"}, "free_ntuple_filter",
         false, "free ntuple"},
        {"vf without active VFs", {"-dev=zen0", "-json", "vf", "0", "trust"}, "vf", false, "Trusted VF"},
        {"loopback set", {"-dev=zen0", "-json", "loopback", "mac_local"}, "loopback", true, ""},
        {"loopback query", {"-dev=zen0", "loopback", "-json"}, "loopback", true, ""},
        {"cfgtunnel port query", {"-dev=zen0", "-json", "cfgtunnel", "vxlan_ipv4"}, "cfgtunnel", true, ""},
        {"cfgtunnel port set", {"-dev=zen0", "-json", "cfgtunnel", "vxlan_ipv4", "dst_port", "4789"}, "cfgtunnel", true,
         ""},
        {"cfgtunnel RSS mode", {"-dev=zen0", "cfgtunnel", "rss_mode", "inner", "-json"}, "cfgtunnel", true, ""},
        {"cfgtunnel of a bad port", {"-dev=zen0", "-json", "cfgtunnel", "vxlan_ipv4", "dst_port", "65535"},
         "cfgtunnel", false, "destination port"},
        {"get_txfir", {"-dev=zen0", "-json", "get_txfir", "PAM4", "1"}, "get_txfir", true, ""},
        {"get_txfir of PAM4 on an older adapter", {"-dev=zen2", "-json", "get_txfir", "PAM4", "1"}, "get_txfir", false,
         "PAM4"},
        {"set_txfir", {"-dev=zen0", "-json", "set_txfir", "NRZ", "3", "1", "2", "3", "4"}, "set_txfir", true, ""},
        {"prbs_test start", {"-dev=zen0", "-json", "prbs_test", "enable", "prbs_mode", "PRBS7"}, "prbs_test", true, ""},
        {"prbs_test stop", {"-dev=zen0", "prbs_test", "disable", "-json"}, "prbs_test", true, ""},
        {"prbs_test of a bad mode", {"-dev=zen0", "-json", "prbs_test", "enable", "prbs_mode", "X"}, "prbs_test", false,
         "prbs mode"},
        {"msix_max_vectors of a PF without VFs", {"-dev=zen0", "-json", "msix_max_vectors", "0"}, "msix_max_vectors",
         false, "MSI-X"},
        {"mh_pf_alloc set", {"-dev=zen0", "-json", "mh_pf_alloc", "4", "0", "4", "0"}, "mh_pf_alloc", true, ""},
        {"mh_pf_alloc query", {"-dev=zen0", "mh_pf_alloc", "-json"}, "mh_pf_alloc", true, ""},
        {"mh_pf_alloc refused", {"-dev=zen0", "-json", "mh_pf_alloc", "4", "4", "4", "0"}, "mh_pf_alloc", false,
         "non-zero"},
        {"livepatch query", {"-dev=zen0", "-json", "livepatch"}, "livepatch", true, ""},
        {"livepatch deactivate refused", {"-dev=zen0", "-json", "livepatch", "deactivate"}, "livepatch", false,
         "not currently patched"},
        {"tsio_function_pin set", {"-dev=zen0", "-json", "tsio_function_pin", "0", "enable", "pps_in"},
         "tsio_function_pin", true, ""},
        {"tsio_function_pin query", {"-dev=zen0", "tsio_function_pin", "-json"}, "tsio_function_pin", true, ""},
        {"tsio_function_pin of a bad pin", {"-dev=zen0", "-json", "tsio_function_pin", "4", "enable", "none"},
         "tsio_function_pin", false, "pin index"},
        {"duty_cycle", {"-dev=zen0", "-json", "duty_cycle", "period", "1000", "up", "500"}, "duty_cycle", true, ""},
        {"duty_cycle refused", {"-dev=zen0", "-json", "duty_cycle", "period", "10", "up", "50"}, "duty_cycle", false,
         "Period"},
        {"dll_source", {"-dev=zen0", "-json", "dll_source", "source", "2", "frequency", "1"}, "dll_source", true, ""},
        {"set_ptp_extended", {"-dev=zen0", "-json", "set_ptp_extended", "primary_pf", "1", "secondary_mode", "all"},
         "set_ptp_extended", true, ""},
        {"set_ptp_extended refused", {"-dev=zen0", "-json", "set_ptp_extended", "primary_pf", "9"},
         "set_ptp_extended", false, "primary_pf"},
        {"get_ptp_extended", {"-dev=zen0", "get_ptp_extended", "-json"}, "get_ptp_extended", true, ""},
        {"set_sync_ethernet", {"-dev=zen0", "-json", "set_sync_ethernet", "frequency_profile", "25MHz"},
         "set_sync_ethernet", true, ""},
        {"get_sync_ethernet", {"-dev=zen0", "get_sync_ethernet", "-json"}, "get_sync_ethernet", true, ""},
        {"get_sync_ethernet on an older adapter", {"-dev=zen2", "-json", "get_sync_ethernet"}, "get_sync_ethernet",
         false, "Synchronous"},
        {"missing device", {"-json", "-dev=eth9", "listdev"}, "listdev", false, "eth9"},
        {"bad option", {"-json", "-zzz", "pkgver"}, "pkgver", false, "zzz"},
        {"syntax error", {"-json", "listdev", "extra"}, "listdev", false, "Invalid syntax"},
        {"unknown command", {"-json", "nosuchcommand"}, "envelope", false, "nosuchcommand"},
        {"device_temperature", {"-dev=zen0", "device_temperature", "-json"}, "device_temperature", true, ""},
        {"pcie_counters", {"-dev=zen0", "-json", "pcie_counters"}, "pcie_counters", true, ""},
        {"moduleinfo", {"-dev=zen0", "moduleinfo", "-json"}, "moduleinfo", true, ""},
        {"cert_provision_state", {"-dev=zen0", "cert_provision_state", "1", "-json"}, "cert_provision_state", true,
         ""},
        {"cert_provision_state of a bad slot", {"-dev=zen0", "-json", "cert_provision_state", "9"},
         "cert_provision_state", false, "slot"},
        {"nvm_measurement", {"-dev=zen0", "nvm_measurement", "-json"}, "nvm_measurement", true, ""},
        // The setoption above left a reboot pending.
        {"fw_sync with a reboot pending", {"-dev=zen0", "fw_sync", "-json"}, "fw_sync", true, ""},
        {"restore_factory_defaults", {"-dev=zen0", "restore_factory_defaults", "-y", "-json"},
         "restore_factory_defaults", true, ""},
        {"restore_factory_defaults on an older adapter", {"-dev=zen2", "-json", "restore_factory_defaults", "-y"},
         "restore_factory_defaults", false, "doesn't support"},
        {"install -recovery without -dev=", {"-json", "-recovery", "install", "update.pkg"}, "install", false,
         "-dev="},
        {"install -plan", {"-json", "-plan", "install", "update.pkg"}, "install", true, ""},
        {"install -plan of no package", {"-dev=zen0", "install", "-plan", "garbage.pkg", "-json"}, "install", false,
         "Invalid package file"},
    };
    return kCases;
}

TEST_F(JsonOutputTest, EveryCommandWritesOneDocumentThatFitsItsSchema) {
    ASSERT_EQ(run_program({kPython, "-c", "import jsonschema"}).status, 0)
        << "the JSON Schema validator is missing: install python3-jsonschema (scripts/setup.sh does)";
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        RunResult r = run(c.args);
        json doc;
        // parse() refuses anything after the document: nothing else reaches standard output.
        ASSERT_NO_THROW(doc = json::parse(r.out)) << r.out;
        EXPECT_EQ(validate(doc, c.schema), "");
        EXPECT_EQ(doc["schema"], 1);
        if (std::string(c.schema) == "envelope") {
            EXPECT_TRUE(doc["command"].is_null());
        } else {
            EXPECT_EQ(doc["command"], c.schema);
        }
        EXPECT_EQ(doc["status"], r.status);
        EXPECT_EQ(doc["ok"], c.ok) << r.out;
        EXPECT_EQ(r.status == 0, c.ok);
        if (!c.ok) {
            EXPECT_EQ(doc["result"]["code"].get<int>() & 0xFF, r.status);
            EXPECT_NE(doc["message"].get<std::string>().find(c.message_part), std::string::npos) << doc.dump(2);
        }
    }
}

// The documents say which adapter and function they speak of, in the same way
// everywhere.
TEST_F(JsonOutputTest, AdaptersAndFunctionsCarryTheirAddressAndInterface) {
    RunResult r = run({"-json", "listdev"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    ASSERT_EQ(doc["devices"].size(), 2u);
    EXPECT_EQ(doc["devices"][0]["pci_address"], "0000:03:00.0");
    EXPECT_EQ(doc["devices"][0]["interface"], "zen0");
    EXPECT_EQ(doc["devices"][1]["pci_address"], "0000:13:00.0");
    EXPECT_EQ(doc["devices"][1]["interface"], "zen2");

    r = run({"-dev=zen0", "getoption=mba_link_speed:0", "-json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out)["device"], (json{{"interface", "zen0"}, {"pci_address", "0000:03:00.0"}}));
}

// Messages the text form prints, wherever they come from, are collected in the document
// rather than written beside it; errors still reach standard error.
TEST_F(JsonOutputTest, MessagesAreCollectedNotPrinted) {
    RunResult text = run({"-dev=zen0", "setoption=mba_link_speed:0#1"});
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_NE(text.out.find("mba_link_speed is set successfully"), std::string::npos);

    RunResult r = run({"-dev=zen0", "setoption=mba_link_speed:0#0", "-json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    ASSERT_FALSE(doc["messages"].empty());
    EXPECT_EQ(doc["messages"][0]["text"], "mba_link_speed is set successfully\n");
    EXPECT_EQ(doc["set"], true);

    r = run({"-json", "-dev=eth9", "listdev"});
    EXPECT_NE(r.err.find("Invalid or unsupported device selector: 'eth9'"), std::string::npos) << r.err;
}

// -json changes only the form: the text form of the same command is what it always was.
TEST_F(JsonOutputTest, TheTextFormIsUnchangedWithoutTheOption) {
    RunResult r = run({"-dev=zen0", "devid"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "PCI VendorID         : 2b1d\n"
              "PCI DeviceID         : 9801\n"
              "PCI Subsys VendorID  : 2b1d\n"
              "PCI Subsys DeviceID  : a101\n"
              "PCI Device Name      : 0000:03:00.0\n\n");
}

}  // namespace
}  // namespace zelt::test
