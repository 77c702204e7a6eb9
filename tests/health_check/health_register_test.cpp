// The health check's first step, the firmware health register read through the BAR0
// window, on an older adapter of a simulated host whose register window is a small
// stand-in: a firmware that does not run ends the check, and a window the host refuses
// to map is logged and passed over.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "device/discovery.h"
#include "device/discovery_lookup.h"
#include "device/health_check.h"
#include "log/print.h"
#include "sim/create/host_setup.h"
#include "sim/host/sim_host.h"
#include "tests/support/run_program.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::test {
namespace {

namespace bar = wire::bar;

// BAR0 of a chip that answers only its health signature and status through the
// sliding window.
class HealthRegisters final : public host::RegisterWindow {
public:
    explicit HealthRegisters(uint32_t status) : status_(status) {}
    size_t size() const override { return 0x8000; }
    uint32_t read32(size_t offset) override {
        if (offset == bar::kWindowRegister) return base_;
        if (offset < bar::kWindowAperture) return 0;
        const uint32_t address = base_ + static_cast<uint32_t>(offset - bar::kWindowAperture);
        if (address == bar::kHealthSignature) return bar::kHealthSignatureBase | 0x01;
        if (address == bar::kHealthStatus) return status_;
        return 0;
    }
    void write32(size_t offset, uint32_t value) override {
        if (offset == bar::kWindowRegister) base_ = value;
    }

private:
    uint32_t status_;
    uint32_t base_ = 0;
};

// A simulated host whose BAR0 mapping gives HealthRegisters, or is refused (`errno_`).
class ChipHost final : public sim::SimHost {
public:
    using SimHost::SimHost;
    std::unique_ptr<host::RegisterWindow> map_registers(std::string_view, size_t) override {
        if (map_errno != 0) {
            errno = map_errno;
            return nullptr;
        }
        return std::make_unique<HealthRegisters>(status);
    }
    uint32_t status = bar::kHealthHealthy;
    int map_errno = 0;
};

constexpr const char* kKernelSecurity =
    "Permission denied or failed to access the device resources because of kernel security. So checking the device "
    "nvm redundancy.\n";

TEST(HealthRegister, DecidesWhetherTheCheckGoesOn) {
    struct Case {
        const char* name;
        uint32_t status;
        int map_errno;
        bool operational;
        bool healthy;
        bool security_logged;
    } cases[] = {
        {"firmware running", 0x8000, 0, true, true, false},
        {"firmware not running", 0x0001, 0, false, false, false},
        {"mapping refused for lack of permission", 0, EACCES, true, true, true},
        {"mapping failed", 0, ENOMEM, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string error;
        sim::HostSetup setup;
        ASSERT_TRUE(sim::setup_from_json(nlohmann::json::parse(R"({"adapters":[{"device_type":5,"ports":1}]})"),
                                         setup, error))
            << error;
        ASSERT_TRUE(sim::create_host(dir.path(), setup, error)) << error;
        ChipHost host(dir.path());
        host.status = c.status;
        host.map_errno = c.map_errno;
        zeltnvm_open_log_file(host);  // the first open writes the configuration (every level logged)
        zeltnvm_close_log_file();
        zeltnvm_open_log_file(host);
        device::Inventory inventory;
        ASSERT_EQ(device::zelt_nvm_init(host, inventory).code(), 0);
        ASSERT_FALSE(inventory.functions.empty());

        device::HealthCheckObserver quiet;
        const auto findings = device::zeltnvm_invoke_device_health_check(host, inventory.functions.front(), quiet);
        zeltnvm_close_log_file();
        ASSERT_TRUE(findings.ok()) << findings.result().code();
        EXPECT_EQ(findings->firmware_operational, c.operational);
        EXPECT_EQ(findings->healthy, c.healthy);
        // A firmware that does not run is not asked to prove its NVM.
        EXPECT_EQ(findings->vpd_rewritten, c.operational);
        std::ifstream in(dir.path() + "/var/log/zeltnvm.log");
        std::stringstream log;
        log << in.rdbuf();
        EXPECT_EQ(log.str().find(kKernelSecurity) != std::string::npos, c.security_logged) << log.str();
    }
}

}  // namespace
}  // namespace zelt::test
