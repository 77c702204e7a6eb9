// Register protection and the single recovery image of the older families (device
// types below 8): the processors are halted, the image is written at its load address
// and the boot processor is started in fastboot mode.
#include <cstdint>

#include "device/recovery/recovery_image.h"
#include "device/reset/device_reset.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "wire/fastboot_registers.h"

namespace zelt::device::recovery {

namespace fb = wire::fastboot;

namespace {

struct Protection {
    uint32_t set_addr = 0, mask_addr = 0, set_ctrl = 0, mask_ctrl = 0;
    bool unlocked() const {
        return set_addr == 0 && mask_addr == fb::kUnlockedMaskAddr && set_ctrl == 0 &&
               (mask_ctrl & 0xFFFF) == fb::kUnlockedMaskCtrl;
    }
};

// Polls of CHIMP(bpe_stat) while the image starts, and the wait between them.
constexpr int kBpePolls = 200;
constexpr unsigned kBpePollMs = 100;

}  // namespace

Result unlock_older(const transport::Function& fn, int device_type, RecoveryObserver& observer) {
    auto opened = ChipSession::open(fn.channel->host(), fn.address, observer);
    if (!opened) return opened.result();
    ChipSession& chip = *opened;

    bool valid = false;
    uint32_t health = 0;
    if (!chip.older_health(valid, health)) {
        observer.say("Failed to read fw_health_status_reg (0x3100008).\n", true);
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    }
    bool running = true;
    if (valid) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "fw_health_staus_reg = 0x%x\n", health);
        running = (health & 0xFFFF) == fb::kHealthOperational;
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "Skip the reading health status register, because health status register is not available.\n");
    }

    // Device type 6 has a wider mask control and no 0xDEADDEAD state.
    const uint32_t mask_ctrl = device_type == 6 ? fb::kUnlockedMaskCtrlType6 : fb::kUnlockedMaskCtrl;
    if (device_type != 6) {
        uint32_t set_addr = 0;
        if (!read_or_say(chip, observer, fb::kGrcProtRuleSetAddr, set_addr, "Failed to read GRC(prot_rule_set_addr).\n"))
            return Result::tool(HVXRETVAL_REG_READ_FAILED);
        if (set_addr == fb::kProtectionDeadWord) {
            bool written;
            if (running) {
                chip.close();
                written = transport::zelt_write_direct_reg(fn, fb::kChimpCpmuCntl1, fb::kCpmuUnlockValue, device_type).ok();
                auto again = ChipSession::open(fn.channel->host(), fn.address, observer);
                if (!again) return again.result();
                chip = std::move(again).value();
            } else {
                written = chip.write(fb::kChimpCpmuCntl1, fb::kCpmuUnlockValue);
            }
            if (!written) {
                observer.say("Failed to write register CHIMP(cpmu_cntl_1).\n", true);
                return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
            }
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: 0xdeaddead detected\n", "unlock_older");
        }
    }

    Protection p;
    if (!read_or_say(chip, observer, fb::kGrcProtRuleSetAddr, p.set_addr, "Failed to read GRC(prot_rule_set_addr).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleMaskAddr, p.mask_addr, "Failed to read GRC(prot_rule_mask_addr).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleSetCtrl, p.set_ctrl, "Failed to read GRC(prot_rule_set_ctrl).\n") ||
        !read_or_say(chip, observer, fb::kGrcProtRuleMaskCtrl, p.mask_ctrl, "Failed to read GRC(prot_rule_mask_ctrl).\n"))
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    chip.close();
    if (p.unlocked()) {
        observer.say("\nGRCP already unlocked\n", false);
        return Result();
    }
    if (!running) {
        observer.say("\nGRCP Unlock failed. Firmware not responding.\n", true);
        return Result::tool(HVXRETVAL_GRCP_UNLOCKED_FAILED);
    }
    const fb::RegisterWrite writes[] = {{fb::kGrcProtRuleSetAddr, 0},
                                        {fb::kGrcProtRuleMaskAddr, fb::kUnlockedMaskAddr},
                                        {fb::kGrcProtRuleSetCtrl, 0},
                                        {fb::kGrcProtRuleMaskCtrl, mask_ctrl}};
    for (const fb::RegisterWrite& w : writes) {
        if (!transport::zelt_write_direct_reg(fn, w.address, w.value, device_type).ok()) {
            observer.say("\nGRCP unlocked failed. Firmware not responding.\n", true);
            return Result::tool(HVXRETVAL_GRCP_UNLOCKED_FAILED);
        }
    }
    observer.say("\nGRCP unlocked.\n", false);
    return Result();
}

