#include "device/recovery/recovery_image.h"

#include <cerrno>

#include "formats/fastboot/fastboot_file.h"
#include "log/print.h"
#include "wire/fastboot_registers.h"

namespace zelt::device::recovery {

namespace fb = wire::fastboot;

ResultOr<std::vector<uint8_t>> read_image_file(host::Host& host, const std::string& path, RecoveryObserver& observer,
                                               bool newline) {
    std::vector<uint8_t> bytes;
    if (host.read_regular_file(path, kMaxImageFileSize, bytes) != host::FileRead::kOk) {
        observer.say(text("%sFailed open recovery firmware image \"%s\"\n", newline ? "\n" : "", path.c_str()), true);
        return Result::tool(HVXRETVAL_FILE_OPEN_FAILURE);
    }
    return bytes;
}

Result upload_image(const ChipSession& chip, RecoveryObserver& observer, std::span<const uint8_t> bytes,
                    uint32_t address, unsigned trailer_words) {
    uint32_t at = address;
    for (uint32_t word : formats::fastboot::image_words(bytes)) {
        if (!write_or_say(chip, observer, at, word,
                          text("Failed to write register value 0x%x into addr (0x%x).\n", word, at)))
            return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
        at += 4;
    }
    for (unsigned i = 0; i < trailer_words; ++i, at += 4) {
        if (!write_or_say(chip, observer, at, 0, text("Failed to write register value 0 into addr (0x%x).\n", at)))
            return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Writing a fast boot image at offset (0x%x) succeeded.\n", address);
    return Result();
}

Result halt_cpu(const ChipSession& chip, RecoveryObserver& observer, const std::string& name) {
    bool ok = true;
    if (name == "KONG")
        ok = chip.write(fb::kSoftReset0, fb::kSoftResetKongHalt);
    else if (name == "CHIMP")
        ok = chip.write(fb::kChimpBpeMode, fb::kBpeModeHalt);
    else if (name == "APE")
        ok = chip.write(fb::kApeHalt, fb::kApeHaltValue);
    else if (name != "BONO") {
        observer.say("Invalid cpu type. Cannot perform recovery.\n", true);
        return Result::tool(HVXRETVAL_INVALID_FW_PROC_TYPE);
    }
    return ok ? Result() : Result::tool(HVXRETVAL_REG_WRITE_FAILED);
}

Result primate_reset(const ChipSession& chip, RecoveryObserver& observer) {
    if (!write_or_say(chip, observer, fb::kSoftReset0, fb::kSoftResetPrimate,
                      "primate_reset: Failed to write RSTCTRL(soft_reset_0).\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    for (unsigned waited = 0;; ++waited) {
        chip.host().sleep_ms(1);
        uint32_t value = 0;
        if (!read_or_say(chip, observer, fb::kSoftReset0, value,
                         "primate_reset: Failed to read RSTCTRL(soft_reset_0).\n"))
            return Result::tool(HVXRETVAL_REG_READ_FAILED);
        if ((value & fb::kSoftResetPrimate) == 0) return Result();
        if (waited >= kPrimateResetWaitMs) {
            // A reset bit that never clears would hold the run (and the adapter's lock)
            // for good: after a second the processor counts as not resetting.
            observer.say("primate_reset: RSTCTRL(soft_reset_0) reset bit did not clear.\n", true);
            return Result::tool(HVXRETVAL_REG_READ_FAILED);
        }
    }
}

ResultOr<uint16_t> query_crid(const ChipSession& chip, RecoveryObserver& observer) {
    auto write = [&](uint32_t address, uint32_t value, const char* message) {
        return write_or_say(chip, observer, address, value, message);
    };
    if (!write(fb::kPrimateFastbootPtr, 0, "get_sbl_rpb: Failed to write PRIMATE(fastboot_ptr).\n") ||
        !write(fb::kPrimateFastbootMode, fb::kFastbootModeArm, "get_sbl_rpb: Failed to write PRIMATE(fastboot_mode).\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    if (Result rc = primate_reset(chip, observer); !rc) return rc;
    bool open = false;
    for (int i = 0; i < 10 && !open; ++i) {
        uint32_t progress = 0;
        if (!chip.read(fb::kPrimateRombootProgress, progress)) break;
        open = (progress & fb::kRombootSramOpen) != 0;
        if (!open) chip.host().sleep_ms(5);
    }
    if (!open) {
        observer.say("get_sbl_rpb: PRIMATE SRAM is not open.\n", true);
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    }
    uint32_t at = fb::kKestraLoadWindow;
    for (uint32_t word : fb::kBootRecordWords) {
        if (!write(at, word, text("get_sbl_rpb: Failed to write 0x%08X.\n", at).c_str()))
            return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
        at += 4;
    }
    if (!write(fb::kPrimateFastbootPtr, fb::kKestraLoadPointer, "get_sbl_rpb: Failed to write PRIMATE(fastboot_ptr).\n") ||
        !write(fb::kPrimateFastbootMode, fb::kFastbootModeArm, "get_sbl_rpb: Failed to write PRIMATE(fastboot_mode).\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    if (Result rc = primate_reset(chip, observer); !rc) return rc;
    uint32_t word = 0;
    if (!read_or_say(chip, observer, fb::kRpbCridAddress, word, "get_sbl_rpb: Failed to read the (RPB_ADDR + 20).\n"))
        return Result::tool(HVXRETVAL_REG_READ_FAILED);
    return static_cast<uint16_t>(word & 0xFFFF);
}

}  // namespace zelt::device::recovery
