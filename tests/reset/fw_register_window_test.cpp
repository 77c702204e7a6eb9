// Firmware registers read by encoded address, against a host whose one PCI function has
// an in-memory chip behind BAR0 and the configuration windows.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/hvxretval.h"
#include "host/run_lock.h"
#include "tests/support/fake_chip_host.h"
#include "transport/mailbox.h"
#include "transport/pci_bus_lock.h"
#include "wire/fw_register_address.h"

using namespace zelt;
using zelt::test::FakeChipHost;

namespace {

constexpr PciAddress kFn = FakeChipHost::kAddress;

TEST(FwRegisterWindow, ReadsByAddressSpaceAndChip) {
    struct Case {
        int device_type;
        uint32_t address;
        int map_errno;          // BAR0 mapping refused with this errno (0: mapped)
        int32_t rc;
        uint32_t value;         // when rc is 0
        int window_selected;    // last select word written, -1: no configuration write
    } cases[] = {
        // Configuration-space offsets on every chip.
        {5, 0x40, 0, 0, 0x11223344, -1},
        {8, 0x40, 0, 0, 0x11223344, -1},
        {8, 0x1000, 0, HVXRETVAL_REG_READ_FAILED, 0, -1},  // past the configuration space
        // The direct window on the newest chips: the space bits are not part of the offset.
        {8, 0x52A, 0, 0, 7, 0x528},
        {8, 0x52B, 0, 0, 7, 0x528},
        {9, 0x522, 0, 0, 0x8000, 0x520},
        // Older chips read chip registers through BAR0; space 3 has no road there.
        {5, 0x03100009, 0, 0, 0x8000, -1},
        {5, 0x0310000A, 0, 0, 0x8000, -1},
        {5, 0x52B, 0, HVXRETVAL_REG_READ_FAILED, 0, -1},
        // BAR0 that cannot be mapped: the configuration-space window, unless permission
        // was refused.
        {5, 0x03100009, ENOENT, 0, 0x8000, 0x7008},
        {5, 0x03100009, EACCES, HVXRETVAL_REG_READ_FAILED, 0, -1},
    };
    for (const Case& c : cases) {
        FakeChipHost host(test::pf_of_type(c.device_type));
        host.put32(0x40, 0x11223344);
        host.map_errno = c.map_errno;
        uint32_t value = 0x5A5A5A5A;
        EXPECT_EQ(transport::zeltnvm_read_fw_reg(host, kFn, &value, c.address).code(), c.rc)
            << "type " << c.device_type << " address 0x" << std::hex << c.address;
        EXPECT_EQ(value, c.rc == 0 ? c.value : 0x5A5A5A5Au) << std::hex << c.address;
        if (c.window_selected < 0)
            EXPECT_TRUE(host.config_writes.empty()) << std::hex << c.address;
        else
            EXPECT_EQ(host.selected(), c.window_selected) << std::hex << c.address;
        EXPECT_EQ(host.chip.live_windows, 0) << std::hex << c.address;
    }
}

TEST(FwRegisterWindow, FunctionThatCannotBeReadFails) {
    FakeChipHost host(test::pf_of_type(8));
    uint32_t value = 0;
    // No function at another bus; the configuration space cannot be read there.
    EXPECT_EQ(transport::zeltnvm_read_fw_reg(host, PciAddress{0, kFn.bus + 1, 0, 0}, &value, 0x52A).code(),
              HVXRETVAL_REG_READ_FAILED);
    // A function that is not one of ours.
    host.put32(0, 0x12348086);
    EXPECT_EQ(transport::zeltnvm_read_fw_reg(host, kFn, &value, 0x52A).code(), HVXRETVAL_REG_READ_FAILED);
    EXPECT_TRUE(host.config_writes.empty());
}

// Another process holding the bus's lock keeps the window as it is: the read reports
// the adapter busy instead of selecting a register under the other process.
TEST(FwRegisterWindow, WindowInUseElsewhereIsBusy) {
    FakeChipHost host(test::pf_of_type(8));
    // A second open of the lock file conflicts like another process's.
    auto held = host::take_run_lock(host, transport::pci_bus_lock_name(kFn.domain, kFn.bus), 0);
    ASSERT_EQ(held.outcome, host::LockOutcome::kHeld);
    uint32_t value = 0x5A5A5A5A;
    EXPECT_EQ(transport::zeltnvm_read_fw_reg(host, kFn, &value, 0x52A).code(), ZELT_RC_BUSY);
    EXPECT_EQ(value, 0x5A5A5A5Au);
    EXPECT_TRUE(host.config_writes.empty());
}

TEST(FwRegisterWindow, SerialNumberKeepsFifteenDigits) {
    EXPECT_EQ(transport::serial_number_text(0x11223344, 0x55667788), "443322118877665");
    FakeChipHost host(test::pf_of_type(5));
    host.put32(wire::bar::kConfigSerialLow, 0x11223344);
    host.put32(wire::bar::kConfigSerialHigh, 0x55667788);
    EXPECT_EQ(transport::zeltnvm_read_dev_serial_no(host, kFn), "443322118877665");
    EXPECT_EQ(transport::zeltnvm_read_dev_serial_no(host, PciAddress{0, 1, 0, 0}), "");
}

}  // namespace
