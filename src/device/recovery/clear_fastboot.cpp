// Clearing the Kestra fastboot state once a recovered adapter runs from its new NVM:
// a chip reset under the bus arbitration, then the persistent security words and the
// fastboot pointer and mode. The older families keep no such state.
#include <cstdint>

#include "device/recovery/chip_session.h"
#include "device/recovery/recovery.h"
#include "log/print.h"
#include "wire/fastboot_registers.h"

namespace zelt::device {

namespace {

namespace fb = wire::fastboot;

constexpr int kArbitrationPolls = 1000;

// The failures of this step go to the log only: it runs after the installation, whose
// own outcome the command reports.
class LogOnly : public RecoveryObserver {
public:
    void say(const std::string& text, bool) override { zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s", text.c_str()); }
};

Result clear_kestra(const transport::Function& fn) {
    LogOnly log;
    auto opened = recovery::ChipSession::open(fn.channel->host(), fn.address, log, true);
    if (!opened) return opened.result();
    const recovery::ChipSession& chip = *opened;
    host::Host& host = chip.host();
    using recovery::write_or_say;

    if (!write_or_say(chip, log, fb::kPaPmSwArb, fb::kArbRequest, "clear_fastboot_regs: Failed to write PA(pm_sw_arb)\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    bool granted = false;
    for (int poll = 0; poll < kArbitrationPolls && !granted; ++poll) {
        uint32_t arb = 0;
        if (!chip.read(fb::kPaPmSwArb, arb)) {
            log.say("Failed to read PA(pm_sw_arb).\n", true);
            log.say("clear_fastboot_regs: pbus_acquire_arb failed\n", true);
            return Result::tool(HVXRETVAL_REG_READ_FAILED);
        }
        granted = (arb & fb::kArbGranted) != 0;
        if (!granted) host.sleep_ms(1);
    }
    if (!granted) log.say("clear_fastboot_regs: pbus_acquire_arb failed\n", true);
    if (!write_or_say(chip, log, fb::kSoftReset0, fb::kSoftResetAll,
                      "clear_fastboot_regs: Failed to write RSTCTRL(soft_reset_0)\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    host.sleep_ms(1);
    if (!chip.write(fb::kPaPmSwArb, fb::kArbRelease)) {
        log.say("clear_fastboot_regs: pbus_release_arb failed\n", true);
        log.say("clear_fastboot_regs: zeltnvm_reset_all failed\n", true);
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    }

    // Every word is attempted, whatever the one before did.
    static constexpr uint32_t kPersistentOffsets[] = {0x28, 0x00, 0x04, 0x08, 0x0C, 0x10, 0x14, 0x18,
                                                      0x1C, 0x20, 0x24, 0x2C, 0x30, 0x34, 0x3C};
    bool cleared = true;
    for (uint32_t offset : kPersistentOffsets)
        cleared &= write_or_say(chip, log, fb::kPrimateSiSecPersistent + offset, 0,
                                recovery::text("clear_fastboot_regs: Failed to write PRIMATE(si_sec_persistent) + 0x%x\n",
                                               offset));
    cleared &= write_or_say(chip, log, fb::kPrimateFastbootMode, 0,
                            "clear_fastboot_regs: Failed to write PRIMATE(fastboot_mode)\n");
    cleared &= write_or_say(chip, log, fb::kPrimateFastbootPtr, 0,
                            "clear_fastboot_regs: Failed to write PRIMATE(fastboot_ptr)\n");
    if (!cleared) {
        log.say("clear_fastboot_regs: zeltnvm_clear_persist_regs failed\n", true);
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    }
    if (!write_or_say(chip, log, fb::kSoftReset0, fb::kSoftResetPrimate,
                      "clear_fastboot_regs: Failed to write RSTCTRL(soft_reset_0)\n"))
        return Result::tool(HVXRETVAL_REG_WRITE_FAILED);
    host.sleep_ms(1);
    return Result();
}

}  // namespace

Result zeltnvm_clear_fastboot_regs(const transport::Function& fn, int device_type) {
    if (device_type <= 7 || !fn.channel) return Result();
    return clear_kestra(fn);
}

}  // namespace zelt::device
