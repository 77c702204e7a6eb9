// A host with one adapter function whose BAR0 and configuration windows reach an
// in-memory chip, with a scripted firmware side of the mailbox handshake and a virtual
// clock. Its lock directory lives in a temporary root. Header-only.
#pragma once

#include <cstdint>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "common/pci_address.h"
#include "common/supported_devices.h"
#include "host/linux_host.h"
#include "tests/support/run_program.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::test {

namespace bar = wire::bar;

// The chip and its firmware. The firmware acts whenever the host reads CTRL.
struct FakeChip {
    std::map<uint32_t, uint32_t> regs;  // chip registers by address
    uint32_t window_base = 0;
    std::vector<uint32_t> request_area = std::vector<uint32_t>(64, 0);
    int doorbells = 0;
    int live_windows = 0;
    int maps = 0;
    uint32_t ctrl_address = bar::kMailboxCtrlOlder;

    // Firmware script: whether a request brings a data buffer the firmware takes, and
    // the dwords it answers with (made when the doorbell rings, from the request).
    bool takes_payload = false;
    bool silent = false;
    std::function<std::vector<uint32_t>(FakeChip&)> answer;
    std::vector<uint32_t> received;  // dwords the host sent through DATA

    // Chip register writes through the window other than the mailbox's, in order, and
    // the chip's reaction to each (after the value was stored).
    struct RegWrite {
        uint32_t address;
        uint32_t value;
    };
    std::vector<RegWrite> reg_writes;
    std::function<void(FakeChip&, uint32_t address, uint32_t value)> on_write;

    enum class Phase { kIdle, kReceiving, kAnswering } phase = Phase::kIdle;
    bool saw_hrts = false;
    bool saw_hcts = false;
    std::vector<uint32_t> pending;
    size_t next = 0;

    uint32_t& ctrl() { return regs[ctrl_address]; }
    uint32_t& data() { return regs[ctrl_address + 4]; }
    uint32_t host_bits() { return ctrl() & (bar::kCtrlHrts | bar::kCtrlHcts | bar::kCtrlDataValid); }
    // The request dword at byte offset `offset`.
    uint32_t request_word(size_t offset) const { return request_area[offset / 4]; }

    void ring() {
        ++doorbells;
        if (silent) return;
        pending = answer ? answer(*this) : std::vector<uint32_t>{};
        next = 0;
        saw_hrts = false;
        if (takes_payload) {
            phase = Phase::kReceiving;
            ctrl() |= bar::kCtrlFcts;
        } else {
            start_answer();
        }
    }
    void start_answer() {
        phase = Phase::kAnswering;
        saw_hcts = false;
        ctrl() |= bar::kCtrlFrts;
    }
    void step() {
        uint32_t& c = ctrl();
        if (phase == Phase::kReceiving) {
            if (c & bar::kCtrlHrts) saw_hrts = true;
            if (c & bar::kCtrlDataValid) {
                received.push_back(data());
                c &= ~bar::kCtrlDataValid;
            } else if (saw_hrts && !(c & bar::kCtrlHrts)) {
                c &= ~bar::kCtrlFcts;
                if (answer) pending = answer(*this);
                start_answer();
            }
        } else if (phase == Phase::kAnswering) {
            if (c & bar::kCtrlHcts) saw_hcts = true;
            if ((c & bar::kCtrlHcts) && !(c & bar::kCtrlDataValid) && next < pending.size()) {
                data() = pending[next++];
                c |= bar::kCtrlDataValid;
            } else if (saw_hcts && !(c & bar::kCtrlHcts)) {
                // The host took the whole answer, or gave up on it.
                c &= ~bar::kCtrlFrts;
                phase = Phase::kIdle;
            }
        }
    }

    uint32_t read(size_t offset) {
        if (offset >= bar::kWindowAperture && offset < bar::kWindowAperture + 0x1000) {
            const uint32_t address = window_base + static_cast<uint32_t>(offset - bar::kWindowAperture);
            if (address == ctrl_address) step();
            return regs.count(address) ? regs[address] : 0;
        }
        if (offset == bar::kWindowRegister) return window_base;
        if (offset >= bar::kRequestArea && offset < bar::kRequestAreaEnd) return request_area[(offset - bar::kRequestArea) / 4];
        return 0;
    }
    void write(size_t offset, uint32_t value) {
        if (offset == bar::kWindowRegister) {
            window_base = value;
        } else if (offset >= bar::kRequestArea && offset < bar::kRequestAreaEnd) {
            request_area[(offset - bar::kRequestArea) / 4] = value;
        } else if (offset == bar::kDoorbell) {
            ring();
        } else if (offset >= bar::kWindowAperture && offset < bar::kWindowAperture + 0x1000) {
            const uint32_t address = window_base + static_cast<uint32_t>(offset - bar::kWindowAperture);
            if (address == ctrl_address) {
                // The host may change only its own bits.
                const uint32_t host = bar::kCtrlHrts | bar::kCtrlHcts | bar::kCtrlDataValid;
                ctrl() = (ctrl() & ~host) | (value & host);
            } else {
                regs[address] = value;
                reg_writes.push_back({address, value});
                if (on_write) on_write(*this, address, value);
            }
        }
    }
};