Result fastboot_older(const transport::Function& fn, int device_type, RecoveryObserver& observer, std::string* image,
                      transport::MailboxRun* run) {
    const char* file = nullptr;
    if (device_type == 4 || device_type == 5)
        file = fb::kRecoveryImageTypes4And5;
    else if (device_type == 6)
        file = fb::kRecoveryImageType6;
    if (!file) {
        observer.say("Recovery is not supported for this device.\n", true);
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    host::Host& host = fn.channel->host();
    // The file is read before the chip is touched: a missing image leaves it running.
    auto bytes = read_image_file(host, file, observer, false);
    if (!bytes) return bytes.result();

    auto opened = ChipSession::open(host, fn.address, observer);
    if (!opened) return opened.result();
    ChipSession& chip = *opened;
    uint32_t stat = 0;
    if (!read_or_say(chip, observer, fb::kChimpBpeStat, stat, "Failed to read register CHIMP(bpe_stat).\n"))
        return Result::tool(HVXRETVAL_REG_READ_FAILED);

    static constexpr struct {
        const char* cpu;
        const char* failure;
    } kHalts[] = {{"APE", "Failed to halt APE.\n"},
                  {"CHIMP", "Failed to halt CHIMP\n"},
                  {"KONG", "Failed to halt KONG\n"},
                  {"APE", "Failed to halt APE\n"}};
    for (const auto& h : kHalts) {
        if (Result rc = halt_cpu(chip, observer, h.cpu); !rc) {
            observer.say(h.failure, true);
            return rc;
        }
    }
    if (!write_or_say(chip, observer, fb::kChimpFastbootPtr, fb::kFastbootPtrBeforeLoad,
                      text("Failed to write register value 0x%x into CHIMP(fstboot_ptr).\n", fb::kFastbootPtrBeforeLoad)))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    if (Result rc = upload_image(chip, observer, *bytes, fb::kOlderImageLoadAddress, fb::kImageTrailerWords); !rc)
        return rc;

    uint32_t por = 0, perst = 0;
    if (!read_or_say(chip, observer, fb::kStickyBytePor, por, "Failed to read register RSTCTRL(sticky_byte_por).\n"))
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    if (!write_or_say(chip, observer, fb::kStickyBytePor, por | fb::kStickyPorLoading,
                      text("Failed to write register value 0x%x into RSTCTRL(sticky_byte_por).\n",
                           por | fb::kStickyPorLoading)))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    if (!read_or_say(chip, observer, fb::kStickyBytePerst, perst,
                     "Failed to read register RSTCTRL(sticky_byte_perst)).\n"))
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    if (!write_or_say(chip, observer, fb::kStickyBytePerst, perst | fb::kStickyPerstLoading,
                      text("Failed to write register value 0x%x into RSTCTRL(sticky_byte_por).\n",
                           perst | fb::kStickyPerstLoading)))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    if (!write_or_say(chip, observer, fb::kChimpBpeMode, fb::kBpeModeFastboot,
                      text("Failed to write register value 0x%x into CHIMP(bpe_mode).\n", fb::kBpeModeFastboot)))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);

    bool running = false;
    for (int poll = 0; poll < kBpePolls && !running; ++poll) {
        host.sleep_ms(kBpePollMs);
        if (!chip.read(fb::kChimpBpeStat, stat)) break;
        running = fb::bpe_stat_state(stat) == fb::kBpeStatRunning;
    }
    if (!running) {
        uint32_t mode = 0;
        (void)chip.read(fb::kChimpBpeMode, mode);
        (void)chip.read(fb::kChimpBpeStat, stat);
        observer.say(text("\nFailed to update the %s recovery image.\n", file), true);
        observer.say(text("\nFastboot %s time out!! mode: 0x%x stat: 0x%x\n", file, mode, stat), true);
        return Result::tool(HVXRETVAL_FAILURE);
    }
    observer.say(text("\nRecovery image %s updated successfully.\n", file), false);
    if (image) *image = file;
    host.sleep_ms(1000);
    (void)chip.write(fb::kStickyBytePor, por);
    host.sleep_ms(2000);
    chip.close();
    if (run) run->fastboot_running = true;
    (void)transport::zeltnvm_get_fastboot_fw_version(fn);
    const Result reset = zeltnvm_warm_fw_reset(fn);
    if (!reset) {
        observer.say("Firmware warm reset command failed.\n", true);
        return reset;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Firmware warm reset succeeded.\n");
    return Result();
}

}  // namespace zelt::device::recovery
