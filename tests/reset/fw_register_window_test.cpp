// Firmware registers read by encoded address, against a host whose one PCI function
// has an in-memory configuration space with a direct window.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "host/linux_host.h"
#include "transport/mailbox.h"
#include "wire/fw_register_address.h"
#include "tests/support/installed_host.h"

using namespace zelt;

namespace {

constexpr uint32_t kBus = 0x5e;

// The function at 0000:5e:00.0: configuration bytes, and registers behind the direct
// window that the select word picks.
class WindowHost : public zelt::host::LinuxHost {
public:
    explicit WindowHost(uint16_t device_id) : config(4096, 0) {
        put32(0, ZELT_PCI_VENDOR_ID | static_cast<uint32_t>(device_id) << 16);
        put32(0x40, 0x11223344);
    }
    bool read_pci_config(const zelt::host::PciFunction& fn, unsigned offset, void* out, size_t size) override {
        if (!ours(fn) || offset + size > config.size()) return false;
        if (offset == ZELT_PCI_CFG_WINDOW_DATA && size == 4) {
            uint16_t select;
            std::memcpy(&select, &config[ZELT_PCI_CFG_WINDOW_SELECT], 2);
            const auto it = registers.find(select);
            const uint32_t value = it == registers.end() ? 0xDEADBEEF : it->second;
            std::memcpy(out, &value, 4);
            return true;
        }
        std::memcpy(out, &config[offset], size);
        return true;
    }
    bool write_pci_config(const zelt::host::PciFunction& fn, unsigned offset, const void* data,
                          size_t size) override {
        if (!ours(fn) || offset + size > config.size()) return false;
        EXPECT_TRUE(locked) << "configuration written without the PCI lock";
        writes.push_back(offset);
        std::memcpy(&config[offset], data, size);
        return true;
    }
    // The lock is held while the returned object lives; none when another process has it.
    std::unique_ptr<zelt::host::NamedLock> acquire_named_lock(std::string_view name, unsigned) override {
        lock_names.emplace_back(name);
        if (lock_taken_elsewhere) return nullptr;
        return std::make_unique<Held>(locked);
    }
    void put32(unsigned offset, uint32_t v) { std::memcpy(&config[offset], &v, 4); }
    uint16_t selected() const {
        uint16_t s;
        std::memcpy(&s, &config[ZELT_PCI_CFG_WINDOW_SELECT], 2);
        return s;
    }

