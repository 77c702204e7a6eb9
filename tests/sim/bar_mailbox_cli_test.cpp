// The simulated chip after whole commands: zeltnvm reaches the firmware through the
// PCI mailbox when the firmware-channel device is gone, and whatever the chip does
// wrong, the command leaves the handshake bits clear and no BAR0 window mapped.
#include <gtest/gtest.h>

#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

TEST(BarMailboxCommands, EveryChipFaultLeavesTheHandshakeCleanAndNothingMapped) {
    SimulatedHost start;
    start.fault({"no_lfc_device"});
    // (A busy mailbox fails before any handshake starts; the unit tests cover it.)
    for (const char* fault : {"", "no_mailbox", "mailbox_silent", "mailbox_oversize", "fw_not_operational"}) {
        SCOPED_TRACE(*fault ? fault : "no fault");
        SimulatedHost host(SimulatedHost::CopyOf{start});
        if (*fault) host.fault({fault, "--adapter", "adapter1"});
        host.zeltnvm({"-dev=zen2", "device_info"});
        const RunResult chips = host.zeltsim("show", {"--chips"});
        ASSERT_EQ(chips.status, 0) << chips.err;
        // The command used the window of the adapter's first function.
        EXPECT_NE(chips.out.find("0000:13:00.0: open 0,"), std::string::npos) << chips.out;
        EXPECT_EQ(chips.out.find("open 1"), std::string::npos) << chips.out;
        EXPECT_EQ(chips.out.find("HRTS 1"), std::string::npos) << chips.out;
        EXPECT_EQ(chips.out.find("HCTS 1"), std::string::npos) << chips.out;
        EXPECT_EQ(chips.out.find("data valid 1"), std::string::npos) << chips.out;
    }
}

}  // namespace
}  // namespace zelt::test
