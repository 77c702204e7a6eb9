// cfgtunnel run as a program against the default simulated host (zen0: a Kestra
// adapter, zen2: an older one).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/pf_features/feature_host.h"

namespace zelt::test {
namespace {

constexpr int kPortQuery = 0x00A0;
constexpr int kPortAlloc = 0x00A1;
constexpr int kRssCfg = 0x0046;

TEST(CfgtunnelCommand, ChecksAndRefusals) {
    const FeatureHost original;
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        const char* output;  // standard output and error, in full
        bool sends;          // a tunnel or RSS message reaches the firmware
    } cases[] = {
        {"query with no port",
         {"-dev=zen0", "cfgtunnel", "vxlan_ipv4"},
         {},
         0,
         "Custom Tunnel Destination Port :0\n",
         true},
        {"unknown tunnel",
         {"-dev=zen0", "cfgtunnel", "geneve"},
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm cfgtunnel -h\" for help.\n",
         false},
        {"word other than dst_port",
         {"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "src_port", "80"},
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm cfgtunnel -h\" for help.\n",
         false},
        {"port 65535",
         {"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "dst_port", "65535"},
         {},
         16,
         "Error: Invalid destination port. Valid range is from 0 to 65534.\n",
         false},
        {"port with a sign",
         {"-dev=zen0", "cfgtunnel", "vxlan_ipv6", "dst_port", "+80"},
         {},
         16,
         "Error: Invalid destination port. Valid range is from 0 to 65534.\n",
         false},
        {"unknown RSS mode",
         {"-dev=zen0", "cfgtunnel", "rss_mode", "middle"},
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm cfgtunnel -h\" for help.\n",
         false},
        {"freeing when none is set",
         {"-dev=zen2", "cfgtunnel", "vxlan_ipv4", "dst_port", "0"},
         {},
         1,
         "Tunnel destination port not configured.\n",
         true},
        {"firmware refuses the query",
         {"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "dst_port", "4789"},
         {"hwrm_error", "--req-type", "160", "--error-code", "2"},
         2,
         "Error: Failed to configure the custom tunnel.\n",
         true},
        {"firmware refuses the RSS mode",
         {"-dev=zen2", "cfgtunnel", "rss_mode", "inner"},
         {"hwrm_error", "--req-type", "70", "--error-code", "2"},
         2,
         "Error: Failed to configure the custom tunnel.\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{original});
        if (!c.fault.empty()) host.fault(c.fault);
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(host.requests(kPortQuery) + host.requests(kRssCfg) > 0, c.sends);
        EXPECT_EQ(host.requests(kPortAlloc), 0);
    }
}

// The VXLAN over IPv4 port kept in the adapter's NVM configuration (option 851), as
// the hexadecimal bytes the simulated firmware stored ("" when never set).
std::string stored_port_option(const FeatureHost& host) {
    const auto state = nlohmann::json::parse(read_text_file(host.root() + "/sim/state.json"));
    const auto& options = state["adapters"]["adapter0"]["options"];
    return options.contains("851") ? options["851"]["values"].value("0", std::string()) : std::string();
}

// A port set by one process is what the next one queries, is kept in the NVM option,
// cannot be set twice and is gone once freed; the RSS mode likewise.
TEST(CfgtunnelCommand, SetQueryAndFreeAcrossProcesses) {
    const FeatureHost host;
    struct Step {
        std::vector<std::string> args;
        std::string output;
        std::string option;  // the stored option afterwards
    } steps[] = {
        {{"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "dst_port", "4789"}, "Command executed successfully.\n", "b512"},
        {{"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "dst_port"}, "Custom Tunnel Destination Port :4789\n", "b512"},
        {{"-dev=zen1", "cfgtunnel", "vxlan_ipv6"}, "Custom Tunnel Destination Port :0\n", "b512"},
        {{"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "dst_port", "8472"},
         "Tunnel destination port already configured.\n",
         "b512"},
        // The IPv6 port has no option of its own.
        {{"-dev=zen0", "cfgtunnel", "vxlan_ipv6", "dst_port", "8472"}, "Command executed successfully.\n", "b512"},
        {{"-dev=zen1", "cfgtunnel", "vxlan_ipv6"}, "Custom Tunnel Destination Port :8472\n", "b512"},
        {{"-dev=zen0", "cfgtunnel", "vxlan_ipv4", "dst_port", "0"}, "Command executed successfully.\n", "0000"},
        {{"-dev=zen0", "cfgtunnel", "vxlan_ipv4"}, "Custom Tunnel Destination Port :0\n", "0000"},
        {{"-dev=zen0", "cfgtunnel", "rss_mode"}, "RSS Mode : outer\n", "0000"},
        {{"-dev=zen0", "cfgtunnel", "rss_mode", "inner"}, "Command executed successfully.\n", "0000"},
        {{"-dev=zen0", "cfgtunnel", "rss_mode"}, "RSS Mode : inner\n", "0000"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args.back());
        const RunResult r = host.zeltnvm(step.args);
        EXPECT_EQ(r.out + r.err, step.output);
        EXPECT_EQ(stored_port_option(host), step.option);
    }
}

}  // namespace
}  // namespace zelt::test