    std::vector<uint8_t> config;
    std::map<uint16_t, uint32_t> registers{{0x528, 7}, {0x520, 0x8000}};
    std::vector<unsigned> writes;
    std::vector<std::string> lock_names;
    bool locked = false;
    bool lock_taken_elsewhere = false;

private:
    struct Held : zelt::host::NamedLock {
        explicit Held(bool& flag) : flag_(flag) { flag_ = true; }
        ~Held() override { flag_ = false; }
        bool& flag_;
    };
    static bool ours(const zelt::host::PciFunction& fn) {
        return fn.domain == 0 && fn.bus == kBus && fn.dev == 0 && fn.func == 0;
    }
};

// A PF device id of `device_type` from the supported-device table.
uint16_t pf_of_type(int device_type) {
    for (const device_info& row : zeltnvm_supported_devices())
        if (row.device_type == device_type && row.function_type == ZELT_FUNCTION_PF) return row.device_id;
    ADD_FAILURE() << "no PF of device type " << device_type;
    return 0;
}

class FwRegisterWindow : public ::testing::Test {
protected:
    WindowHost& use(int device_type) {
        auto h = std::make_unique<WindowHost>(pf_of_type(device_type));
        WindowHost& ref = *h;
        zelt::test::install_host(std::move(h));
        return ref;
    }
    void TearDown() override { zelt::test::install_host(std::make_unique<zelt::host::LinuxHost>()); }
};

TEST_F(FwRegisterWindow, ReadsByAddressSpaceAndChip) {
    struct Case {
        int device_type;
        uint32_t address;
        int32_t rc;
        uint32_t value;         // when rc is 0
        int window_selected;    // offset written at the select word, -1: no write
    } cases[] = {
        // Configuration-space offsets on every chip.
        {5, 0x40, 0, 0x11223344, -1},
        {8, 0x40, 0, 0x11223344, -1},
        {8, 0x1000, HVXRETVAL_REG_READ_FAILED, 0, -1},  // past the configuration space
        // The direct window on the newest chips: the space bits are not part of the offset.
        {8, 0x52A, 0, 7, 0x528},
        {8, 0x52B, 0, 7, 0x528},
        {9, 0x522, 0, 0x8000, 0x520},
        // Older chips reach these through the BAR0 window, which this build lacks; space 3
        // has no road there at all.
        {5, 0x52A, HVXRETVAL_UNSUPPORTED_OPERATION, 0, -1},
        {5, 0x52B, HVXRETVAL_REG_READ_FAILED, 0, -1},
        {5, 0x4F00A009, HVXRETVAL_UNSUPPORTED_OPERATION, 0, -1},
        {8, 0x800A0009, HVXRETVAL_UNSUPPORTED_OPERATION, 0, -1},
    };
    for (const Case& c : cases) {
        WindowHost& host = use(c.device_type);
        uint32_t value = 0x5A5A5A5A;
        EXPECT_EQ(zelt::transport::zeltnvm_read_fw_reg(zelt::test::current_host(), zelt::PciAddress{0, kBus, 0, 0}, &value, c.address).code(), c.rc)
            << "type " << c.device_type << " address 0x" << std::hex << c.address;
        EXPECT_EQ(value, c.rc == 0 ? c.value : 0x5A5A5A5Au) << std::hex << c.address;
        if (c.window_selected < 0) {
            EXPECT_TRUE(host.writes.empty()) << std::hex << c.address;
        } else {
            EXPECT_EQ(host.writes, std::vector<unsigned>{ZELT_PCI_CFG_WINDOW_SELECT}) << std::hex << c.address;
            EXPECT_EQ(host.selected(), c.window_selected) << std::hex << c.address;
            EXPECT_EQ(host.lock_names, std::vector<std::string>{"ZELTNVM_PCI_LOCK_0000_5e"});
            EXPECT_FALSE(host.locked) << "lock still held after the read";
        }
    }
}

TEST_F(FwRegisterWindow, FunctionThatCannotBeReadFails) {
    use(8);
    uint32_t value = 0;
    // No function at another bus; the configuration space cannot be read there.
    EXPECT_EQ(zelt::transport::zeltnvm_read_fw_reg(zelt::test::current_host(), zelt::PciAddress{0, kBus + 1, 0, 0}, &value, 0x52A).code(), HVXRETVAL_REG_READ_FAILED);
    // A function that is not one of ours.
    WindowHost& host = use(8);
    host.put32(0, 0x12348086);
    EXPECT_EQ(zelt::transport::zeltnvm_read_fw_reg(zelt::test::current_host(), zelt::PciAddress{0, kBus, 0, 0}, &value, 0x52A).code(), HVXRETVAL_REG_READ_FAILED);
    EXPECT_TRUE(host.writes.empty());
}

// Another process holding the bus's lock keeps the window as it is: the read reports
// the adapter busy instead of selecting a register under the other process.
TEST_F(FwRegisterWindow, WindowInUseElsewhereIsBusy) {
    WindowHost& host = use(8);
    host.lock_taken_elsewhere = true;
    uint32_t value = 0x5A5A5A5A;
    EXPECT_EQ(zelt::transport::zeltnvm_read_fw_reg(zelt::test::current_host(), zelt::PciAddress{0, kBus, 0, 0}, &value, 0x52A).code(), ZELT_RC_BUSY);
    EXPECT_EQ(value, 0x5A5A5A5Au);
    EXPECT_TRUE(host.writes.empty());
}

}  // namespace
