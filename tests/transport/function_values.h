// Function values for tests on the process's host: one found by its interface name
// as discovery finds it, and one placed at a known PCI address, both reached through
// the driver channel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "common/pci_address.h"
#include "host/host.h"
#include "transport/driver_channel.h"
#include "transport/function.h"
#include "tests/support/installed_host.h"

namespace zelt::test {

inline std::shared_ptr<const transport::Channel> driver_channel() {
    return std::make_shared<transport::DriverChannel>(zelt::test::current_host());
}

inline transport::Function named(const char* name) {
    transport::Function fn{name, {}, driver_channel()};
    const auto info = fn.channel->driver_info(fn);
    EXPECT_TRUE(info.ok()) << name;
    if (info.ok()) fn.address = info->address;
    return fn;
}

inline transport::Function at(const char* name, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function) {
    return transport::Function{name, PciAddress{domain, bus, device, function}, driver_channel()};
}

}  // namespace zelt::test
