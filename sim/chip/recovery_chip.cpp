#include "sim/chip/recovery_chip.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "formats/image/image_records.h"
#include "sim/firmware/image_check.h"
#include "wire/fastboot_registers.h"

namespace zelt::sim {

namespace fb = wire::fastboot;

namespace {

constexpr uint32_t kPageBytes = 4096;
// Bytes past an image's end that may still belong to its run: three zero words and
// the zero padding of a last partial word.
constexpr uint32_t kImageSlackBytes = 16;
// Persistent security words the boot ROM sets when it starts a fastboot image; the
// word at +0x38 is not one of them.
constexpr uint32_t kPersistentWords = 16;
constexpr uint32_t kPersistentUnused = 0x38;
constexpr uint32_t kPersistentMark = 0x5EC00000u;

// Protection rules a booted firmware leaves locked.
struct Rule {
    uint32_t address;
    uint32_t locked;
    uint32_t open;
};
constexpr Rule kOlderRules[] = {
    {fb::kGrcProtRuleSetAddr, 0x03000000u, 0},
    {fb::kGrcProtRuleMaskAddr, 0xFF000000u, fb::kUnlockedMaskAddr},
    {fb::kGrcProtRuleSetCtrl, 0x00000001u, 0},
    {fb::kGrcProtRuleMaskCtrl, 0, fb::kUnlockedMaskCtrl},
};
constexpr Rule kKestraRules[] = {
    {fb::kGrcProtRuleAllowSetAddr, 0x80000000u, 0},
    {fb::kGrcProtRuleAllowMaskAddr, 0xF0000000u, fb::kUnlockedMaskAddr},
    {fb::kGrcProtRuleAllowSetCtrl, 0, fb::kAllowCtrlUnlockedBit},
    {fb::kGrcProtRuleAllowMaskCtrl, 0, 0},
    {fb::kGrcProtRule1800, 1, 0},
    {fb::kGrcProtRuleBlockMaskAddr, 0xFFFFF000u, 0},
    {fb::kGrcProtRule1C00, 0, 0},
    {fb::kGrcProtRule1E00, 1, 0},
};

bool is_persistent_word(uint32_t address) {
    return address >= fb::kPrimateSiSecPersistent && address < fb::kPrimateSiSecPersistent + 4 * kPersistentWords;
}

bool in_older_window(uint32_t address) {
    return address >= fb::kOlderImageLoadAddress && address - fb::kOlderImageLoadAddress < kOlderLoadWindowBytes;
}

bool in_sram(uint32_t address) {
    return address >= fb::kKestraLoadWindow && address - fb::kKestraLoadWindow < kKestraSramBytes;
}

const Rule* find_rule(uint16_t device_type, uint32_t address) {
    if (device_type > 7) {
        for (const Rule& r : kKestraRules)
            if (r.address == address) return &r;
    } else {
        for (const Rule& r : kOlderRules)
            if (r.address == address) return &r;
    }
    return nullptr;
}

uint32_t open_value(uint16_t device_type, const Rule& r) {
    if (device_type == 6 && r.address == fb::kGrcProtRuleMaskCtrl) return fb::kUnlockedMaskCtrlType6;
    return r.open;
}

}  // namespace

bool RecoveryChip::handles(uint16_t device_type, uint32_t address) {
    if (address == fb::kSoftReset0 || address == fb::kStickyBytePor || address == fb::kStickyBytePerst) return true;
    if (find_rule(device_type, address)) return true;
    if (device_type > 7) {
        return address == fb::kPaPmSwArb || address == fb::kPrimateFastbootMode ||
               address == fb::kPrimateFastbootPtr || address == fb::kPrimateRombootProgress ||
               is_persistent_word(address) || in_sram(address);
    }
    return address == fb::kChimpBpeMode || address == fb::kChimpBpeStat || address == fb::kChimpFastbootPtr ||
           address == fb::kChimpCpmuCntl1 || address == fb::kApeHalt || in_older_window(address);
}

uint32_t RecoveryChip::reg(uint32_t address) const {
    auto it = s_.registers.find(address);
    return it == s_.registers.end() ? 0 : it->second;
}

uint32_t RecoveryChip::rule(uint32_t address) const {
    auto it = s_.registers.find(address);
    if (it != s_.registers.end()) return it->second;
    const Rule* r = find_rule(config_.device_type, address);
    if (!r) return 0;
    return s_.locked_at_boot ? r->locked : open_value(config_.device_type, *r);
}

bool RecoveryChip::protection_locked() const {
    if (s_.protection_gated) return false;  // the protection block is not clocked
    if (newest()) {
        const bool ctrl = ((rule(fb::kGrcProtRuleAllowSetCtrl) | rule(fb::kGrcProtRuleAllowMaskCtrl)) &
                           fb::kAllowCtrlUnlockedBit) != 0;
        return !(rule(fb::kGrcProtRuleBlockMaskAddr) == 0 && rule(fb::kGrcProtRuleAllowSetAddr) == 0 &&
                 rule(fb::kGrcProtRuleAllowMaskAddr) >= fb::kUnlockedMaskAddr && ctrl);
    }
    const uint32_t need = config_.device_type == 6 ? fb::kUnlockedMaskCtrlType6 : fb::kUnlockedMaskCtrl;
    return !(rule(fb::kGrcProtRuleSetAddr) == 0 && rule(fb::kGrcProtRuleMaskAddr) == fb::kUnlockedMaskAddr &&
             rule(fb::kGrcProtRuleSetCtrl) == 0 && (rule(fb::kGrcProtRuleMaskCtrl) & need) == need);
}

uint32_t RecoveryChip::mem_read(uint32_t address) const {
    const uint32_t page = address & ~(kPageBytes - 1);
    auto it = s_.memory.find(page);
    if (it == s_.memory.end()) return 0;
    uint32_t v;
    std::memcpy(&v, it->second.data() + (address - page), 4);
    return v;
}

void RecoveryChip::mem_write(uint32_t address, uint32_t value) {
    const uint32_t page = address & ~(kPageBytes - 1);
    std::vector<uint8_t>& bytes = s_.memory[page];
    if (bytes.empty()) bytes.assign(kPageBytes, 0);
    std::memcpy(bytes.data() + (address - page), &value, 4);
    // Runs of consecutive writes: an image is loaded word after word.
    for (auto& [start, end] : s_.downloads) {
        if (address >= start && address < end) return;
        if (address == end) {
            end += 4;
            return;
        }
    }
    s_.downloads.emplace_back(address, address + 4);
}

std::vector<uint8_t> RecoveryChip::run_bytes(uint32_t start) const {
    std::vector<uint8_t> out;
    for (const auto& [from, end] : s_.downloads) {
        if (start < from || start >= end) continue;
        out.reserve(end - start);
        for (uint32_t a = start; a < end; a += 4) {
            const uint32_t v = mem_read(a);
            const auto* p = reinterpret_cast<const uint8_t*>(&v);
            out.insert(out.end(), p, p + 4);
        }
        break;
    }
    return out;
}

uint32_t RecoveryChip::read(uint32_t address, bool& changed) {
    changed = false;
    if (find_rule(config_.device_type, address))
        return s_.protection_gated ? fb::kProtectionDeadWord : rule(address);
    if (address == fb::kSoftReset0) {
        const uint32_t value = reg(address);
        if ((value & fb::kSoftResetPrimate) && s_.reset_reads-- == 0) {
            s_.registers[address] = value & ~fb::kSoftResetPrimate;
            s_.reset_reads = 0;
            changed = true;
            return value & ~fb::kSoftResetPrimate;
        }
        changed = (value & fb::kSoftResetPrimate) != 0;
        return value;
    }
    if (address == fb::kChimpBpeStat) {
        auto it = s_.registers.find(address);
        if (it != s_.registers.end()) return it->second;
        const uint32_t state = s_.boot == FirmwareBoot::nvm ? kBpeStatNvmRunning
                               : s_.boot == FirmwareBoot::recovery ? fb::kBpeStatRunning
                               : s_.boot == FirmwareBoot::halted  ? kBpeStatHalted
                                                                  : kBpeStatNvmFailed;
        return state << fb::kBpeStatStateShift;
    }
    if (address == fb::kPaPmSwArb) return reg(address);
    if (in_sram(address) || in_older_window(address)) return mem_read(address);
    return reg(address);
}

bool RecoveryChip::write(uint32_t address, uint32_t value, bool privileged) {
    if (!privileged && protection_locked()) return false;
    if (in_sram(address) || in_older_window(address)) {
        if (newest() && address == kSbiCookieAddress && value == fb::kFirmwareCookie) {
            cookie();
            return true;
        }
        mem_write(address, value);
        return false;
    }
    if (find_rule(config_.device_type, address)) {
        s_.registers[address] = value;
        return true;
    }
    switch (address) {
        case fb::kChimpCpmuCntl1:
            s_.registers[address] = value;
            if (value == fb::kCpmuUnlockValue) s_.protection_gated = false;
            return true;
        case fb::kChimpBpeMode:
            s_.registers[address] = value;
            if (value == fb::kBpeModeHalt) halt();
            else if (value == fb::kBpeModeFastboot) start_older();
            return true;
        case fb::kChimpBpeStat:
        case fb::kPrimateRombootProgress:
            return false;  // read-only
        case fb::kPaPmSwArb:
            if (value == fb::kArbRequest) s_.registers[address] = fb::kArbGranted;
            else if (value == fb::kArbRelease) s_.registers.erase(address);
            return true;
        case fb::kSoftReset0:
            if (value & fb::kSoftResetAll) {
                host_.boot_from_nvm(s_);
                return true;
            }
            s_.registers[address] = value;
            if (value & fb::kSoftResetPrimate) {
                s_.reset_reads = 1;
                if (newest()) primate_reset();
            }
            return true;
        case fb::kPrimateFastbootMode:
            s_.registers[address] = value;
            if (value == fb::kFastbootModeGo) start_single_stage();
            return true;
        default:
            s_.registers[address] = value;
            return true;
    }
}

void RecoveryChip::halt() {
    if (s_.boot == FirmwareBoot::nvm || s_.boot == FirmwareBoot::recovery) s_.boot = FirmwareBoot::halted;
    s_.recovery_version.clear();
    s_.registers[fb::kChimpBpeStat] = kBpeStatHalted << fb::kBpeStatStateShift;
}

void RecoveryChip::run_recovery(std::span<const uint8_t> image) {
    std::string version;
    loaded_firmware_image(image, &version);
    s_.boot = FirmwareBoot::recovery;
    s_.recovery_version = version;
    s_.health = fb::kHealthOperational;
    s_.downloads.clear();
    s_.memory.clear();  // the image runs; what was loaded is no longer needed
    if (newest()) {
        for (uint32_t off = 0; off < 4 * kPersistentWords; off += 4)
            if (off != kPersistentUnused) s_.registers[fb::kPrimateSiSecPersistent + off] = kPersistentMark | off;
    } else {
        s_.registers[fb::kChimpBpeStat] = fb::kBpeStatRunning << fb::kBpeStatStateShift;
    }
}

void RecoveryChip::start_older() {
    if (s_.boot == FirmwareBoot::nvm) s_.boot = FirmwareBoot::halted;
    const bool pointed = reg(fb::kChimpFastbootPtr) == fb::kFastbootPtrBeforeLoad;
    const bool loading =
        (reg(fb::kStickyBytePor) & fb::kStickyPorLoading) && (reg(fb::kStickyBytePerst) & fb::kStickyPerstLoading);
    const std::vector<uint8_t> image = run_bytes(fb::kOlderImageLoadAddress);
    if (pointed && loading && loaded_firmware_image(image, nullptr)) {
        run_recovery(image);
        return;
    }
    s_.registers[fb::kChimpBpeStat] = kBpeStatStartFailed << fb::kBpeStatStateShift;
}

void RecoveryChip::primate_reset() {
    const uint32_t mode = reg(fb::kPrimateFastbootMode);
    const uint32_t ptr = reg(fb::kPrimateFastbootPtr);
    if (mode == fb::kFastbootModeOff) {
        host_.boot_from_nvm(s_);
        s_.registers[fb::kSoftReset0] = fb::kSoftResetPrimate;
        s_.reset_reads = 1;
        return;
    }
    // The boot ROM stays in fastboot and waits for the host.
    s_.boot = FirmwareBoot::halted;
    s_.recovery_version.clear();
    s_.health = fb::kHealthReadyForDownload;
    s_.registers[fb::kPrimateRombootProgress] = fb::kRombootSramOpen;
    bool record = ptr == fb::kKestraLoadPointer;
    for (size_t i = 0; record && i < std::size(fb::kBootRecordWords); ++i)
        record = mem_read(fb::kKestraLoadWindow + 4 * static_cast<uint32_t>(i)) == fb::kBootRecordWords[i];
    if (record) {
        // The ROM answers the boot record with its reset parameter block.
        mem_write(kRpbAddress, kRpbSignature);
        mem_write(fb::kRpbCridAddress, config_.crid);
    } else if (ptr != 0) {
        // An SBI: the secure-boot header sits 256 bytes into the image.
        AuthenticatedBootImageHeader_t h;
        const uint32_t at = fb::sram_host_address(ptr) + SBI_HEADER_OFFSET_IN_SBI;
        uint32_t words[sizeof h / 4];
        for (uint32_t i = 0; i < sizeof h / 4; ++i) words[i] = in_sram(at + 4 * i) ? mem_read(at + 4 * i) : 0;
        std::memcpy(&h, words, sizeof h);
        if (h.unh.Tag == SBI_HEADER_TAG && h.sbi.MagicNumber == SBI_HEADER_MAGIC &&
            h.sbi.CustomerRevisionID == config_.crid && h.sbi.SBIRevisionID >= config_.sbi_revision) {
            s_.health = fb::kHealthSbiReady;
            s_.downloads.clear();  // the images the SBI takes come after it
        }
    }
}

void RecoveryChip::start_single_stage() {
    if (reg(fb::kPrimateFastbootPtr) != fb::kKestraLoadPointer) {
        s_.boot = FirmwareBoot::halted;
        s_.recovery_version.clear();
        s_.health = fb::kHealthReadyForDownload;
        s_.registers[fb::kPrimateRombootProgress] = fb::kRombootSramOpen;
        return;
    }
    const std::vector<uint8_t> image = run_bytes(fb::kKestraLoadWindow);
    if (loaded_firmware_image(image, nullptr)) run_recovery(image);
}

void RecoveryChip::cookie() {
    if (s_.boot != FirmwareBoot::halted || s_.health != fb::kHealthSbiReady || s_.downloads.empty()) return;
    std::vector<uint8_t> first;
    for (const auto& [start, end] : s_.downloads) {
        (void)end;
        std::vector<uint8_t> image = run_bytes(start);
        if (!loaded_firmware_image(image, nullptr)) return;
        if (first.empty()) first = std::move(image);
    }
    run_recovery(first);
}

void chip_boot_from_nvm(RecoveryChipState& chip, uint16_t device_type, bool verified) {
    RecoveryChipState next;
    for (const auto& [address, value] : chip.registers)
        if (is_persistent_word(address) || address == fb::kStickyBytePor || address == fb::kStickyBytePerst)
            next.registers[address] = value;
    bool held = false;
    if (device_type > 7)
        for (const auto& [address, value] : next.registers) held = held || (is_persistent_word(address) && value != 0);
    if (held) {
        // The ROM finds the fastboot marks and waits for the host instead of booting.
        next.boot = FirmwareBoot::halted;
        next.locked_at_boot = false;
        next.health = fb::kHealthReadyForDownload;
        next.registers[fb::kPrimateRombootProgress] = fb::kRombootSramOpen;
    } else if (!verified) {
        next.boot = FirmwareBoot::nvm_failed;
        next.locked_at_boot = false;
        next.protection_gated = device_type < 8 && device_type != 6;
        next.health = kBootHealthDown;
    }
    chip = std::move(next);
}

uint32_t chip_boot_health(const RecoveryChipState& chip) {
    switch (chip.boot) {
        case FirmwareBoot::nvm:
        case FirmwareBoot::recovery: return fb::kHealthOperational;
        case FirmwareBoot::nvm_failed: return kBootHealthDown;
        case FirmwareBoot::halted: return chip.health ? chip.health : kBootHealthDown;
    }
    return kBootHealthDown;
}

bool loaded_firmware_image(std::span<const uint8_t> bytes, std::string* version) {
    const size_t lowest = bytes.size() > kImageSlackBytes ? bytes.size() - kImageSlackBytes : 0;
    for (size_t length = bytes.size(); length >= lowest && length >= FW_IMAGE_MIN_SIGNED_LENGTH; --length) {
        const auto image = bytes.first(length);
        if (!firmware_signed_image_valid(image)) continue;
        if (version) {
            apebinHeader h;
            std::memcpy(&h, image.data(), sizeof h);
            char text[32];
            std::snprintf(text, sizeof text, "%u.%u.%u.%u", h.major_ver, h.minor_ver, h.revision, h.build);
            *version = text;
        }
        return true;
    }
    return false;
}

}  // namespace zelt::sim
