// The function a device-wide reset is sent to: function 0 of the device, as the
// inventory holds it, so that its name and its address always belong together.
#include <gtest/gtest.h>

#include <memory>

#include "device/reset/device_reset.h"
#include "host/linux_host.h"
#include "tests/support/fake_channel.h"

namespace zelt::test {
namespace {

TEST(ResetFunctionZero, IsTheInventorysFunctionZeroOfTheDevice) {
    host::LinuxHost host;
    auto driver = std::make_shared<FakeChannel>(host);
    auto window = std::make_shared<FakeChannel>(host);
    const transport::Function zen0{"zen0", PciAddress{0, 3, 0, 0}, driver};
    const transport::Function zen1{"zen1", PciAddress{0, 3, 0, 1}, driver};
    const transport::Function other{"zen2", PciAddress{0, 3, 1, 0}, driver};  // another device of the bus
    const transport::Function no_driver{"zelt_pci_dev:0:5e:0.1", PciAddress{0, 0x5e, 0, 1}, window};

    struct Case {
        const char* what;
        transport::Function target;
        std::vector<transport::Function> pfs;
        std::string name;
        PciAddress address;
        const FakeChannel* channel;
    } cases[] = {
        {"function 1 of an adapter with function 0", zen1, {zen0, zen1, other}, "zen0", {0, 3, 0, 0}, driver.get()},
        {"function 0 itself", zen0, {zen0, zen1}, "zen0", {0, 3, 0, 0}, driver.get()},
        // The inventory holds no function 0: a value made from the address alone.
        {"function 0 not held", no_driver, {no_driver}, "zelt_pci_dev:0:5e:0.0", {0, 0x5e, 0, 0}, window.get()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device::zelt_nvm_pci_info info;
        info.function = c.target;
        info.adapter_pfs = c.pfs;
        const transport::Function zero = device::zelt_reset_function_zero(info);
        EXPECT_EQ(zero.name, c.name);
        EXPECT_EQ(zero.address, c.address);
        EXPECT_EQ(zero.channel.get(), c.channel);
    }
}

}  // namespace
}  // namespace zelt::test
