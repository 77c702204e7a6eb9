// The PCI mailbox handshake. The host writes the request into the request area and
// rings the doorbell; a data buffer for the firmware follows dword by dword through
// DATA (host ready to send, firmware clear to send); the answer comes back as blocks
// behind a header dword (firmware ready to send, host clear to send). Every dword moved
// through DATA is acknowledged by the data-valid bit.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "host/host.h"
#include "host/interrupt.h"
#include "log/print.h"
#include "transport/bar_window.h"
#include "transport/fw_health.h"
#include "transport/mailbox.h"
#include "transport/mailbox_release.h"
#include "transport/pci_bus_lock.h"
#include "wire/hwrm_header.h"
#include "wire/hwrm_messages.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::transport {

namespace bar = wire::bar;

bool MailboxRun::is_unresponsive(const PciAddress& address) const {
    return std::any_of(unresponsive.begin(), unresponsive.end(),
                       [&](const UnresponsiveFunction& f) { return f.address == address; });
}

void MailboxRun::mark_unresponsive(const PciAddress& address, uint8_t state) {
    if (!is_unresponsive(address)) unresponsive.push_back(UnresponsiveFunction{address, state});
}

namespace {

constexpr unsigned kPollSpins = 64;          // CTRL polls before the first sleep
constexpr unsigned kConfigPollMs = 100;      // while waiting for a silent function
constexpr uint64_t kFunctionWaitMs = 3000;
constexpr uint64_t kBusyAfterResetMs = 6000;
constexpr uint64_t kIdleWaitMs = 2000;       // firmware idle before a request
constexpr uint64_t kStepMs = 2000;           // after every step that makes progress
constexpr uint64_t kPayloadStartMs = 10000;
constexpr uint64_t kAfterPayloadBlockMs = 35000;
constexpr size_t kConfigBytes = 256;

uint64_t now_ms(host::Host& host) {
    const struct timeval t = host.now();
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_usec) / 1000u;
}

// The whole time a response may take, by message.
uint64_t response_limit_ms(uint16_t req_type) {
    switch (req_type) {
        case HWRM_NVM_DEFRAG: return 150000;
        case HWRM_PORT_DSC_DUMP: return 180000;
        case HWRM_SELFTEST_RETRIEVE_SERDES_DATA: return 45000;
        case HWRM_NVM_INSTALL_UPDATE: return 100000;
        default: return 35000;
    }
}

