// add_ntuple_filter and free_ntuple_filter run as programs against simulated
// hosts.
//
// The default host has zen0 (type 8, with n-tuple filters) and zen2 (type 5,
// without).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/state/request_log.h"
#include "tests/support/simulated_host.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_ntuple.h"
#include "wire/hwrm_query.h"

namespace zelt::test {
namespace {

std::vector<uint8_t> from_hex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// The requests of message `req_type` the simulated drivers received, as
// records.
template <class In>
std::vector<In> requests(const SimulatedHost& host, uint16_t req_type) {
    std::vector<In> out;
    for (const auto& r : zelt::sim::read_request_log(host.root())) {
        if (r.value("req_type", -1) != req_type) continue;
        const auto bytes = from_hex(r.value("request", ""));
        In in{};
        if (bytes.size() == sizeof(In)) std::memcpy(&in, bytes.data(), sizeof(In));
        out.push_back(in);
    }
    return out;
}

// Filter messages (the capability query included) the firmware received; discovery's
// own queries are not counted.
size_t filter_requests(const SimulatedHost& host) {
    size_t n = 0;
    for (const auto& r : zelt::sim::read_request_log(host.root())) {
        const int t = r.value("req_type", -1);
        n += (t == HWRM_CFA_ADV_FLOW_MGNT_QCAPS || t == HWRM_CFA_L2_FILTER_ALLOC || t == HWRM_CFA_NTUPLE_FILTER_ALLOC ||
              t == HWRM_CFA_NTUPLE_FILTER_FREE)
                 ? 1
                 : 0;
    }
    return n;
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* output;  // expected standard output + error, in full
    bool sends;          // anything reaches the firmware
};

TEST(NtupleFilterCommand, ChecksAndOutcomes) {
    const SimulatedHost original;
    const std::vector<Case> cases = {
        {"IPv4 filter",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0xffff", "1", "1"},
         0,
         "Filter ID created: 7E1000000000\n",
         true},
        {"ARP reply filter, '-' separators",
         {"-dev=zen0", "add_ntuple_filter", "0a-1b-2c-3d-4e-5f", "0", "0", "0", "3"},
         0,
         "Filter ID created: 7E1000000000\n",
         true},
        {"negative port",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "-1", "0", "1", "1"},
         16,
         "Error: Given Destination port is invalid.\n",
         false},
        {"port beyond 16 bits",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "65536", "0", "1", "1"},
         16,
         "Error: Given Destination port is invalid.\n",
         false},
        {"bad mask",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0xg", "1", "1"},
         16,
         "Error: Given Destination port mask is invalid.\n",
         false},
        {"VF 128",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "128", "1"},
         16,
         "Error: Given VF index is invalid. Valid range is from 0 to 127.\n",
         false},
        {"IP type 4",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "1", "4"},
         16,
         "Error: Given IP type is invalid. Supported IP types are 1 - IPV4, 2 - "
         "IPV6  and 3 - arp-reply.\n",
         false},
        {"IP type 0",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "1", "0"},
         16,
         "Error: Given IP type is invalid. Supported IP types are 1 - IPV4, 2 - "
         "IPV6  and 3 - arp-reply.\n",
         false},
        {"short MAC",
         {"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:5", "80", "0", "1", "1"},
         16,
         "Error: Invalid MAC address provided.\n",
         false},
        {"MAC with a bad separator",
         {"-dev=zen0", "add_ntuple_filter", "00.11:22:33:44:55", "80", "0", "1", "1"},
         16,
         "Error: Invalid MAC address provided.\n",
         false},
        {"adapter without filters",
         {"-dev=zen2", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "1", "1"},
         2,
         "Error: ntuple filter is not supported on this Hardware.\n",
         true},
        {"free: bad id",
         {"-dev=zen0", "free_ntuple_filter", "0x12z"},
         16,
         "Error: Invalid filter ID provided.\n",
         false},
        {"free: adapter without filters",
         {"-dev=zen2", "free_ntuple_filter", "1"},
         2,
         "Error: ntuple filter is not supported on this Hardware.\n",
         true},
        {"free: no such filter",
         {"-dev=zen0", "free_ntuple_filter", "7E1000000000"},
         6,
         "Error: Failed to free ntuple filter.\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SimulatedHost host(SimulatedHost::CopyOf{original});
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(filter_requests(host) > 0, c.sends);
    }
}

