// A default simulated host installed as the process's host, with access to the first
// adapter's flash and to what the simulated drivers received.
//
// zen0 and zen1 are the functions of adapter0 (PCI bus 0x03).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/host.h"
#include "sim/create/host_setup.h"
#include "sim/flash/flash_model.h"
#include "sim/host/sim_host.h"
#include "sim/state/request_log.h"
#include "sim/state/sim_store.h"
#include "tests/support/run_program.h"
#include "tests/transport/function_values.h"
#include "tests/support/installed_host.h"

namespace zelt::test {

class NvmOnSimHost : public ::testing::Test {
protected:
    static constexpr const char* kDev = "zen0";
    static constexpr const char* kAdapter = "adapter0";

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim::create_host(root_.path(), sim::default_setup(), error)) << error;
        zelt::test::install_host(std::make_unique<sim::SimHost>(root_.path()));
    }

    // zen0 as discovery finds it, reached through its driver (looked up once, so that
    // the lookup's own driver request is not among the requests a test counts).
    const transport::Function& fn() {
        if (!fn_) fn_ = named(kDev);
        return *fn_;
    }

    // The index a lookup found, or its failure's integer.
    static int32_t indexOrCode(const ResultOr<uint32_t>& r) {
        return r.ok() ? static_cast<int32_t>(*r) : r.result().code();
    }

    // Runs `fn` on adapter0's flash inside a saved session.
    void withFlash(const std::function<void(sim::FlashModel&)>& fn) {
        std::string error;
        auto session = sim::SimSession::open(root_.path(), error);
        ASSERT_TRUE(session) << error;
        sim::FlashModel flash(session->flash(kAdapter));
        fn(flash);
        ASSERT_TRUE(session->save(error)) << error;
    }

    // Creates an empty item and returns its directory index.
    uint32_t createItem(uint16_t type, uint16_t ordinal, uint32_t length, uint16_t attr = 0) {
        uint32_t index = 0;
        withFlash([&](sim::FlashModel& f) {
            ASSERT_EQ(f.create(type, ordinal, 0, attr, length, index), sim::FlashStatus::ok);
        });
        return index;
    }

    std::vector<uint8_t> readFlashItem(uint32_t index, uint32_t offset, uint32_t length) {
        std::vector<uint8_t> out(length);
        withFlash([&](sim::FlashModel& f) { EXPECT_EQ(f.read(index, offset, out), sim::FlashStatus::ok); });
        return out;
    }

    void schedule(std::vector<sim::FaultDesc> faults) {
        std::string error;
        auto session = sim::SimSession::open(root_.path(), error);
        ASSERT_TRUE(session) << error;
        session->state().fault_hits.assign(faults.size(), 0);
        session->host().faults = std::move(faults);
        session->description_changed();
        ASSERT_TRUE(session->save(error)) << error;
    }

    // Requests received on `channel` ("lfc" or "ethtool"), optionally of one message number.
    std::vector<nlohmann::json> requests(const std::string& channel, int req_type = -1) {
        std::vector<nlohmann::json> out;
        for (auto& r : sim::read_request_log(root_.path())) {
            if (r.value("channel", "") != channel) continue;
            if (req_type >= 0 && r.value("req_type", -1) != req_type) continue;
            out.push_back(r);
        }
        return out;
    }
    void clearRequests() { sim::clear_request_log(root_.path()); }

    // A request record as the firmware-channel driver received it.
    template <class In>
    static In record(const nlohmann::json& r) {
        const std::string hex = r.at("request");
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        In in{};
        std::memcpy(&in, bytes.data(), std::min(sizeof in, bytes.size()));
        return in;
    }

    static std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
        return v;
    }

    TempDir root_;
    std::optional<transport::Function> fn_;
};

}  // namespace zelt::test