uint16_t le16_at(const void* p, size_t offset) {
    const auto* b = static_cast<const uint8_t*>(p) + offset;
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

void put_le32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t get_le32(const uint8_t* p, size_t available) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && i < available; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

// Device type of the function from its ids; -1 when unreadable or not supported.
int device_type_at(host::Host& host, const PciAddress& address) {
    uint32_t ids = 0;
    if (!config_read32(host, address, 0, ids)) return -1;
    if ((ids & 0xFFFFu) != ZELT_PCI_VENDOR_ID) return -1;
    return zeltnvm_table_device_type(static_cast<uint16_t>(ids >> 16));
}

// One mapped mailbox of one function for one exchange, with the bus lock held by the
// caller. Unmapped on every failure and when destroyed.
class Mailbox {
public:
    Mailbox(host::Host& host, MailboxRun& run, const PciAddress& address, int device_type)
        : host_(host), run_(run), address_(address), device_type_(device_type), window_(nullptr) {}
    ~Mailbox() { unmap(); }
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    int32_t init();
    int32_t send_request(const Message& msg, uint16_t req_type, uint32_t& add_status);
    int32_t receive_response(const Message& msg, uint16_t req_type, uint32_t& add_status);
    const Bar0Window& window() const { return window_; }

private:
    int32_t wait_for_function();
    uint32_t ctrl() const { return window_.read_chip(ctrl_address_); }
    void write_ctrl(uint32_t value) const { window_.write_chip(ctrl_address_, value); }
    uint32_t data() const { return window_.read_chip(ctrl_address_ + bar::kMailboxDataDistance); }
    void write_data(uint32_t value) const { window_.write_chip(ctrl_address_ + bar::kMailboxDataDistance, value); }
    void set_host_bits(uint32_t bits) const { write_ctrl((ctrl() & bar::kCtrlHostMask) | bits); }
    void clear_data_valid() const { write_ctrl(ctrl() & ~bar::kCtrlDataValid); }
    void set_data_valid() const { write_ctrl(ctrl() | bar::kCtrlDataValid); }
    // Leaves the handshake clean for the next exchange.
    void clear_handshake() const {
        if (window_.mapped()) write_ctrl(ctrl() & bar::kCtrlHostMask & ~bar::kCtrlDataValid);
    }
    void unmap() {
        mailbox_release_forget();
        window_.unmap();
    }
    int32_t fail(int32_t status) {
        clear_handshake();
        unmap();
        return status;
    }
    // Waits up to `ms` for `ready` on CTRL; false on time-out.
    template <class Pred>
    bool poll_ctrl(uint64_t ms, Pred ready);
    // Waits for data valid to be `set` before `deadline` (ms).
    bool wait_data_valid(bool set, uint64_t deadline);
    void pause(unsigned& spins) {
        if (++spins < kPollSpins) return;
        spins = 0;
        host_.sleep_ms(1);
    }
    int32_t send_payload(const Message& msg, uint32_t& add_status);
    bool read_block(uint8_t* out, size_t room, uint32_t dwords, uint64_t& deadline);

    host::Host& host_;
    MailboxRun& run_;
    PciAddress address_;
    int device_type_;
    Bar0Window window_;
    uint32_t ctrl_address_ = 0;
    bool multi_host_ = false;
    uint32_t tag_ = 0;
};

int32_t Mailbox::wait_for_function() {
    if (run_.is_unresponsive(address_)) return run_.recovery_mode ? 0 : ZELT_PCI_IOCTL_HOST_TIMEOUT;
    const uint64_t deadline = now_ms(host_) + kFunctionWaitMs;
    uint16_t ssid = 0xFFFF;
    for (;;) {
        if (config_read16(host_, address_, bar::kConfigSubsystemId, ssid) && ssid != 0xFFFF) return 0;
        if (now_ms(host_) >= deadline) break;
        host_.sleep_ms(kConfigPollMs);
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s:FW on device (%04x:%02x:%02x:%x) not responding (SSID:0x%x)\n",
                  __func__, address_.domain, address_.bus, address_.device, address_.function, ssid);
    run_.mark_unresponsive(address_, 0);
    return ZELT_PCI_IOCTL_HOST_TIMEOUT;
}

template <class Pred>
bool Mailbox::poll_ctrl(uint64_t ms, Pred ready) {
    const uint64_t deadline = now_ms(host_) + ms;
    unsigned spins = 0;
    for (;;) {
        if (ready(ctrl())) return true;
        if (now_ms(host_) >= deadline) return false;
        pause(spins);
    }
}

bool Mailbox::wait_data_valid(bool set, uint64_t deadline) {
    unsigned spins = 0;
    for (;;) {
        if (((ctrl() & bar::kCtrlDataValid) != 0) == set) return true;
        if (now_ms(host_) >= deadline) return false;
        pause(spins);
    }
}

int32_t Mailbox::init() {
    if (device_type_ < 0) return ZELT_PCI_IOCTL_DEVICE_NOT_FOUND;
    if (is_newest_family(device_type_)) {
        uint32_t class_rev = 0;
        if (!config_read32(host_, address_, bar::kConfigRevision, class_rev) || (class_rev & 0xFF) == 0)
            return ZELT_PCI_IOCTL_DEVICE_NOT_FOUND;
    }
    auto mapped = map_bar0(host_, address_);
    if (!mapped) return mapped.result().code();
    window_ = std::move(*mapped);
    if (const int32_t rc = wait_for_function(); rc != 0) return fail(rc);

    ctrl_address_ = is_newest_family(device_type_) ? bar::kMailboxCtrlNewest : bar::kMailboxCtrlOlder;
    if ((ctrl() & bar::kCtrlSignatureMask) != bar::kCtrlSignature) {
        if (!is_newest_family(device_type_)) return fail(ZELT_PCI_IOCTL_SIGNATURE_MISMATCH);
        // The newest family may keep its mailbox elsewhere, named by a signature block.
        if (window_.read_chip(bar::kIndirectBlock + bar::kIndirectSignatureOffset) != bar::kIndirectSignature)
            return fail(ZELT_PCI_IOCTL_SIGNATURE_MISMATCH);
        const uint32_t indirect = window_.read_chip(bar::kIndirectBlock + bar::kIndirectCtrlAddressOffset);
        if ((window_.read_chip(indirect) & bar::kCtrlSignatureMask) != bar::kCtrlSignature)
            return fail(ZELT_PCI_IOCTL_SIGNATURE_MISMATCH);
        ctrl_address_ = indirect;
    }
    mailbox_release_arm(window_.raw(), ctrl_address_);
    if (!poll_ctrl(kBusyAfterResetMs, [](uint32_t c) { return (c & bar::kCtrlBusyAfterReset) == 0; }))
        return fail(ZELT_PCI_IOCTL_BUSY);
    multi_host_ = (ctrl() & bar::kCtrlMultiHost) != 0;
    return 0;
}

int32_t Mailbox::send_request(const Message& msg, uint16_t req_type, uint32_t& add_status) {
    add_status = 0;
    const uint32_t firmware_bits = bar::kCtrlFcts | bar::kCtrlFrts;
    if (!poll_ctrl(kIdleWaitMs, [&](uint32_t c) { return (c & firmware_bits) == 0; })) return fail(ZELT_PCI_IOCTL_BUSY);

    // The request area ends at the doorbell: a longer request cannot be sent.
    if (msg.req_len > bar::kRequestAreaEnd - bar::kRequestArea) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "request of %u bytes does not fit the request area\n",
                      msg.req_len);
        return fail(ZELT_PCI_IOCTL_FAILURE);
    }
    std::vector<uint8_t> request(static_cast<const uint8_t*>(msg.req),
                                 static_cast<const uint8_t*>(msg.req) + msg.req_len);
    const bool with_data = msg.data && msg.data->data && msg.data->length > 0;
    if (multi_host_) {
        if (run_.tag_state == 0) run_.tag_state = std::random_device{}() | 1u;
        // xorshift: a fresh, non-repeating-looking tag for every request.
        run_.tag_state ^= run_.tag_state << 13;
        run_.tag_state ^= run_.tag_state >> 17;
        run_.tag_state ^= run_.tag_state << 5;
        tag_ = run_.tag_state;
        if (request.size() >= bar::kTagOffsetResponseAddress + 4) put_le32(&request[bar::kTagOffsetResponseAddress], tag_);
        const uint32_t dma_offset =
            req_type == HWRM_PCIE_QSTATS ? bar::kTagOffsetDmaAddressPcieStats : bar::kTagOffsetDmaAddress;
        if (with_data && request.size() >= dma_offset + 4) put_le32(&request[dma_offset], tag_);
    }
    for (size_t i = 0; i + 4 <= request.size(); i += 4)
        window_.write(bar::kRequestArea + static_cast<uint32_t>(i), get_le32(&request[i], 4));
    window_.write(bar::kDoorbell, 1);

    if (with_data && msg.data->direction == 0) {
        if (!run_.fastboot_running && !run_.recovery_mode) {
            const FwHealth health = check_fw_health(host_, address_, window_, device_type_);
            if (!health.operational) {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                              "%s:FW might not in operational state or failed to read the fw register value.\n",
                              __func__);
                return fail(ZELT_PCI_IOCTL_HOST_TIMEOUT);
            }
        }
        const int32_t rc = send_payload(msg, add_status);
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "req_type = 0x%x failed with status = %d add_status = %d\n",
                          req_type, rc, add_status);
            return fail(rc);
        }
    }
    add_status = 0;
    return 0;
}

