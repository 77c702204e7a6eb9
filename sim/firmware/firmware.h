// The adapter firmware: answers one firmware message from the state of the adapter
// (its flash, run-time state and description).
//
// The firmware sees what real firmware sees: the request bytes (with the bus
// addresses the driver wrote into them) and the host memory reachable by DMA. A data
// buffer is found through the address in the request field that the message defines
// for it, so a request that puts the address anywhere else finds no buffer and is
// refused.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "sim/flash/flash_model.h"
#include "sim/state/description.h"
#include "sim/state/runtime_state.h"

namespace zelt::sim {

// Target ids the firmware answers to: itself, and itself reached through the PCI
// mailbox. Its installation service is addressed as target 0 instead of itself.
inline constexpr uint16_t kFwTargetSelf = 0xFFFF;
inline constexpr uint16_t kFwTargetMailbox = 0xFFFD;
inline constexpr uint16_t kFwTargetInstaller = 0;
// The only completion ring requests may name.
inline constexpr uint16_t kFwDefaultCmplRing = 0xFFFF;

// Error codes the simulated firmware answers with (the `error_code` word).
inline constexpr uint16_t kFwErrFail = 1;
inline constexpr uint16_t kFwErrInvalidParams = 2;
inline constexpr uint16_t kFwErrAccessDenied = 3;
inline constexpr uint16_t kFwErrNoResources = 4;
inline constexpr uint16_t kFwErrNotFound = 6;
inline constexpr uint16_t kFwErrUnsupported = 0xFFFF;

// The longest data block a mailbox block header can announce (24 bits of length).
inline constexpr uint64_t kMaxMailboxBlockBytes = 0x00FFFFFC;

// Host memory made visible to the device for one message.
class DmaMap {
public:
    // Bus address of the first mapping; later ones follow at 1 MiB-aligned steps.
    static constexpr uint64_t kBusBase = 0x00000000fee00000ull;

    // Maps a data buffer and returns its bus address.
    uint64_t map(std::span<uint8_t> buffer);
    // Maps the response record; a request's `resp_addr` must hold this address.
    uint64_t map_response(std::span<uint8_t> response);
    uint64_t response_address() const { return response_bus_; }  // 0 while unmapped
    // The first `length` bytes of the data buffer mapped at `bus_address`, when the
    // buffer is exactly that long (or, with `exact` false, at least that long).
    std::span<uint8_t> find(uint64_t bus_address, uint64_t length, bool exact = true) const;

    // The mailbox road: a message's data travels through the mailbox instead of DMA, so
    // the one data buffer a message has is found whatever address its field holds. When
    // the host sent a payload, the buffer is that payload (rounded up to whole dwords
    // by the transfer); otherwise it is a fresh zeroed buffer that the answer fills and
    // that goes back to the host as a payload block.
    void carry_through_mailbox(std::span<uint8_t> host_payload);
    // Data the firmware takes from the host: as find(), except that through the
    // mailbox only a payload the host sent counts, never a fresh buffer, so a write
    // whose payload did not arrive finds nothing to write.
    std::span<uint8_t> find_source(uint64_t bus_address, uint64_t length) const;
    // True when a message names a host buffer for the firmware to take data from: by
    // DMA, a bus address in its field; through the mailbox also a payload the host sent
    // or a data length the request names (the mailbox road leaves the address field
    // of a single-host request empty).
    bool names_source(uint64_t bus_address, uint64_t length) const;
    const std::deque<std::vector<uint8_t>>& device_blocks() const { return device_blocks_; }

private:
    struct Mapping {
        uint64_t bus;
        std::span<uint8_t> bytes;
    };
    uint64_t next_bus() const;
    std::vector<Mapping> maps_;
    uint64_t response_bus_ = 0;
    size_t response_size_ = 0;
    bool mailbox_ = false;
    std::span<uint8_t> host_payload_;
    // Buffers handed to the answer; a deque keeps earlier ones where they are.
    mutable std::deque<std::vector<uint8_t>> device_blocks_;
};

struct FirmwareContext {
    const AdapterDesc& adapter;
    const FunctionDesc& function;
    AdapterState& state;
    FlashModel flash;
    uint64_t now_us;  // virtual time of the request
    // Scheduled faults of the host; the installation looks here for "install_fault".
    const std::vector<FaultDesc>* faults = nullptr;
};

// The NVM directory as the firmware reports it: the length of each entry (the
// adapter's, or the flash's own), and the raw entries laid out that far apart.
uint32_t directory_entry_length(const FirmwareContext& ctx);
std::vector<uint8_t> directory_answer(const FirmwareContext& ctx, std::vector<uint8_t> flash_directory);

// Answers `request` into `response` (zero-filled by the caller, exactly the size the
// caller gave). The answer's common header echoes the request and its last byte is
// the `valid` byte. A request whose `resp_addr` is not the mapped response gets no
// answer at all (the firmware has nowhere to put it): `response` stays zero.
void firmware_answer(FirmwareContext& ctx, std::span<const uint8_t> request, std::span<uint8_t> response,
                     const DmaMap& dma);

// Writes an error answer (error form of the response) with `valid` in the last byte.
void firmware_error_answer(std::span<const uint8_t> request, std::span<uint8_t> response, uint16_t error_code,
                           uint8_t cmd_err);

// Activates what a reset activates: the pending installation becomes the running
// firmware, the reset counter grows and the firmware restarts for `restart_ms` of
// virtual time.
void firmware_reset(FirmwareContext& ctx, unsigned restart_ms);

// True while the firmware restarts after a reset.
bool firmware_restarting(FirmwareContext& ctx);

// True when no firmware answers: it restarts, the NVM boot image did not verify, or
// the processors are halted with no recovery image running.
bool firmware_down(FirmwareContext& ctx);

// Installs the package staged in the update item (the outcome is stored in the
// state and returned). Shared by the install message and the Ethernet driver's flash
// command. Returns 0 or a `cmd_err` value of a refused installation. Defined with the
// rest of the installation in sim/firmware/install_staged.cpp.
uint8_t firmware_install_staged(FirmwareContext& ctx, uint32_t install_type, uint16_t flags, InstallResult& result);

}  // namespace zelt::sim
