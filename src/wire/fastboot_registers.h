// The chip registers a recovery touches, as the tool and the simulated chip both see
// them: the processors' halt and start registers, the fastboot pointer and mode, the
// reset control, the register protection of both families, the bus arbitration, the
// load windows, the boot record that yields the CRID, the persistent security words,
// and the header of a multi-image ("CFB") recovery file.
//
// Every address here is a chip address reached through the BAR0 sliding window
// (see pci_mailbox_registers.h); the Kestra health word is read through the
// configuration-space direct window at bar::kHealthDirectWindow.
#pragma once

#include <cstdint>

#include "wire/wire_layout.h"

namespace zelt::wire::fastboot {

// ---- Processors of the older families (device types below 8) --------------------------
inline constexpr uint32_t kChimpBpeMode = 0x03040000u;     // CHIMP(bpe_mode)
inline constexpr uint32_t kChimpBpeStat = 0x03040004u;     // CHIMP(bpe_stat)
inline constexpr uint32_t kChimpFastbootPtr = 0x03040008u; // CHIMP(fstboot_ptr)
inline constexpr uint32_t kChimpCpmuCntl1 = 0x03042000u;   // CHIMP(cpmu_cntl_1)
inline constexpr uint32_t kApeHalt = 0x03420000u;          // APE halt register

inline constexpr uint32_t kBpeModeHalt = 2;
inline constexpr uint32_t kBpeModeFastboot = 5;
inline constexpr uint32_t kApeHaltValue = 2;
inline constexpr uint32_t kFastbootPtrBeforeLoad = 0x61000002u;
inline constexpr uint32_t kCpmuUnlockValue = 16;  // written when protection reads 0xDEADDEAD

// CHIMP(bpe_stat) bits 27..24: 6 once the fastboot image runs.
inline constexpr uint32_t kBpeStatStateShift = 24;
inline constexpr uint32_t kBpeStatStateMask = 0x0F000000u;
inline constexpr uint32_t kBpeStatRunning = 6;
constexpr uint32_t bpe_stat_state(uint32_t word) { return (word & kBpeStatStateMask) >> kBpeStatStateShift; }

// Load address of the older families' single recovery image.
inline constexpr uint32_t kOlderImageLoadAddress = 0x03300000u;
// Zero words written after an uploaded image.
inline constexpr unsigned kImageTrailerWords = 3;

// ---- Reset control --------------------------------------------------------------------
inline constexpr uint32_t kSoftReset0 = 0x04030000u;      // RSTCTRL(soft_reset_0)
inline constexpr uint32_t kStickyBytePor = 0x04030088u;   // RSTCTRL(sticky_byte_por)
inline constexpr uint32_t kStickyBytePerst = 0x04030094u; // RSTCTRL(sticky_byte_perst)

inline constexpr uint32_t kSoftResetKongHalt = 0x80;
inline constexpr uint32_t kSoftResetPrimate = 0x200;  // self-clearing
inline constexpr uint32_t kSoftResetAll = 16;
inline constexpr uint32_t kStickyPorLoading = 1u << 2;
inline constexpr uint32_t kStickyPerstLoading = 1u << 1;

// ---- Register protection, older families ------------------------------------------------
inline constexpr uint32_t kGrcProtRuleSetAddr = 0x00260200u;
inline constexpr uint32_t kGrcProtRuleMaskAddr = 0x00260400u;
inline constexpr uint32_t kGrcProtRuleSetCtrl = 0x00260600u;
inline constexpr uint32_t kGrcProtRuleMaskCtrl = 0x00260800u;

inline constexpr uint32_t kProtectionDeadWord = 0xDEADDEADu;
inline constexpr uint32_t kUnlockedMaskAddr = 0xFFFFFFFCu;
inline constexpr uint32_t kUnlockedMaskCtrl = 0xFFFF;          // low 16 bits
inline constexpr uint32_t kUnlockedMaskCtrlType6 = 0x3FFFF;    // device type 6

// ---- Register protection, Kestra (device type 8) ---------------------------------------
inline constexpr uint32_t kGrcProtRuleAllowSetAddr = 0x00261000u;
inline constexpr uint32_t kGrcProtRuleAllowMaskAddr = 0x00261200u;
inline constexpr uint32_t kGrcProtRuleAllowSetCtrl = 0x00261400u;
inline constexpr uint32_t kGrcProtRuleAllowMaskCtrl = 0x00261600u;
inline constexpr uint32_t kGrcProtRule1800 = 0x00261800u;
inline constexpr uint32_t kGrcProtRuleBlockMaskAddr = 0x00261A00u;
inline constexpr uint32_t kGrcProtRule1C00 = 0x00261C00u;
inline constexpr uint32_t kGrcProtRule1E00 = 0x00261E00u;

inline constexpr uint32_t kAllowCtrlUnlockedBit = 1u << 4;

// The Kestra unlock writes, in the order the firmware takes them.
struct RegisterWrite {
    uint32_t address;
    uint32_t value;
};
inline constexpr RegisterWrite kKestraUnlockWrites[] = {
    {kGrcProtRuleAllowSetAddr, 0},   {kGrcProtRuleAllowMaskAddr, 0xFFFFFFFCu},
    {kGrcProtRuleAllowSetCtrl, 0},   {kGrcProtRuleAllowMaskCtrl, 0x03FF0F5Fu},
    {kGrcProtRule1800, 0},           {kGrcProtRuleBlockMaskAddr, 0},
    {kGrcProtRule1C00, 15},          {kGrcProtRule1E00, 0},
};

// ---- Bus arbitration ----------------------------------------------------------------------
inline constexpr uint32_t kPaPmSwArb = 0x00250000u;  // PA(pm_sw_arb)
inline constexpr uint32_t kArbRequest = 2;
inline constexpr uint32_t kArbRelease = 0x200;
inline constexpr uint32_t kArbGranted = 1u << 17;

// ---- Primate (the Kestra boot processor) ---------------------------------------------
inline constexpr uint32_t kPrimateFastbootMode = 0xC000E000u;
inline constexpr uint32_t kPrimateFastbootPtr = 0xC000E004u;
inline constexpr uint32_t kPrimateRombootProgress = 0xC000E00Cu;
inline constexpr uint32_t kPrimateSiSecPersistent = 0xC0080300u;  // + 0x00 .. 0x3C

inline constexpr uint32_t kFastbootModeOff = 0;
inline constexpr uint32_t kFastbootModeArm = 4;
inline constexpr uint32_t kFastbootModeGo = 5;
inline constexpr uint32_t kRombootSramOpen = 1u << 16;

// Load window of the single-stage image and of the boot record; the CRID query.
inline constexpr uint32_t kKestraLoadWindow = 0xA0000000u;
inline constexpr uint32_t kKestraLoadPointer = 0x20000000u;  // fastboot_ptr of that window
inline constexpr uint32_t kBootRecordWords[] = {0xA5A5A5A5u, 0x00031970u, 0, 0xDD95D087u};
inline constexpr uint32_t kRpbCridAddress = 0xA0158014u;  // RPB_ADDR + 20; CRID in bits 15..0
// An SRAM address as the host reaches it: the address minus 0x80000000.
inline constexpr uint32_t kSramHostOffset = 0x80000000u;
constexpr uint32_t sram_host_address(uint32_t sram_address) { return sram_address - kSramHostOffset; }

// Cookie the host writes once every image of a multi-stage file is loaded.
inline constexpr uint32_t kFirmwareCookie = 0xA5A55A5Au;
inline constexpr uint32_t kCookieAddressOldHeader = 0xA03BFFFCu;  // header revision below 2

// Kestra health word values (low 16 bits).
inline constexpr uint32_t kHealthReadyForDownload = 0x0020;
inline constexpr uint32_t kHealthSbiReady = 0x0280;
inline constexpr uint32_t kHealthOperational = 0x8000;

// ---- Multi-image recovery file header ----------------------------------------------------
inline constexpr unsigned kFastbootMaxImages = 4;
inline constexpr uint32_t kImageFlagSbi = 1u << 0;

struct image_info {
    char name[4];
    uint32_t flags;
    uint32_t file_offset;
    uint32_t length;
    uint32_t sram_address;
};
ZELT_WIRE_SIZE(image_info, 20);
ZELT_WIRE_FIELD(image_info, flags, 4);
ZELT_WIRE_FIELD(image_info, file_offset, 8);
ZELT_WIRE_FIELD(image_info, length, 12);
ZELT_WIRE_FIELD(image_info, sram_address, 16);

struct fastboot_header {
    char signature[4];          // "CFB" and any byte
    uint32_t num_images_rev;    // bits 15..0 images (1..4), bits 31..16 header revision
    image_info images[kFastbootMaxImages];
    uint32_t rsvd[2];
    uint32_t cookie_addr;
};
ZELT_WIRE_SIZE(fastboot_header, 100);
ZELT_WIRE_FIELD(fastboot_header, num_images_rev, 4);
ZELT_WIRE_FIELD(fastboot_header, images, 8);
ZELT_WIRE_FIELD(fastboot_header, rsvd, 88);
ZELT_WIRE_FIELD(fastboot_header, cookie_addr, 96);

inline constexpr char kFastbootSignature[3] = {'C', 'F', 'B'};
constexpr unsigned header_image_count(uint32_t num_images_rev) { return num_images_rev & 0xFFFFu; }
constexpr unsigned header_revision(uint32_t num_images_rev) { return num_images_rev >> 16; }

// ---- Recovery image files ------------------------------------------------------------------
inline constexpr const char* kRecoveryImageDir = "/lib/firmware/diagfw/";
inline constexpr const char* kRecoveryImageTypes4And5 = "/lib/firmware/diagfw/cmb_a.bin";
inline constexpr const char* kRecoveryImageType6 = "/lib/firmware/diagfw/mr_a.bin";
// Formatted with the chip's CRID.
inline constexpr const char* kRecoveryImageKestraFormat =
    "/lib/firmware/diagfw/ks_a_0x20000360_sbl.signed.crid%04x.bin.fastboot";

}  // namespace zelt::wire::fastboot