int32_t Mailbox::send_payload(const Message& msg, uint32_t& add_status) {
    const auto* bytes = static_cast<const uint8_t*>(msg.data->data);
    const size_t length = msg.data->length;
    const size_t dwords = (length + 3) / 4;
    uint32_t state = bar::ZELT_PCI_IOCTL_QUERY_FCTS;
    uint64_t deadline = now_ms(host_) + kPayloadStartMs;
    size_t next = 0;
    bool tag_sent = !multi_host_;
    unsigned spins = 0;
    while (now_ms(host_) < deadline) {
        const uint32_t c = ctrl();
        bool progress = false;
        switch (state) {
            case bar::ZELT_PCI_IOCTL_QUERY_FCTS:
                if ((c & bar::kCtrlFcts) && !(c & bar::kCtrlFrts)) {
                    set_host_bits(bar::kCtrlHrts);
                    state = bar::ZELT_PCI_IOCTL_SET_HRTS;
                    progress = true;
                }
                break;
            case bar::ZELT_PCI_IOCTL_SET_HRTS:
                if (c & bar::kCtrlHrts) {
                    state = bar::ZELT_PCI_IOCTL_SEND_PAYLOAD;
                    progress = true;
                }
                break;
            default:
                if (c & bar::kCtrlDataValid) break;
                if (!tag_sent) {
                    write_data(tag_);
                    set_data_valid();
                    tag_sent = true;
                } else if (next < dwords) {
                    write_data(get_le32(bytes + next * 4, length - next * 4));
                    set_data_valid();
                    ++next;
                } else {
                    write_ctrl(ctrl() & bar::kCtrlHostMask);
                    add_status = 0;
                    return 0;
                }
                progress = true;
                break;
        }
        if (progress) {
            deadline = now_ms(host_) + kStepMs;
            spins = 0;
        } else {
            pause(spins);
        }
    }
    add_status = state;
    return ZELT_PCI_IOCTL_HOST_TIMEOUT;  // the caller clears the handshake and unmaps
}

