// The chip behind a function's BAR0 as a mapped window reaches it: the sliding register
// window, the request area and doorbell, the firmware health and signature registers,
// and the mailbox CTRL/DATA pair with the firmware's side of its handshake.
//
// The firmware side works dword by dword, driven by the host's register accesses:
//   - a doorbell takes the request written into the request area and sets FCTS: the
//     firmware is ready to take a payload;
//   - the host sets HRTS and sends its payload, one DATA write and data-valid bit per
//     dword (a multi-host adapter's payload starts with the request's tag); the
//     firmware takes each dword and clears data valid; the host clearing HRTS ends the
//     payload. A host that has no payload leaves FCTS alone, and after a few reads of
//     CTRL that find it set the firmware stops waiting;
//   - the firmware answers the message and sets FRTS; once the host sets HCTS it sends,
//     one dword per data-valid bit the host clears, a header dword for every block
//     (payload blocks first, the response block last; tagged header types and the tag
//     on a multi-host adapter) and then the block's dwords, and clears FRTS after the
//     last one. A host that clears HCTS before the end stops the answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "sim/chip/recovery_chip.h"
#include "sim/state/runtime_state.h"

namespace zelt::sim {

// Where the newest chips' signature block points when their mailbox is indirect.
inline constexpr uint32_t kIndirectMailboxCtrl = 0x8A0C0000u;
// Reads of CTRL that find FCTS still set, without HRTS, after which the firmware
// takes the message as one without payload.
inline constexpr unsigned kPayloadWaitPolls = 8;
// Device-to-host data goes back in blocks of at most this many bytes.
inline constexpr size_t kMailboxPayloadBlockBytes = 4096;
// What a "mailbox_oversize" response block announces beyond the answer.
inline constexpr uint32_t kOversizeExtraBytes = 36;
// Health word a firmware that is not operational shows when the fault names none.
inline constexpr uint32_t kHealthNotOperational = 0x0001;
// The health-register signature: "HCS" and version 1.
inline constexpr uint32_t kHealthSignatureWord = 0x48435301u;

// What the firmware does with one message that came through the mailbox.
struct MailboxAnswer {
    bool silent = false;            // no answer at all: FRTS is never set
    std::vector<uint8_t> response;  // the answer record as long as the answer says
    std::deque<std::vector<uint8_t>> payload;  // device-to-host data, in order
};

// The exchange faults of one message (see sim/faults/faults.h).
struct ExchangeFaults {
    bool silent = false;
    bool oversize = false;
    bool wrong_tag = false;
};

// The firmware behind the chip.
class ChipFirmware {
public:
    virtual ~ChipFirmware() = default;
    // The firmware health word (low 16 bits 0x8000 while it runs).
    virtual uint32_t health() = 0;
    // True while the mailbox is busy after a reset.
    virtual bool busy_after_reset() = 0;
    // A request was rung in: the faults of its exchange.
    virtual ExchangeFaults doorbell(std::span<const uint8_t> request) = 0;
    // Answers a request with the payload the host sent (the tag removed).
    virtual MailboxAnswer answer(std::span<const uint8_t> request, std::span<uint8_t> payload) = 0;

    // The chip's recovery side, whose state the whole adapter shares: keeps a changed
    // state, boots the processors from the NVM, and gives the state as the adapter
    // holds it now (after a message the firmware may have changed it). A firmware
    // without an adapter behind it keeps nothing and always boots.
    virtual void store_chip(const RecoveryChipState& chip) { (void)chip; }
    virtual void boot_from_nvm(RecoveryChipState& chip, uint16_t device_type) {
        chip_boot_from_nvm(chip, device_type, true);
    }
    virtual bool reload_chip(RecoveryChipState& chip) {
        (void)chip;
        return false;
    }
};

struct ChipConfig {
    bool newest = false;        // device type 8: mailbox at 0x88100000
    bool indirect = false;      // newest only: the mailbox sits behind the signature block
    bool multi_host = false;    // CTRL bit 19
    bool mailbox_present = true;
    size_t bar_size = 0;
    RecoveryChipConfig recovery;
};

class BarChip : private RecoveryChipHost {
public:
    BarChip(const ChipConfig& config, const ChipState& state, ChipFirmware& firmware,
            const RecoveryChipState& recovery = {});

    // 32-bit accesses at a byte offset of BAR0 (dword aligned; outside BAR0 a read
    // gives all ones and a write is dropped).
    uint32_t read32(size_t offset);
    void write32(size_t offset, uint32_t value);

    // A chip register by its address, as the sliding window reaches it.
    uint32_t read_register(uint32_t address);
    void write_register(uint32_t address, uint32_t value);

    uint32_t mailbox_ctrl_address() const;
    // The state that outlives the mapping: window base and the host's CTRL bits.
    ChipState state() const;
    // The recovery side's state (processors, protection, load windows).
    const RecoveryChipState& recovery_state() const { return recovery_; }
    // True when chip memory was written since the state was last kept.
    bool recovery_unsaved() const { return recovery_unsaved_; }

private:
    enum class Phase { idle, host_turn, host_sending, answering, sending, silent };

    uint32_t read_ctrl();
    void write_ctrl(uint32_t value);
    void ring(uint32_t value);
    void respond(std::span<uint8_t> payload);
    void queue_block(uint32_t type, uint32_t tagged_type, std::span<const uint8_t> bytes, size_t announced);
    uint32_t health();
    void boot_from_nvm(RecoveryChipState& chip) override;

    ChipConfig config_;
    ChipFirmware& firmware_;
    uint32_t window_base_ = 0;
    uint32_t ctrl_ = 0;  // handshake bits of both sides (signature and fixed bits added on read)
    uint32_t data_ = 0;
    uint32_t request_[(0x300 - 0x200) / 4] = {};
    size_t request_dwords_ = 0;  // dwords written since the last doorbell
    Phase phase_ = Phase::idle;
    unsigned polls_ = 0;
    std::vector<uint8_t> request_bytes_;
    ExchangeFaults faults_;
    std::vector<uint32_t> payload_in_;
    std::deque<uint32_t> out_;
    RecoveryChipState recovery_;
    bool recovery_unsaved_ = false;
};

}  // namespace zelt::sim
