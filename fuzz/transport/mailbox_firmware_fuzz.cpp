// The firmware's side of the PCI mailbox as the tool sees it, taken from the input:
// every read of the mailbox CTRL and DATA registers returns the next dword of the
// input (block headers of any type and length, tags, data valid and ready bits in any
// order). The response record and the data buffer are heap blocks of their exact size,
// so a read or write past either is caught.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/supported_devices.h"
#include "host/linux_host.h"
#include "transport/mailbox.h"
#include "wire/hwrm_messages.h"
#include "wire/pci_mailbox_registers.h"

using namespace zelt;
namespace bar = zelt::wire::bar;

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint32_t dword() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i, ++pos) v |= static_cast<uint32_t>(pos < size ? data[pos] : 0) << (8 * i);
        return v;
    }
    bool used_up() const { return pos >= size; }
};

class InputWindow : public host::RegisterWindow {
public:
    explicit InputWindow(Input& in) : in_(in) {}
    size_t size() const override { return 0x8000; }
    uint32_t read32(size_t offset) override {
        if (offset < bar::kWindowAperture) return 0;
        const uint32_t address = base_ + static_cast<uint32_t>(offset - bar::kWindowAperture);
        if (address == bar::kHealthSignature) return 0;  // health register not trusted: always running
        // Once the input is used up the firmware goes silent, so every exchange ends.
        if (in_.used_up()) return address == bar::kMailboxCtrlOlder ? bar::kCtrlSignature : 0;
        return in_.dword();
    }
    void write32(size_t offset, uint32_t value) override {
        if (offset == bar::kWindowRegister) base_ = value;
    }

private:
    Input& in_;
    uint32_t base_ = 0;
};

class FuzzHost : public host::LinuxHost {
public:
    FuzzHost(std::string root, Input& in) : LinuxHost(std::move(root)), in_(in) {}
    std::unique_ptr<host::RegisterWindow> map_registers(std::string_view, size_t) override {
        return std::make_unique<InputWindow>(in_);
    }
    bool read_pci_config(const host::PciFunction&, unsigned offset, void* out, size_t size) override {
        std::memset(out, 0, size);
        if (offset == 0 && size >= 4) {
            const uint32_t ids = ZELT_PCI_VENDOR_ID | static_cast<uint32_t>(device_id_) << 16;
            std::memcpy(out, &ids, 4);
        }
        if (offset <= 0x2E && offset + size >= 0x30) static_cast<uint8_t*>(out)[0x2E - offset] = 1;
        return true;
    }
    bool write_pci_config(const host::PciFunction&, unsigned, const void*, size_t) override { return true; }
    struct timeval now() override {
        // Time moves with every look at the clock so that every wait ends. Once the
        // input is used up the firmware stays silent, so nothing can change before a
        // time-out: time then runs fast, and the waits end after a few polls instead
        // of thousands.
        clock_ms_ += in_.used_up() ? 5000 : 50;
        struct timeval t{};
        t.tv_sec = static_cast<time_t>(clock_ms_ / 1000);
        t.tv_usec = static_cast<suseconds_t>((clock_ms_ % 1000) * 1000);
        return t;
    }
    void sleep_ms(unsigned ms) override { clock_ms_ += ms; }
    void set_device_id(uint16_t id) { device_id_ = id; }

private:
    Input& in_;
    uint64_t clock_ms_ = 0;
    uint16_t device_id_ = 0;
};

// The root of the host's files: only the bus lock is taken there, once per input. A
// memory file system keeps that lock cheap (no journal behind each lock file write).
const std::string& lock_root() {
    static const std::string root = [] {
        char in_memory[] = "/dev/shm/zelt-mailbox-fuzz-XXXXXX";
        if (const char* dir = ::mkdtemp(in_memory)) return std::string(dir);
        char on_disk[] = "/tmp/zelt-mailbox-fuzz-XXXXXX";
        const char* dir = ::mkdtemp(on_disk);
        return std::string(dir ? dir : "/tmp");
    }();
    return root;
}

uint16_t older_pf() {
    for (const device_info& row : zeltnvm_supported_devices())
        if (row.device_type == 5 && row.function_type == ZELT_FUNCTION_PF) return row.device_id;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    Input in{data + 4, size - 4};
    FuzzHost host(lock_root(), in);
    host.set_device_id(older_pf());
    // The first bytes pick the message, the record and the buffer sizes and direction.
    const uint16_t req_type = (data[0] & 1) ? HWRM_PORT_DSC_DUMP : HWRM_NVM_READ;
    const uint32_t resp_len = 16u + (data[1] & 0x3Fu);
    const uint32_t data_len = data[2];
    const uint8_t direction = data[3] & 1;
    std::vector<uint8_t> req(24, 0);
    std::memcpy(req.data(), &req_type, 2);
    std::unique_ptr<uint8_t[]> resp(new uint8_t[resp_len]());
    std::unique_ptr<uint8_t[]> buffer(data_len ? new uint8_t[data_len]() : nullptr);
    transport::HwrmData buf{buffer.get(), data_len, 16, direction};
    transport::Message msg{req.data(), static_cast<uint32_t>(req.size()), resp.get(), resp_len,
                           data_len ? &buf : nullptr};
    transport::MailboxRun run;
    (void)transport::zeltnvm_issue_pci_ioctl(host, run, PciAddress{0, 0x3b, 0, 0}, msg);
    return 0;
}
