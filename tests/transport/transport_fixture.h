// Installs a FakeAdapterHost on a temporary root for the length of a test.
#pragma once

#include <memory>

#include "transport/driver_channel.h"
#include "transport/function.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/linux_host.h"
#include "tests/support/run_program.h"
#include "tests/transport/function_values.h"
#include "tests/transport/fake_adapter_host.h"
#include "transport/function.h"
#include "tests/support/installed_host.h"

namespace zelt::test {

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<FakeAdapterHost>(dir.path());
        host = fake.get();
        zelt::test::install_host(std::move(fake));
    }
    void TearDown() override { zelt::test::install_host(std::make_unique<host::LinuxHost>()); }

    // The function of interface `ifname` on the fake host, reached through its driver.
    transport::Function eth(const char* ifname, PciAddress address = {}) {
        return transport::Function{ifname, address, std::make_shared<transport::DriverChannel>(*host)};
    }

    // Writes a file under the fake host's root.
    void hostFile(const std::string& path, const std::string& text) {
        host->make_directories(path.substr(0, path.rfind('/')));
        ASSERT_TRUE(host->write_file(path, text));
    }
    // Gives interface `ifname` the PCI slot `slot` through its uevent file.
    void uevent(const std::string& ifname, const std::string& slot) {
        hostFile("/sys/class/net/" + ifname + "/device/uevent", "DRIVER=zelt_en\nPCI_SLOT_NAME=" + slot + "\n");
    }


    TempDir dir;
    FakeAdapterHost* host = nullptr;
};

}  // namespace zelt::test