// The firmware refuses the flow filter: the failure is reported, no id printed.
TEST(NtupleFilterCommand, FirmwareRefusal) {
    const SimulatedHost host;
    host.fault({"hwrm_error", "--req-type", std::to_string(HWRM_CFA_NTUPLE_FILTER_ALLOC), "--error-code", "4"});
    const RunResult r = host.zeltnvm({"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "1", "1"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out + r.err, "Error: Failed to add ntuple filter.\n");
}

// The three messages carry the MAC, the VF's function id and the port in the
// fields the firmware reads, the 16-bit match fields in network byte order.
TEST(NtupleFilterCommand, MessagesCarryTheFilter) {
    const SimulatedHost host;
    RunResult r = host.zeltnvm({"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "4789", "0xff00", "5", "2"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto l2 = requests<hwrm_cfa_l2_filter_alloc_input>(host, HWRM_CFA_L2_FILTER_ALLOC);
    ASSERT_EQ(l2.size(), 1u);
    EXPECT_EQ(l2[0].flags, 1u);
    EXPECT_EQ(l2[0].enables, 3u);
    EXPECT_EQ(std::vector<uint8_t>(l2[0].l2_addr, l2[0].l2_addr + 6),
              (std::vector<uint8_t>{0, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(std::vector<uint8_t>(l2[0].l2_addr_mask, l2[0].l2_addr_mask + 6), std::vector<uint8_t>(6, 0xFF));
    ASSERT_EQ(requests<hwrm_func_qcaps_input>(host, HWRM_FUNC_QCAPS).size(), 1u);
    const auto nt = requests<hwrm_cfa_ntuple_filter_alloc_input>(host, HWRM_CFA_NTUPLE_FILTER_ALLOC);
    ASSERT_EQ(nt.size(), 1u);
    EXPECT_EQ(nt[0].flags, 8u);
    EXPECT_EQ(nt[0].enables, 0x3213u);
    EXPECT_EQ(nt[0].l2_filter_id, 0x2C000000u);
    EXPECT_EQ(nt[0].ethertype, 0xDD86);  // 0x86DD on the wire
    EXPECT_EQ(nt[0].ip_addr_type, 6);
    EXPECT_EQ(nt[0].ip_protocol, 6);
    EXPECT_EQ(nt[0].dst_id,
              128 + 5);                 // the function's first VF id plus the VF index
    EXPECT_EQ(nt[0].dst_port, 0xB512);  // 4789
    EXPECT_EQ(nt[0].dst_port_mask, 0x00FF);

    r = host.zeltnvm({"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "0", "3"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto arp = requests<hwrm_cfa_ntuple_filter_alloc_input>(host, HWRM_CFA_NTUPLE_FILTER_ALLOC);
    ASSERT_EQ(arp.size(), 2u);
    EXPECT_EQ(arp[1].flags, 0x18u);
    EXPECT_EQ(arp[1].enables, 0x20003u);
    EXPECT_EQ(arp[1].ethertype, 0x0608);
    EXPECT_EQ(arp[1].dst_id, 1);  // PCI function 0, plus one
    EXPECT_EQ(arp[1].dst_port, 0);
    EXPECT_EQ(requests<hwrm_cfa_l2_filter_alloc_input>(host, HWRM_CFA_L2_FILTER_ALLOC)[1].flags, 0x59u);
}

// A filter made by one run is freed by another with the id as printed, with or
// without 0x; a second free finds nothing.
TEST(NtupleFilterCommand, FreedByThePrintedIdAcrossRuns) {
    const SimulatedHost host;
    for (const char* prefix : {"", "0x"}) {
        SCOPED_TRACE(prefix);
        RunResult r = host.zeltnvm({"-dev=zen0", "add_ntuple_filter", "00:11:22:33:44:55", "80", "0", "1", "1"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string marker = "Filter ID created: ";
        ASSERT_EQ(r.out.rfind(marker, 0), 0u) << r.out;
        const std::string id = r.out.substr(marker.size(), r.out.size() - marker.size() - 1);
        r = host.zeltnvm({"-dev=zen0", "free_ntuple_filter", std::string(prefix) + id});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, "");
        r = host.zeltnvm({"-dev=zen0", "free_ntuple_filter", id});
        EXPECT_NE(r.status, 0);
    }
}

}  // namespace
}  // namespace zelt::test
