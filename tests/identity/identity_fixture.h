// A default simulated host (adapter0: device type 8 with functions zen0 and zen1;
// adapter1: device type 5 on another PCI bus) installed as the process's host and
// discovered, with a saved identity of its own for each test, direct access to the
// adapters' flash, and the MAC option read and written the way the firmware keeps it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/directory_types.h"
#include "device/discovery.h"
#include "device/discovery_lookup.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "host/host.h"
#include "log/print.h"
#include "sim/create/host_setup.h"
#include "sim/flash/flash_model.h"
#include "sim/host/sim_host.h"
#include "sim/state/sim_store.h"
#include "tests/support/run_program.h"
#include "wire/nvm_option_values.h"
#include "tests/support/installed_host.h"

namespace zelt::test {

using Mac = std::array<uint8_t, 6>;

class IdentityOnSimHost : public ::testing::Test {
protected:
    static constexpr const char* kDev = "zen0";  // adapter0, device type 8

    void SetUp() override { fresh(); }
    // A new host (the default one, or the one the JSON text `config` describes),
    // installed, discovered, and nothing saved.
    void fresh(const std::string& config = "") {
        zeltnvm_close_log_file();
        root_ = std::make_unique<TempDir>();
        std::string error;
        sim::HostSetup setup = sim::default_setup();
        if (!config.empty()) {
            ASSERT_TRUE(sim::setup_from_json(nlohmann::json::parse(config), setup, error)) << error;
        }
        ASSERT_TRUE(sim::create_host(root_->path(), setup, error)) << error;
        zelt::test::install_host(std::make_unique<sim::SimHost>(root_->path()));
        ASSERT_EQ(device::zelt_nvm_init(zelt::test::current_host(), inventory_).code(), 0);
        saved_ = device::SavedIdentity{};
    }
    void TearDown() override { zeltnvm_close_log_file(); }

    // The discovered function of a device name.
    const device::InventoryFunction& fn(const std::string& name = kDev) {
        const device::InventoryFunction* found = device::find_function(inventory_, name.c_str());
        EXPECT_NE(found, nullptr) << name;
        return found ? *found : inventory_.functions.front();
    }
    // A function of the adapter on the other PCI bus than zen0.
    std::string otherAdapterDevice() {
        const uint32_t first_bus = fn(kDev).facts.pci_info.bus_no;
        for (const auto& f : inventory_.functions)
            if (f.facts.pci_info.bus_no != first_bus) return f.name();
        ADD_FAILURE() << "no second adapter";
        return {};
    }

    // Runs `fn` on an adapter's flash inside a saved session.
    void withFlash(const std::function<void(sim::FlashModel&)>& fn, const std::string& adapter = "adapter0") {
        std::string error;
        auto session = sim::SimSession::open(root_->path(), error);
        ASSERT_TRUE(session) << error;
        sim::FlashModel flash(session->flash(adapter));
        fn(flash);
        ASSERT_TRUE(session->save(error)) << error;
    }
    // Data of the item (type, ordinal), empty when absent.
    std::vector<uint8_t> itemData(uint16_t type, uint16_t ordinal, const std::string& adapter = "adapter0") {
        std::vector<uint8_t> out;
        withFlash(
            [&](sim::FlashModel& f) {
                const int i = f.find(type, ordinal, 0);
                if (i < 0) return;
                out.resize(f.entry(static_cast<uint32_t>(i)).data_length);
                EXPECT_EQ(f.read(static_cast<uint32_t>(i), 0, out), sim::FlashStatus::ok);
            },
            adapter);
        return out;
    }
    void writeItem(uint16_t type, uint16_t ordinal, const std::vector<uint8_t>& data, uint16_t attr = 0) {
        withFlash([&](sim::FlashModel& f) {
            uint32_t index;
            ASSERT_EQ(f.write(type, ordinal, 0, attr, data, 0, index), sim::FlashStatus::ok);
        });
    }

    // Function MAC addresses through the MAC option.
    void setMac(const std::string& dev, int index, const Mac& mac) {
        uint8_t value[8] = {};
        zeltOptMacEncode(mac.data(), value);
        ASSERT_EQ(device::identity::option_set(fn(dev).function, {1, 64, 1, static_cast<uint16_t>(index), 0}, value, 8).code(), 0);
    }
    Mac getMac(const std::string& dev, int index) {
        uint8_t value[8] = {};
        EXPECT_EQ(device::identity::option_get(fn(dev).function, {1, 64, 1, static_cast<uint16_t>(index), 0}, value, 8).code(), 0);
        Mac mac{};
        zeltOptMacDecode(value, mac.data());
        return mac;
    }
    static Mac macFor(int adapter, int index) {
        return {0x02, 0x1f, 0x7a, static_cast<uint8_t>(adapter), 0x10, static_cast<uint8_t>(index + 1)};
    }

    // Opens the tool's log under the simulated root (the first open only writes the
    // configuration file) and returns a reader of what it holds.
    void openLog() {
        zeltnvm_open_log_file(zelt::test::current_host());
        zeltnvm_close_log_file();
        zeltnvm_open_log_file(zelt::test::current_host());
    }
    std::string logText() {
        std::ifstream in(root_->path() + "/var/log/zeltnvm.log");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::unique_ptr<TempDir> root_;
    device::Inventory inventory_;
    device::SavedIdentity saved_;
};

}  // namespace zelt::test
