// Register protection and the recovery image of the Kestra family (device type 8):
// the CRID from the boot record names the image file; a multi-image ("CFB") file is
// started in two stages (its SBI first, then the firmware images), any other file is
// loaded whole as a single stage.
#include <cstdint>
#include <cstdio>

#include "device/recovery/recovery_image.h"
#include "formats/fastboot/fastboot_file.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "wire/fastboot_registers.h"

namespace zelt::device::recovery {

namespace fb = wire::fastboot;
namespace ff = formats::fastboot;

namespace {

// Polls of the health word while a stage comes up, and the wait between them.
constexpr int kHealthPolls = 4000;
constexpr unsigned kHealthPollMs = 10;
// Checks of the health word once the image was started.
constexpr int kStartedChecks = 4;
constexpr unsigned kStartedCheckMs = 500;

bool low16_is(uint32_t word, uint32_t value) { return (word & 0xFFFF) == value; }

// Waits for the health word's low 16 bits to read `value`, testing it at once and then
// every 10 ms at most kHealthPolls times. The last word read is left in `word`.
bool wait_health(const ChipSession& chip, uint32_t value, uint32_t& word) {
    for (int poll = 0;; ++poll) {
        if (!chip.health_word(word)) return false;
        if (low16_is(word, value)) return true;
        if (poll == kHealthPolls) return false;
        chip.host().sleep_ms(kHealthPollMs);
    }
}

Result write_primate(const ChipSession& chip, RecoveryObserver& observer, uint32_t mode, uint32_t pointer) {
    if (!write_or_say(chip, observer, fb::kPrimateFastbootMode, mode,
                      "multi_stage_fastboot: Failed to write PRIMATE(fastboot_mode).\n") ||
        !write_or_say(chip, observer, fb::kPrimateFastbootPtr, pointer,
                      "multi_stage_fastboot: Failed to write PRIMATE(fastboot_ptr).\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    return Result();
}

// Writes `image`'s bytes word by word to its SRAM address as the host reaches it.
Result sram_download(const ChipSession& chip, RecoveryObserver& observer, std::span<const uint8_t> file,
                     const ff::Image& image) {
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\nDownload image file offset [0x%x], len [0x%x], addr [0x%x]\n",
                  image.file_offset, image.length, image.sram_address);
    const std::span<const uint8_t> bytes = ff::image_bytes(file, image);
    if (bytes.size() != image.length) {
        observer.say(text("Failed to change file offset: %d\n", static_cast<int>(image.file_offset)), true);
        return Result::tool(HVXRETVAL_FILE_SEEK_FAILURE);
    }
    uint32_t at = fb::sram_host_address(image.sram_address);
    for (uint32_t word : ff::image_words(bytes)) {
        if (!write_or_say(chip, observer, at, word, text("sram_download: Failed to write at addr = 0x%x\n", at)))
            return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
        at += 4;
    }
    return Result();
}

Result single_stage(const ChipSession& chip, RecoveryObserver& observer, std::span<const uint8_t> file) {
    auto write = [&](uint32_t address, uint32_t value, const char* message) {
        return write_or_say(chip, observer, address, value, message);
    };
    host::Host& host = chip.host();
    observer.say("\nResetting SBL to fastboot mode\n", false);
    if (!write(fb::kPrimateFastbootPtr, 0, "single_stage_fastboot: Failed to write PRIMATE(fastboot_ptr)\n") ||
        !write(fb::kPrimateFastbootMode, fb::kFastbootModeArm,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_mode) value 0x4\n") ||
        !write(fb::kPrimateFastbootMode, fb::kFastbootModeGo,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_mode) value 0x5\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    host.sleep_ms(2000);
    if (!write(fb::kPrimateFastbootPtr, fb::kKestraLoadPointer,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_ptr)\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "\nLoad Primate at offset: 0x%x\n", fb::kKestraLoadPointer);
    if (Result rc = upload_image(chip, observer, file, fb::kKestraLoadWindow, fb::kImageTrailerWords); !rc) {
        observer.say("Failed to upload fastboot firmware\n", true);
        return rc;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Setting fastboot_mode reg to fastboot...\n");
    if (!write(fb::kPrimateFastbootPtr, fb::kKestraLoadPointer,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_ptr)\n") ||
        !write(fb::kPrimateFastbootMode, fb::kFastbootModeArm,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_mode) value 0x4\n") ||
        !write(fb::kPrimateFastbootMode, fb::kFastbootModeGo,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_mode) value 0x5\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    host.sleep_ms(2000);
    if (!write(fb::kPrimateFastbootMode, fb::kFastbootModeOff,
               "single_stage_fastboot: Failed to write PRIMATE(fastboot_mode)\n") ||
        !write(fb::kPrimateFastbootPtr, 0, "single_stage_fastboot: Failed to write PRIMATE(fastboot_ptr)\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    return Result();
}

Result multi_stage(const ChipSession& chip, RecoveryObserver& observer, std::span<const uint8_t> file) {
    observer.say("\nSBI based fastboot\n", false);
    // The whole header is checked before any register is written: a damaged file must
    // leave the chip as it was.
    const ff::HeaderRead read = ff::read_header(file);
    switch (read.status) {
        case ff::HeaderStatus::kShort:
            observer.say("Failed to read fastboot header\n", true);
            return Result::tool(HVXRETVAL_READ_FASTBOOT_HDR_FAILED);
        case ff::HeaderStatus::kSignature:
            observer.say("Invalid header signature\n", true);
            return Result::tool(HVXRETVAL_INVALID_FASTBOOT_HDR_SIGNATURE);
        case ff::HeaderStatus::kImageCount:
            observer.say("\nDownload image start\n", false);
            observer.say("Invalid number of images\n", true);
            return Result::tool(HVXRETVAL_INVALID_NUM_OF_IMAGES);
        case ff::HeaderStatus::kImageOutside:
            // An image that does not lie inside the file would be loaded short.
            observer.say("\nDownload image start\n", false);
            observer.say("Failed to download images\n", true);
            return Result::tool(HVXRETVAL_DOWNLOAD_SRAM_IMAGE_FAILED);
        case ff::HeaderStatus::kOk: break;
    }
    observer.say("\nDownload image start\n", false);
    const ff::Header& header = read.header;

    if (Result rc = write_primate(chip, observer, fb::kFastbootModeArm, 0); !rc) return rc;
    if (Result rc = primate_reset(chip, observer); !rc) return rc;
    uint32_t word = 0;
    if (!chip.health_word(word)) {
        observer.say("Failed to read fw_health_status_reg (0x520).\n", true);
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "fw_health_staus_reg = 0x%x\n", word);
    if (!wait_health(chip, fb::kHealthReadyForDownload, word))
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FW status after fastboot-reset: 1: 0x%x\n", word);
    observer.say(text("\nHCOMM Status [0x%x]\n", word), false);

    const ff::Image* sbi = header.sbi();
    if (sbi) {
        if (Result rc = sram_download(chip, observer, file, *sbi); !rc) {
            observer.say(text("Failed to download image: %s\n", sbi->name.c_str()), true);
            return Result::tool(HVXRETVAL_DOWNLOAD_SRAM_IMAGE_FAILED);
        }
    }
    observer.say("\nDownload SBI image done!\n", false);
    if (Result rc = write_primate(chip, observer, fb::kFastbootModeArm, sbi ? sbi->sram_address : 0); !rc) return rc;
    if (Result rc = primate_reset(chip, observer); !rc) return rc;
    observer.say("\nFastboot enable done, wait for SBI!\n", false);
    if (!wait_health(chip, fb::kHealthSbiReady, word)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "FW status after fastboot-reset: 2: 0x%x\n", word);
        observer.say("Failed to bring up SBI. Ignore this forced failure.\n", true);
        return Result::tool(HVXRETVAL_FAILURE);
    }
    observer.say("\nSBI ready!\n", false);
    observer.say(text("\nHCOMM Status [0x%x]\n", 0u), false);
    for (const ff::Image& image : header.images) {
        if (image.is_sbi()) continue;
        if (Result rc = sram_download(chip, observer, file, image); !rc) {
            observer.say(text("Failed to download image: %s\n", image.name.c_str()), true);
            observer.say("Failed to download images\n", true);
            return Result::tool(HVXRETVAL_DOWNLOAD_SRAM_IMAGE_FAILED);
        }
    }
    observer.say("\nDownload fw image done, wait for FW_READY\n", false);
    const uint32_t cookie = header.cookie_host_address();
    if (!write_or_say(chip, observer, cookie, fb::kFirmwareCookie,
                      text("multi_stage_fastboot: Failed to write at addr = 0x%x\n", cookie)))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    if (!wait_health(chip, fb::kHealthOperational, word)) {
        observer.say("multi_stage_fastboot: Failed to read fw_health not operational.\n", true);
        observer.say("Failed to bring up Firmware\n", true);
        return Result::tool(HVXRETVAL_FAILURE);
    }
    return Result();
}

}  // namespace

Result unlock_kestra(const transport::Function& fn, int device_type, RecoveryObserver& observer) {
    auto opened = ChipSession::open(fn.channel->host(), fn.address, observer, true);
    if (!opened) return opened.result();
    ChipSession& chip = *opened;
    uint32_t health = 0;
    if (!chip.health_word(health)) {
        observer.say("Failed to read fw_health_status_reg (0x520).\n", true);
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "fw_health_staus_reg = 0x%x\n", health);
    uint32_t block_mask_addr = 0, set_addr = 0, mask_addr = 0, set_ctrl = 0, mask_ctrl = 0;
    if (!read_or_say(chip, observer, fb::kGrcProtRuleBlockMaskAddr, block_mask_addr,
                     "Failed to read GRC(prot_rule_block_mask_addr).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleAllowSetAddr, set_addr,
                     "Failed to read GRC(prot_rule_allow_set_addr).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleAllowMaskAddr, mask_addr,
                     "Failed to read GRC(prot_rule_allow_mask_addr).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleAllowSetCtrl, set_ctrl,
                     "Failed to read GRC(prot_rule_allow_set_ctrl).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleAllowMaskCtrl, mask_ctrl,
                     "Failed to read GRC(prot_rule_allow_mask_ctrl).\n"))
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    chip.close();
    if (block_mask_addr == 0 && set_addr == 0 && mask_addr >= fb::kUnlockedMaskAddr &&
        ((set_ctrl | mask_ctrl) & fb::kAllowCtrlUnlockedBit) != 0) {
        observer.say("\nGRCP already unlocked\n", false);
        return Result();
    }
    if (health != fb::kHealthOperational) {
        observer.say("\nGRCP Unlock failed. Firmware not responding.\n", true);
        return Result::tool(HVXRETVAL_GRCP_UNLOCKED_FAILED);
    }
    for (const fb::RegisterWrite& w : fb::kKestraUnlockWrites) {
        if (!transport::zelt_write_direct_reg(fn, w.address, w.value, device_type).ok()) {
            observer.say("\nGRCP unlocked failed. Firmware not responding.\n", true);
            return Result::tool(HVXRETVAL_GRCP_UNLOCKED_FAILED);
        }
    }
    observer.say("\nGRCP unlocked.\n", false);
    return Result();
}

Result fastboot_kestra(const transport::Function& fn, int device_type, RecoveryObserver& observer, std::string* image,
                       transport::MailboxRun* run) {
    host::Host& host = fn.channel->host();
    auto opened = ChipSession::open(host, fn.address, observer, true);
    if (!opened) return opened.result();
    ChipSession& chip = *opened;
    auto crid = query_crid(chip, observer);
    if (!crid) return crid.result();
    observer.say(text("\nCRID = %04x\n", *crid), false);
    if (device_type != 8) {
        observer.say("Recovery is not supported for this device.\n", true);
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    char file[160];
    std::snprintf(file, sizeof file, fb::kRecoveryImageKestraFormat, *crid);
    auto bytes = read_image_file(host, file, observer, true);
    if (!bytes) return bytes.result();
    if (bytes->size() < ff::kHeaderSize) {
        observer.say("Failed to read fastboot header.\n", true);
        return Result::tool(HVXRETVAL_FASTBOOT_FAILED);
    }
    const Result loaded = ff::has_signature(*bytes) ? multi_stage(chip, observer, *bytes)
                                                    : single_stage(chip, observer, *bytes);
    if (!loaded) return loaded;

    uint32_t word = 0;
    bool up = false;
    for (int check = 0; check < kStartedChecks && !up; ++check) {
        if (check > 0) host.sleep_ms(kStartedCheckMs);
        up = chip.health_word(word) && low16_is(word, fb::kHealthOperational);
    }
    chip.close();
    if (!up) {
        observer.say(text("\nFast boot %s failed!!\n", file), true);
        return Result::tool(HVXRETVAL_FASTBOOT_FAILED);
    }
    observer.say(text("\nFast boot %s succeeded!!\n", file), false);
    if (image) *image = file;
    if (run) run->fastboot_running = true;
    return transport::zeltnvm_get_fastboot_fw_version(fn);
}

}  // namespace zelt::device::recovery