class FakeWindow : public host::RegisterWindow {
public:
    explicit FakeWindow(FakeChip& chip) : chip_(chip) { ++chip_.live_windows; }
    ~FakeWindow() override { --chip_.live_windows; }
    size_t size() const override { return 0x10000; }
    uint32_t read32(size_t offset) override { return chip_.read(offset); }
    void write32(size_t offset, uint32_t value) override { chip_.write(offset, value); }

private:
    FakeChip& chip_;
};

class FakeChipHost : public host::LinuxHost {
public:
    static constexpr PciAddress kAddress{0, 0x5e, 0, 0};

    explicit FakeChipHost(uint16_t device_id) : LinuxHost(root_dir().path()), config(4096, 0) {
        put32(0, ZELT_PCI_VENDOR_ID | static_cast<uint32_t>(device_id) << 16);
        put32(bar::kConfigRevision, 0x02000001);
        put16(bar::kConfigSubsystemId, 0x1234);
        chip.regs[bar::kHealthSignature] = 0x48435301;
        chip.regs[bar::kHealthStatus] = 0x8000;
        chip.regs[bar::kMailboxCtrlOlder] = bar::kCtrlSignature;
        chip.regs[bar::kMailboxCtrlNewest] = bar::kCtrlSignature;
    }

    std::unique_ptr<host::RegisterWindow> map_registers(std::string_view, size_t) override {
        ++chip.maps;
        if (map_errno != 0) {
            errno = map_errno;
            return nullptr;
        }
        return std::make_unique<FakeWindow>(chip);
    }
    bool read_pci_config(const host::PciFunction& fn, unsigned offset, void* out, size_t size) override {
        if (!ours(fn) || offset + size > config.size()) return false;
        if (offset == bar::kConfigData && size == 4) {
            uint16_t select;
            std::memcpy(&select, &config[bar::kConfigSelect], 2);
            uint32_t value = 0;
            if ((select & 0x7000) == 0x7000 && select != bar::kConfigWindowRegisterSelect)
                value = chip.read(select);  // the chip window as from BAR0
            else
                value = direct.count(select) ? direct[select] : 0xDEADBEEF;
            std::memcpy(out, &value, 4);
            return true;
        }
        std::memcpy(out, &config[offset], size);
        return true;
    }
    bool write_pci_config(const host::PciFunction& fn, unsigned offset, const void* data, size_t size) override {
        if (!ours(fn) || offset + size > config.size()) return false;
        config_writes.push_back(offset);
        uint16_t select;
        std::memcpy(&select, &config[bar::kConfigSelect], 2);
        if (offset == bar::kConfigData && select == bar::kConfigWindowRegisterSelect && size == 4) {
            uint32_t base;
            std::memcpy(&base, data, 4);
            chip.write(bar::kWindowRegister, base);
            return true;
        }
        std::memcpy(&config[offset], data, size);
        return true;
    }
    struct timeval now() override {
        struct timeval t{};
        t.tv_sec = static_cast<time_t>(clock_ms / 1000);
        t.tv_usec = static_cast<suseconds_t>((clock_ms % 1000) * 1000);
        return t;
    }
    void sleep_ms(unsigned ms) override { clock_ms += ms; }

    void put32(unsigned offset, uint32_t v) { std::memcpy(&config[offset], &v, 4); }
    void put16(unsigned offset, uint16_t v) { std::memcpy(&config[offset], &v, 2); }
    uint16_t selected() const {
        uint16_t s;
        std::memcpy(&s, &config[bar::kConfigSelect], 2);
        return s;
    }

    FakeChip chip;
    std::vector<uint8_t> config;
    std::map<uint16_t, uint32_t> direct{{0x528, 7}, {0x520, 0x8000}};  // direct window words
    std::vector<unsigned> config_writes;
    int map_errno = 0;
    uint64_t clock_ms = 1'000'000;

private:
    static TempDir& root_dir() {
        static TempDir dir;
        return dir;
    }
    static bool ours(const host::PciFunction& fn) {
        return fn.domain == kAddress.domain && fn.bus == kAddress.bus && fn.dev == kAddress.device &&
               fn.func == kAddress.function;
    }
};

// A PF device id of `device_type` from the supported-device table.
inline uint16_t pf_of_type(int device_type) {
    for (const device_info& row : zeltnvm_supported_devices())
        if (row.device_type == device_type && row.function_type == ZELT_FUNCTION_PF) return row.device_id;
    return 0;
}

}  // namespace zelt::test
