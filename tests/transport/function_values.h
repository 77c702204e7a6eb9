// Function values for transport tests: one found by its interface name as the command
// layer finds it, and one placed at a known PCI address.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "common/pci_address.h"
#include "transport/function.h"

namespace zelt::test {

inline transport::Function named(const char* name) {
    auto fn = transport::function_for_name(name);
    EXPECT_TRUE(fn.ok()) << name;
    return fn.ok() ? *fn : transport::Function{};
}

inline transport::Function at(const char* name, uint32_t domain, uint32_t bus, uint32_t device, uint32_t function) {
    return transport::function_at(name, PciAddress{domain, bus, device, function});
}

}  // namespace zelt::test
