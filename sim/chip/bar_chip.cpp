#include "sim/chip/bar_chip.h"

#include <algorithm>
#include <cstring>

#include "wire/pci_mailbox_registers.h"

namespace zelt::sim {

namespace bar = wire::bar;

namespace {

// Bits of CTRL the host writes; the firmware owns the rest.
constexpr uint32_t kHostBits = bar::kCtrlHrts | bar::kCtrlHcts | bar::kCtrlDataValid;
// What a tag that is not the request's differs by.
constexpr uint32_t kWrongTagFlip = 0x00A5A500u;

}  // namespace

BarChip::BarChip(const ChipConfig& config, const ChipState& state, ChipFirmware& firmware,
                 const RecoveryChipState& recovery)
    : config_(config),
      firmware_(firmware),
      window_base_(state.window_base),
      ctrl_(state.host_ctrl & kHostBits),
      recovery_(recovery) {}

void BarChip::boot_from_nvm(RecoveryChipState& chip) { firmware_.boot_from_nvm(chip, config_.recovery.device_type); }

uint32_t BarChip::health() {
    // The health word of the firmware booted from the NVM, else of what the chip runs.
    if (recovery_.boot == FirmwareBoot::nvm) return firmware_.health();
    return chip_boot_health(recovery_);
}

ChipState BarChip::state() const {
    ChipState s;
    s.window_base = window_base_;
    s.host_ctrl = ctrl_ & kHostBits;
    return s;
}

uint32_t BarChip::mailbox_ctrl_address() const {
    if (!config_.newest) return bar::kMailboxCtrlOlder;
    return config_.indirect ? kIndirectMailboxCtrl : bar::kMailboxCtrlNewest;
}

uint32_t BarChip::read32(size_t offset) {
    offset &= ~size_t{3};
    if (offset + 4 > config_.bar_size) return 0xFFFFFFFFu;
    if (offset == bar::kWindowRegister) return window_base_;
    if (offset >= bar::kRequestArea && offset < bar::kRequestAreaEnd) return request_[(offset - bar::kRequestArea) / 4];
    if (offset >= bar::kWindowAperture && offset <= bar::kWindowAperture + bar::kWindowOffsetMask)
        return read_register(window_base_ | static_cast<uint32_t>(offset - bar::kWindowAperture));
    return 0;
}

void BarChip::write32(size_t offset, uint32_t value) {
    offset &= ~size_t{3};
    if (offset + 4 > config_.bar_size) return;
    if (offset == bar::kWindowRegister) {
        window_base_ = value & bar::kWindowBaseMask;
    } else if (offset >= bar::kRequestArea && offset < bar::kRequestAreaEnd) {
        const size_t index = (offset - bar::kRequestArea) / 4;
        request_[index] = value;
        request_dwords_ = std::max(request_dwords_, index + 1);
    } else if (offset == bar::kDoorbell) {
        ring(value);
    } else if (offset >= bar::kWindowAperture && offset <= bar::kWindowAperture + bar::kWindowOffsetMask) {
        write_register(window_base_ | static_cast<uint32_t>(offset - bar::kWindowAperture), value);
    }
}

uint32_t BarChip::read_register(uint32_t address) {
    const uint32_t ctrl = mailbox_ctrl_address();
    if (config_.mailbox_present) {
        if (address == ctrl) return read_ctrl();
        if (address == ctrl + bar::kMailboxDataDistance) return data_;
        if (config_.newest && config_.indirect) {
            if (address == bar::kIndirectBlock + bar::kIndirectSignatureOffset) return bar::kIndirectSignature;
            if (address == bar::kIndirectBlock + bar::kIndirectCtrlAddressOffset) return kIndirectMailboxCtrl;
        }
    }
    if (!config_.newest) {
        if (address == bar::kHealthStatus) return health();
        if (address == bar::kHealthSignature) return kHealthSignatureWord;
    }
    if (RecoveryChip::handles(config_.recovery.device_type, address)) {
        bool changed = false;
        const uint32_t value = RecoveryChip(config_.recovery, recovery_, *this).read(address, changed);
        if (changed) {
            firmware_.store_chip(recovery_);
            recovery_unsaved_ = false;
        }
        return value;
    }
    return 0;
}

void BarChip::write_register(uint32_t address, uint32_t value) {
    if (RecoveryChip::handles(config_.recovery.device_type, address)) {
        // Chip memory is kept with the next change of a register (or when the window goes).
        if (RecoveryChip(config_.recovery, recovery_, *this).write(address, value, /*privileged=*/false)) {
            firmware_.store_chip(recovery_);
            recovery_unsaved_ = false;
        } else {
            recovery_unsaved_ = true;
        }
        return;
    }
    if (!config_.mailbox_present) return;
    const uint32_t ctrl = mailbox_ctrl_address();
    if (address == ctrl) write_ctrl(value);
    else if (address == ctrl + bar::kMailboxDataDistance) data_ = value;
}

uint32_t BarChip::read_ctrl() {
    // A host without payload waits for FCTS to drop; after a few looks the firmware
    // stops waiting for one and answers.
    if (phase_ == Phase::host_turn && !(ctrl_ & bar::kCtrlHrts) && ++polls_ > kPayloadWaitPolls) respond({});
    uint32_t value = ctrl_ | bar::kCtrlSignature;
    if (config_.multi_host) value |= bar::kCtrlMultiHost;
    if (firmware_.busy_after_reset()) value |= bar::kCtrlBusyAfterReset;
    return value;
}

void BarChip::write_ctrl(uint32_t value) {
    const uint32_t before = ctrl_;
    ctrl_ = (ctrl_ & ~kHostBits) | (value & kHostBits);
    const bool valid_set = (ctrl_ & bar::kCtrlDataValid) && !(before & bar::kCtrlDataValid);
    const bool valid_cleared = !(ctrl_ & bar::kCtrlDataValid) && (before & bar::kCtrlDataValid);
    switch (phase_) {
        case Phase::host_turn:
            if (ctrl_ & bar::kCtrlHrts) phase_ = Phase::host_sending;
            break;
        case Phase::host_sending:
            if (valid_set) {
                payload_in_.push_back(data_);
                ctrl_ &= ~bar::kCtrlDataValid;
            }
            if (!(ctrl_ & bar::kCtrlHrts)) {
                // The host ended its payload; on a multi-host adapter its first dword is the tag.
                std::vector<uint8_t> bytes(payload_in_.size() * 4);
                if (!bytes.empty()) std::memcpy(bytes.data(), payload_in_.data(), bytes.size());
                const size_t skip = config_.multi_host ? std::min<size_t>(4, bytes.size()) : 0;
                respond(std::span<uint8_t>(bytes).subspan(skip));
            }
            break;
        case Phase::answering:
            if (ctrl_ & bar::kCtrlHcts) {
                phase_ = Phase::sending;
                data_ = out_.front();
                ctrl_ |= bar::kCtrlDataValid;
            }
            break;
        case Phase::sending:
            if (!(ctrl_ & bar::kCtrlHcts)) {
                // The host gave up on the answer: the firmware stops sending.
                out_.clear();
                ctrl_ &= ~bar::kCtrlFrts;
                phase_ = Phase::idle;
            } else if (valid_cleared) {
                out_.pop_front();
                if (out_.empty()) {
                    ctrl_ &= ~bar::kCtrlFrts;
                    phase_ = Phase::idle;
                } else {
                    data_ = out_.front();
                    ctrl_ |= bar::kCtrlDataValid;
                }
            }
            break;
        case Phase::idle:
        case Phase::silent:
            break;
    }
}

void BarChip::ring(uint32_t value) {
    if (value == 0) return;
    request_bytes_.assign(request_dwords_ * 4, 0);
    if (!request_bytes_.empty()) std::memcpy(request_bytes_.data(), request_, request_bytes_.size());
    request_dwords_ = 0;
    std::fill(std::begin(request_), std::end(request_), 0u);
    payload_in_.clear();
    out_.clear();
    polls_ = 0;
    ctrl_ &= ~(bar::kCtrlFrts | bar::kCtrlFcts);
    faults_ = firmware_.doorbell(request_bytes_);
    if (faults_.silent) {
        phase_ = Phase::silent;
        return;
    }
    phase_ = Phase::host_turn;
    ctrl_ |= bar::kCtrlFcts;
}

void BarChip::queue_block(uint32_t type, uint32_t tagged_type, std::span<const uint8_t> bytes, size_t announced) {
    out_.push_back(bar::block_header(config_.multi_host ? tagged_type : type, static_cast<uint32_t>(announced)));
    if (config_.multi_host) {
        uint32_t tag = 0;
        if (request_bytes_.size() >= bar::kTagOffsetResponseAddress + 4)
            std::memcpy(&tag, request_bytes_.data() + bar::kTagOffsetResponseAddress, 4);
        out_.push_back(faults_.wrong_tag ? tag ^ kWrongTagFlip : tag);
    }
    for (size_t at = 0; at < announced; at += 4) {
        uint32_t word = 0;
        if (at < bytes.size()) std::memcpy(&word, bytes.data() + at, std::min<size_t>(4, bytes.size() - at));
        out_.push_back(word);
    }
}

void BarChip::respond(std::span<uint8_t> payload) {
    ctrl_ &= ~bar::kCtrlFcts;
    if (recovery_unsaved_) {
        // The message may change the chip; what the host loaded so far goes first.
        firmware_.store_chip(recovery_);
        recovery_unsaved_ = false;
    }
    MailboxAnswer answer = firmware_.answer(request_bytes_, payload);
    firmware_.reload_chip(recovery_);
    if (answer.silent) {
        phase_ = Phase::silent;
        return;
    }
    for (const auto& data : answer.payload) {
        for (size_t at = 0; at < data.size(); at += kMailboxPayloadBlockBytes) {
            const size_t n = std::min(kMailboxPayloadBlockBytes, data.size() - at);
            queue_block(bar::kBlockPayload, bar::kBlockTagged, std::span<const uint8_t>(data).subspan(at, n), n);
        }
    }
    const size_t length = answer.response.size();
    queue_block(bar::kBlockResponse, bar::kBlockTaggedResponse, answer.response,
                faults_.oversize ? length + kOversizeExtraBytes : length);
    ctrl_ |= bar::kCtrlFrts;
    phase_ = Phase::answering;
}

}  // namespace zelt::sim