bool Mailbox::read_block(uint8_t* out, size_t room, uint32_t dwords, uint64_t& deadline) {
    for (uint32_t i = 0; i < dwords; ++i) {
        if (!wait_data_valid(true, deadline)) return false;
        const uint32_t word = data();
        clear_data_valid();
        const size_t at = static_cast<size_t>(i) * 4;
        for (size_t b = 0; b < 4 && at + b < room; ++b) out[at + b] = static_cast<uint8_t>(word >> (8 * b));
        deadline = now_ms(host_) + kStepMs;
    }
    return true;
}

int32_t Mailbox::receive_response(const Message& msg, uint16_t req_type, uint32_t& add_status) {
    const uint64_t limit = response_limit_ms(req_type);
    if (!run_.fastboot_running && !run_.recovery_mode) {
        const FwHealth health = check_fw_health(host_, address_, window_, device_type_);
        if (!health.operational) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                          "%s:FW might not in operational state or failed to read the fw register value.\n", __func__);
            return fail(ZELT_PCI_IOCTL_HOST_TIMEOUT);
        }
        if (run_.is_unresponsive(address_)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "PCI Device[%d] %04x:%02x ushi_fw_state = %d\n",
                          static_cast<int>(run_.unresponsive.size()), address_.domain, address_.bus,
                          static_cast<int>(bar::ZELT_PCI_IOCTL_QUERY_FRTS));
            return fail(ZELT_PCI_IOCTL_HOST_TIMEOUT);
        }
    }
    const bool reads_data = msg.data && msg.data->data && msg.data->direction == 1;
    auto* buffer = reads_data ? static_cast<uint8_t*>(msg.data->data) : nullptr;
    const size_t buffer_len = reads_data ? msg.data->length : 0;
    size_t delivered = 0;
    auto* record = static_cast<uint8_t*>(msg.resp);

    uint32_t state = bar::ZELT_PCI_IOCTL_QUERY_FRTS;
    uint32_t header = 0;
    uint64_t deadline = now_ms(host_) + limit;
    unsigned spins = 0;
    // Where a block of this header goes, with the length checks; the next state.
    auto route_block = [&](bool response) -> int32_t {
        const uint32_t length = bar::block_length(header);
        if (response) {
            if (length > msg.resp_len) return ZELT_PCI_IOCTL_INVALID_HWRM_RESP_LENGTH;
            state = bar::ZELT_PCI_IOCTL_GET_HEADER;
        } else {
            if (length > buffer_len - delivered) return ZELT_PCI_IOCTL_INVALID_PAYLOAD_LENGTH;
            state = bar::ZELT_PCI_IOCTL_GET_PAYLOAD;
        }
        return 0;
    };
    for (;;) {
        if (now_ms(host_) >= deadline) break;
        const uint32_t c = ctrl();
        bool progress = false;
        switch (state) {
            case bar::ZELT_PCI_IOCTL_QUERY_FRTS:
                if (!(c & bar::kCtrlFcts) && (c & bar::kCtrlFrts)) {
                    if (!(c & bar::kCtrlHcts)) set_host_bits(bar::kCtrlHcts);
                    state = bar::ZELT_PCI_IOCTL_SET_HCTS;
                    progress = true;
                }
                break;
            case bar::ZELT_PCI_IOCTL_SET_HCTS: {
                if (!(c & bar::kCtrlDataValid)) break;
                header = data();
                clear_data_valid();
                const uint32_t type = bar::block_type(header);
                int32_t rc = 0;
                if (type == bar::kBlockPayload) {
                    rc = route_block(false);
                } else if (type & bar::kBlockTypeHasTag) {
                    state = bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER;
                } else {
                    rc = route_block(true);
                }
                if (rc != 0) {
                    add_status = bar::ZELT_PCI_IOCTL_SET_HCTS;
                    return fail(rc);
                }
                progress = true;
                break;
            }
            case bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER: {
                if (!(c & bar::kCtrlDataValid)) break;
                const uint32_t word = data();
                clear_data_valid();
                if (word != tag_) {
                    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                                  "data_word = 0x%x mismatched with ramdom_address = 0x%x\n", word, tag_);
                    add_status = bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER;
                    return fail(req_type == HWRM_PORT_DSC_DUMP ? ZELT_PCI_IOCTL_RETRY : ZELT_PCI_IOCTL_BUSY);
                }
                const int32_t rc = route_block(bar::block_type(header) == bar::kBlockTaggedResponse);
                if (rc != 0) {
                    add_status = bar::ZELT_PCI_IOCTL_GET_SECONDARY_HEADER;
                    return fail(rc);
                }
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "State %d : polling_time = %d t_val = %d\n",
                              static_cast<int>(state), static_cast<int>(limit / 1000),
                              static_cast<int>(bar::block_length(header)));
                progress = true;
                break;
            }
            case bar::ZELT_PCI_IOCTL_GET_PAYLOAD:
                if (!read_block(buffer + delivered, buffer_len - delivered, bar::block_dwords(header), deadline))
                    break;
                delivered += bar::block_length(header);
                state = bar::ZELT_PCI_IOCTL_QUERY_FRTS;
                deadline = now_ms(host_) + kAfterPayloadBlockMs;
                continue;
            default:  // ZELT_PCI_IOCTL_GET_HEADER
                if (!read_block(record, msg.resp_len, bar::block_dwords(header), deadline)) break;
                write_ctrl(ctrl() & bar::kCtrlHostMask);
                add_status = 0;
                unmap();
                return 0;
        }
        if (progress) {
            deadline = now_ms(host_) + kStepMs;
            spins = 0;
        } else if (state != bar::ZELT_PCI_IOCTL_GET_PAYLOAD && state != bar::ZELT_PCI_IOCTL_GET_HEADER) {
            pause(spins);
        }
    }
    add_status = state;
    if (state == bar::ZELT_PCI_IOCTL_QUERY_FRTS) {
        run_.mark_unresponsive(address_, static_cast<uint8_t>(state));
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "ushi device[%d] = %04x:%02x:%02x.%x\n",
                      static_cast<int>(run_.unresponsive.size() - 1), address_.domain, address_.bus,
                      address_.device, address_.function);
    }
    return fail(ZELT_PCI_IOCTL_HOST_TIMEOUT);
}

