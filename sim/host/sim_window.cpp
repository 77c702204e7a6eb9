#include "sim/host/sim_window.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/driver/sim_devices.h"
#include "sim/faults/faults.h"
#include "sim/firmware/firmware.h"
#include "sim/firmware/reset.h"
#include "sim/host/sim_host.h"
#include "sim/state/sim_store.h"
#include "sim/tree/config_space.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::sim {

namespace {

uint64_t now_us(SimHost& host) {
    struct timeval tv = host.now();
    return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

// What the chip knows of its firmware while a window is mapped; read once at mapping
// and again after every message, so register polls cost no access to the state files.
class WindowFirmware : public ChipFirmware {
public:
    WindowFirmware(SimHost& host, std::string address) : host_(host), address_(std::move(address)) {}

    // Loads the chip's configuration and lasting state. False when the function has no BAR0.
    bool load(SimSession& session, ChipConfig& config, ChipState& state, RecoveryChipState& recovery) {
        FunctionRef ref = find_function(session.host(), address_);
        if (!ref || ref.function->is_vf) return false;
        const AdapterDesc& a = *ref.adapter;
        config.newest = a.device_type > 7;
        config.indirect = config.newest && a.indirect_mailbox;
        config.multi_host = a.multi_host;
        config.mailbox_present = !chip_fault(session.host(), a, *ref.function, "no_mailbox");
        config.bar_size = bar0_size(a);
        config.recovery = recovery_chip_config(a);
        recovery = session.adapter_state(a.name).chip;
        busy_stuck_ = chip_fault(session.host(), a, *ref.function, "mailbox_busy") != nullptr;
        const FaultDesc* sick = chip_fault(session.host(), a, *ref.function, "fw_not_operational");
        not_operational_ = sick != nullptr;
        sick_value_ = sick && sick->value ? sick->value : kHealthNotOperational;
        down_until_us_ = session.adapter_state(a.name).down_until_us;
        state = session.state().chips[address_];
        return true;
    }

    uint32_t health() override {
        if (not_operational_) return sick_value_;
        return now_us(host_) < down_until_us_ ? 0 : wire::bar::kHealthHealthy;
    }
    bool busy_after_reset() override { return busy_stuck_ || now_us(host_) < down_until_us_; }

    ExchangeFaults doorbell(std::span<const uint8_t> request) override {
        ExchangeFaults out;
        uint16_t req_type = 0;
        if (request.size() >= 2) std::memcpy(&req_type, request.data(), 2);
        with_function([&](SimSession& s, FunctionRef ref) {
            MailboxFaults f = match_mailbox_faults(s, *ref.adapter, *ref.function, req_type);
            out = ExchangeFaults{f.silent, f.oversize, f.wrong_tag};
        });
        return out;
    }

    MailboxAnswer answer(std::span<const uint8_t> request, std::span<uint8_t> payload) override {
        MailboxAnswer out;
        out.silent = true;
        with_function([&](SimSession& s, FunctionRef ref) {
            out = mailbox_firmware_answer(s, *ref.adapter, *ref.function, request, payload);
            down_until_us_ = s.adapter_state(ref.adapter->name).down_until_us;
        });
        return out;
    }

    void store_chip(const RecoveryChipState& chip) override {
        with_function([&](SimSession& s, FunctionRef ref) { s.adapter_state(ref.adapter->name).chip = chip; });
    }

    void boot_from_nvm(RecoveryChipState& chip, uint16_t) override {
        with_function([&](SimSession& s, FunctionRef ref) {
            FirmwareContext ctx{*ref.adapter, *ref.function, s.adapter_state(ref.adapter->name),
                                s.flash_model(ref.adapter->name), s.now_us(), &s.host().faults};
            FirmwareChipHost(ctx, 0).boot_from_nvm(chip);
            down_until_us_ = ctx.state.down_until_us;
        });
    }

    bool reload_chip(RecoveryChipState& chip) override {
        return with_function([&](SimSession& s, FunctionRef ref) { chip = s.adapter_state(ref.adapter->name).chip; });
    }

    // Runs `work` on the function under a locked session and saves what it changed.
    template <class Work>
    bool with_function(Work work) {
        std::string error;
        auto session = SimSession::open(host_.root(), error);
        if (!session) return false;
        FunctionRef ref = find_function(session->host(), address_);
        if (!ref) return false;
        work(*session, ref);
        return session->save(error);
    }

    const std::string& address() const { return address_; }

private:
    SimHost& host_;
    std::string address_;
    bool busy_stuck_ = false;
    bool not_operational_ = false;
    uint32_t sick_value_ = 0;
    uint64_t down_until_us_ = 0;
};

class SimRegisterWindow : public host::RegisterWindow {
public:
    SimRegisterWindow(SimHost& host, std::string address, size_t size)
        : firmware_(host, std::move(address)), size_(size) {}

    // Loads the chip; with `counted`, the window is a mapping that the state counts.
    // False when the function has no BAR0 or `size` goes beyond it.
    bool open(bool counted) {
        counted_ = counted;
        ChipConfig config;
        ChipState state;
        RecoveryChipState recovery;
        firmware_.with_function([&](SimSession& s, FunctionRef) {
            if (!firmware_.load(s, config, state, recovery)) return;
            if (size_ == 0) size_ = config.bar_size;
            if (size_ > config.bar_size) return;
            if (counted_) {
                ChipState& lasting = s.state().chips[firmware_.address()];
                ++lasting.open_windows;
                ++lasting.windows_mapped;
            }
            loaded_ = true;
        });
        if (!loaded_) return false;
        config.bar_size = size_;
        chip_ = std::make_unique<BarChip>(config, state, firmware_, recovery);
        return true;
    }

    ~SimRegisterWindow() override {
        if (!loaded_) return;
        firmware_.with_function([&](SimSession& s, FunctionRef ref) {
            ChipState& lasting = s.state().chips[firmware_.address()];
            if (chip_) {
                ChipState now = chip_->state();
                lasting.window_base = now.window_base;
                lasting.host_ctrl = now.host_ctrl;
                // Chip memory written since the last register change.
                if (chip_->recovery_unsaved()) s.adapter_state(ref.adapter->name).chip = chip_->recovery_state();
            }
            if (counted_ && lasting.open_windows > 0) --lasting.open_windows;
        });
    }

    size_t size() const override { return size_; }
    uint32_t read32(size_t offset) override { return chip_->read32(offset); }
    void write32(size_t offset, uint32_t value) override { chip_->write32(offset, value); }
    BarChip& chip() { return *chip_; }

private:
    WindowFirmware firmware_;
    size_t size_;
    bool counted_ = false;
    bool loaded_ = false;
    std::unique_ptr<BarChip> chip_;
};

std::string function_address(const host::PciFunction& fn) {
    char text[32];
    std::snprintf(text, sizeof text, "%04x:%02x:%02x.%x", fn.domain, fn.bus, fn.dev, fn.func);
    return text;
}

// The register a configuration select word names in BAR0, if any.
bool select_names_bar(uint16_t select, size_t& offset) {
    if (select == wire::bar::kConfigWindowRegisterSelect) {
        offset = wire::bar::kWindowRegister;
        return true;
    }
    if ((select & 0xF000u) == wire::bar::kWindowAperture) {
        offset = select;
        return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<host::RegisterWindow> map_sim_registers(SimHost& host, std::string_view resource_path, size_t size) {
    unsigned domain, bus, dev, func;
    int end = 0;
    const std::string path(resource_path);
    if (std::sscanf(path.c_str(), "/sys/bus/pci/devices/%4x:%2x:%2x.%1x/resource0%n", &domain, &bus, &dev, &func,
                    &end) != 4 ||
        static_cast<size_t>(end) != path.size() || !host.exists(path)) {
        errno = ENOENT;
        return nullptr;
    }
    host::PciFunction fn;
    fn.domain = static_cast<uint16_t>(domain);
    fn.bus = static_cast<uint8_t>(bus);
    fn.dev = static_cast<uint8_t>(dev);
    fn.func = static_cast<uint8_t>(func);
    // Mapping a resource file takes administrative rights; "bar_denied" refuses it as
    // a kernel in lockdown does.
    bool denied = true;
    std::string error;
    if (auto session = SimSession::open(host.root(), error)) {
        FunctionRef ref = find_function(session->host(), domain, bus, dev, func);
        denied = !ref || !session->host().root_user ||
                 chip_fault(session->host(), *ref.adapter, *ref.function, "bar_denied") != nullptr;
    }
    if (denied) {
        errno = EACCES;
        return nullptr;
    }
    auto window = std::make_unique<SimRegisterWindow>(host, function_address(fn), size);
    if (!window->open(/*counted=*/true)) {
        errno = EINVAL;
        return nullptr;
    }
    return window;
}

bool config_bar_window_read(SimHost& host, const host::PciFunction& fn, uint16_t select, uint32_t& value) {
    size_t offset;
    if (!select_names_bar(select, offset)) return false;
    SimRegisterWindow window(host, function_address(fn), 0);
    if (!window.open(/*counted=*/false)) return false;
    value = window.read32(offset);
    return true;
}

bool config_bar_window_write(SimHost& host, const host::PciFunction& fn, uint16_t select, uint32_t value) {
    size_t offset;
    if (!select_names_bar(select, offset)) return false;
    SimRegisterWindow window(host, function_address(fn), 0);
    if (!window.open(/*counted=*/false)) return false;
    window.write32(offset, value);
    return true;
}

bool sim_function_silent(SimHost& host, const host::PciFunction& fn) {
    std::string error;
    auto session = SimSession::open(host.root(), error);
    if (!session) return false;
    FunctionRef ref = find_function(session->host(), fn.domain, fn.bus, fn.dev, fn.func);
    if (!ref) return false;
    for (const FaultDesc& f : session->host().faults) {
        if (f.kind != "unresponsive" || f.req_type >= 0 || f.ethtool_cmd >= 0) continue;
        if (!f.adapter.empty() && f.adapter != ref.adapter->name) continue;
        if (!f.function.empty() && f.function != ref.function->address() && f.function != ref.function->ifname)
            continue;
        return true;
    }
    return session->now_us() < session->adapter_state(ref.adapter->name).down_until_us;
}

}  // namespace zelt::sim
