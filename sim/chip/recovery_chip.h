// The chip registers a recovery works with, over the chip's lasting state
// (RecoveryChipState): processor control, reset control, register protection, the bus
// arbitration, the boot ROM's fastboot registers, the load windows and the persistent
// security words.
//
// How the chip behaves:
//   - Register protection: the firmware that boots from the NVM sets locked rules.
//     While they are locked the host's own writes to every register here are dropped;
//     the running firmware's writes (its direct register write message) are not, so a
//     healthy adapter is unlocked through its firmware. A chip whose firmware never
//     booted has its open reset rules; on the older families (device types 4 and 5)
//     the protection block then reads 0xDEADDEAD until 16 is written to cpmu_cntl_1.
//     The rules count as open with set_addr 0, mask_addr 0xFFFFFFFC, set_ctrl 0 and
//     the low 16 bits of mask_ctrl set (all 18 bits on device type 6); on Kestra with
//     block_mask_addr 0, allow_set_addr 0, allow_mask_addr at least 0xFFFFFFFC and
//     bit 4 of allow_set_ctrl or allow_mask_ctrl.
//   - Older families: halting CHIMP (bpe_mode 2) stops the firmware. bpe_mode 5 starts
//     the image in the load window at 0x03300000 when fstboot_ptr holds 0x61000002,
//     both sticky "loading" bits are set and the image verifies (signed firmware with
//     its checksum; its end is found by the checksum, so trailing zero words and the
//     zero padding of a last partial word do not matter): bpe_stat bits 27..24 read 6
//     and the recovery image runs. Otherwise they read kBpeStatStartFailed.
//   - Kestra: a primate reset (soft_reset_0 bit 9, which reads set once more and then
//     clears) with fastboot_mode 0 boots from the NVM; with any other mode the boot
//     ROM stays in fastboot: the SRAM opens (romboot_progress bit 16), the health word
//     reads 0x0020, and by fastboot_ptr the ROM either answers the boot record at
//     0xA0000000 with the reset parameter block (the CRID at 0xA0158014) or starts the
//     SBI at that SRAM address when its header is valid, carries the chip's CRID and a
//     revision not below the chip's counter (health 0x0280). The running SBI takes
//     the images downloaded after it; the cookie 0xA5A55A5A written at 0xA03BFFFC makes
//     it check them: when there is at least one and every one verifies, the recovery
//     image runs (health 0x8000). fastboot_mode 5 with fastboot_ptr 0x20000000 starts
//     an image loaded at 0xA0000000 directly (the single-stage fastboot).
//   - soft_reset_0 = 16 resets the whole chip and boots from the NVM. Starting a
//     recovery image on Kestra sets the persistent security words; while any of them
//     is set a boot from the NVM stops in the ROM's fastboot wait instead, so they are
//     cleared before the chip is reset into its NVM firmware again.
//   - PA(pm_sw_arb): a request (2) is granted at once (bit 17), a release (0x200)
//     drops the grant.
// A register access costs no time.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/state/runtime_state.h"

namespace zelt::sim {

// CHIMP(bpe_stat) states (bits 27..24) besides the fastboot image's 6.
inline constexpr uint32_t kBpeStatHalted = 1;
inline constexpr uint32_t kBpeStatNvmRunning = 2;
inline constexpr uint32_t kBpeStatNvmFailed = 0xE;
inline constexpr uint32_t kBpeStatStartFailed = 0xF;
// Bytes of the older families' load window.
inline constexpr uint32_t kOlderLoadWindowBytes = 1u << 20;
// The Kestra SRAM as the host reaches it, and the cookie address its SBI watches.
inline constexpr uint32_t kKestraSramBytes = 0x00400000u;
inline constexpr uint32_t kSbiCookieAddress = 0xA03BFFFCu;
// The reset parameter block the boot ROM writes in answer to the boot record.
inline constexpr uint32_t kRpbAddress = 0xA0158000u;
inline constexpr uint32_t kRpbSignature = 0x00425052u;  // "RPB"
// Health word of a chip whose firmware does not run and whose ROM waits for nothing.
inline constexpr uint32_t kBootHealthDown = 0x0001;

struct RecoveryChipConfig {
    uint16_t device_type = 0;
    uint16_t crid = 0;          // CRID the boot ROM reports and an SBI must carry
    uint16_t sbi_revision = 0;  // lowest SBI revision the chip starts
};

// What the chip asks of the adapter around it.
class RecoveryChipHost {
public:
    virtual ~RecoveryChipHost() = default;
    // The processors restart from the NVM; `chip` is the chip's state before and after.
    virtual void boot_from_nvm(RecoveryChipState& chip) = 0;
};

class RecoveryChip {
public:
    RecoveryChip(const RecoveryChipConfig& config, RecoveryChipState& state, RecoveryChipHost& host)
        : config_(config), s_(state), host_(host) {}

    // True for an address this part of the chip answers on a chip of `device_type`.
    static bool handles(uint16_t device_type, uint32_t address);

    // A read; sets `changed` when the read changed the state (a self-clearing bit).
    uint32_t read(uint32_t address, bool& changed);
    // A write; `privileged` for the running firmware's own writes, which protection
    // does not stop. True when the write did more than store chip memory.
    bool write(uint32_t address, uint32_t value, bool privileged);

    bool protection_locked() const;

private:
    bool newest() const { return config_.device_type > 7; }
    uint32_t reg(uint32_t address) const;
    uint32_t rule(uint32_t address) const;
    uint32_t mem_read(uint32_t address) const;
    void mem_write(uint32_t address, uint32_t value);
    std::vector<uint8_t> run_bytes(uint32_t start) const;
    void halt();
    void start_older();
    void primate_reset();
    void start_single_stage();
    void cookie();
    void run_recovery(std::span<const uint8_t> image);

    RecoveryChipConfig config_;
    RecoveryChipState& s_;
    RecoveryChipHost& host_;
};

// The chip after its processors restarted from the NVM: the registers and memory go
// back to their reset values (sticky bytes and persistent security words stay), and
// the firmware runs when `verified` (the NVM boot image passed its check) and no
// persistent security word holds the ROM in its fastboot wait.
void chip_boot_from_nvm(RecoveryChipState& chip, uint16_t device_type, bool verified);

// The health word of the chip's boot stage while it does not run its NVM firmware.
uint32_t chip_boot_health(const RecoveryChipState& chip);

// True when the bytes hold a signed firmware image (possibly followed by up to 16
// bytes of zero padding and trailing words); `version` gets its "a.b.c.d".
bool loaded_firmware_image(std::span<const uint8_t> bytes, std::string* version);

}  // namespace zelt::sim