// Enables bus mastering for the exchange when recovery needs it, and puts the command
// word back afterwards.
class BusMaster {
public:
    BusMaster(host::Host& host, const PciAddress& address, uint16_t command, bool needed)
        : host_(host), address_(address), command_(command),
          enabled_(needed && !(command & bar::kCommandBusMaster) &&
                   config_write16(host, address, bar::kConfigCommand, command | bar::kCommandBusMaster)) {}
    ~BusMaster() {
        if (enabled_) (void)config_write16(host_, address_, bar::kConfigCommand, command_);
    }
    BusMaster(const BusMaster&) = delete;
    BusMaster& operator=(const BusMaster&) = delete;

private:
    host::Host& host_;
    PciAddress address_;
    uint16_t command_;
    bool enabled_;
};

MailboxOutcome exchange_once(host::Host& host, MailboxRun& run, const PciAddress& a, const Message& msg) {
    MailboxOutcome out;
    const uint16_t req_type = le16_at(msg.req, 0);
    uint8_t cfg[kConfigBytes];
    if (!host.read_pci_config(pci_function_at(a), 0, cfg, sizeof cfg)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "PCI cfg data failed for BDF(%x:%x.%x)\n", a.bus, a.device,
                      a.function);
        out.status = ZELT_PCI_IOCTL_DEVICE_NOT_FOUND;
        return out;
    }
    auto lock = acquire_pci_bus_lock(host, a.domain, a.bus);
    if (!lock) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                      "Error: Hardware is busy to process requested command, please retry\n");
        out.status = lock.result().code();
        return out;
    }
    Mailbox mailbox(host, run, a, device_type_at(host, a));
    out.status = mailbox.init();
    if (out.status != 0) {
        switch (out.status) {
            case ZELT_PCI_IOCTL_BUSY:
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Adapter is busy. Please try again after some time\n");
                break;
            case ZELT_PCI_IOCTL_SIGNATURE_MISMATCH:
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "LFC driver not loaded. Please load zelt_lfc driver.\n");
                break;
            case ZELT_PCI_IOCTL_HOST_TIMEOUT:
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Device not responding. Please use the recovery option.\n");
                break;
            default: break;
        }
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "pci_init failed with status %d\n", out.status);
        return out;
    }
    const uint16_t command = static_cast<uint16_t>(cfg[bar::kConfigCommand] | cfg[bar::kConfigCommand + 1] << 8);
    BusMaster bus_master(host, a, command, run.recovery_mode && !run.fastboot_running);

    out.status = mailbox.send_request(msg, req_type, out.add_status);
    if (out.status != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                      "Error: Command request failed on dev: 0x%x:0x%x.0x%x cmd:0x%x status:0x%x add_status: 0x%x\n",
                      a.bus, a.device, a.function, req_type, out.status, out.add_status);
        return out;
    }
    out.status = mailbox.receive_response(msg, req_type, out.add_status);
    if (out.status == ZELT_PCI_IOCTL_BUSY || out.status == ZELT_PCI_IOCTL_RETRY)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Adapter is busy. Please try again after some time\n");
    if (out.status != 0)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                      "Error: Command response failed on dev: 0x%x:0x%x.0x%x cmd:0x%x status:0x%x add_status: 0x%x\n",
                      a.bus, a.device, a.function, req_type, out.status, out.add_status);
    return out;
}

}  // namespace

MailboxOutcome zeltnvm_issue_pci_ioctl(host::Host& host, MailboxRun& run, const PciAddress& address,
                                       const Message& msg) {
    MailboxOutcome out = exchange_once(host, run, address, msg);
    for (int retry = 0; out.status == ZELT_PCI_IOCTL_RETRY && retry < kMailboxRetries; ++retry) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Retrying cmd:0x%x again\n", le16_at(msg.req, 0));
        std::memset(msg.resp, 0, msg.resp_len);
        out = exchange_once(host, run, address, msg);
    }
    return out;
}

Result mailbox_exchange(host::Host& host, MailboxRun& run, const PciAddress& address, const Message& msg) {
    const MailboxOutcome out = zeltnvm_issue_pci_ioctl(host, run, address, msg);
    if (out.status == ZELT_PCI_IOCTL_BUSY) return Result::tool(ZELT_RC_BUSY);
    return Result::tool(out.status);
}

}  // namespace zelt::transport
