#include "sim/firmware/reset.h"

#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "common/directory_types.h"
#include "formats/crypto/crc32.h"
#include "sim/firmware/image_check.h"
#include "sim/firmware/install_staged.h"
#include "wire/fw_register_address.h"

namespace zelt::sim {

namespace {

constexpr uint32_t kNormalWait = 30;   // 3 s
constexpr uint32_t kMaxBailout = 100;  // 10 s
// embedded_proc_type of a reset of the boot processor alone (the warm reset).
constexpr uint8_t kResetBootProcessor = 0;

bool fault_matches(const FaultDesc& f, const FirmwareContext& ctx, ResetFault kind) {
    if (f.kind != "reset_fault" || f.cmd_err != static_cast<uint8_t>(kind)) return false;
    if (!f.adapter.empty() && f.adapter != ctx.adapter.name) return false;
    if (!f.function.empty() && f.function != ctx.function.address() && f.function != ctx.function.ifname)
        return false;
    return true;
}

bool has_fault(const FirmwareContext& ctx, ResetFault kind) {
    if (!ctx.faults) return false;
    for (const FaultDesc& f : *ctx.faults)
        if (fault_matches(f, ctx, kind)) return true;
    return false;
}

}  // namespace

bool sim_hot_reset_capable(const AdapterDesc& adapter) { return adapter.device_type > 5; }

void sim_fw_reset(FirmwareContext& ctx, const hwrm_fw_reset_input& request) {
    // A recovery image restarting its own boot processor stays the running image; any
    // other reset ends it and the chip boots from its NVM.
    if (ctx.state.chip.boot == FirmwareBoot::recovery && request.embedded_proc_type == kResetBootProcessor) return;
    const uint32_t counter = ctx.state.reset_count;
    unsigned restart_ms = sim_hot_reset_capable(ctx.adapter) ? kResetRestartMs : 0;
    if (has_fault(ctx, ResetFault::stays_down)) restart_ms = kResetStuckMs;
    firmware_reset(ctx, restart_ms);
    if (has_fault(ctx, ResetFault::counter_stuck)) ctx.state.reset_count = counter;
}

RecoveryChipConfig recovery_chip_config(const AdapterDesc& adapter) {
    const AntiRollbackCounters fuses = anti_rollback_counters(adapter);
    return RecoveryChipConfig{adapter.device_type, fuses.crid, fuses.sbi_rev};
}

namespace {

// The boot code entry and its image bytes, when the NVM has them whole.
bool boot_image(const FlashModel& flash, zelnvm_directory_entry_t& entry, std::span<const uint8_t>& image) {
    if (flash.size() == 0 || !flash.has_directory()) return false;
    const int index = flash.find(ZEL_DIR_TYPE_BOOTCODE, 0, 0);
    if (index < 0) return false;
    entry = flash.entry(static_cast<uint32_t>(index));
    image = flash.view(static_cast<uint32_t>(index), 0, entry.data_length);
    return image.size() == entry.data_length;
}

// The record of a signed image verified in full, which ends in `head_crc` (stored
// little-endian, as the image holds it).
VerifiedBootImage verified_image(const zelnvm_directory_entry_t& entry, uint32_t head_crc) {
    uint8_t tail[sizeof head_crc];
    std::memcpy(tail, &head_crc, sizeof tail);
    const uint32_t crc = firmware_crc32_continue(head_crc, tail);
    VerifiedBootImage v;
    v.valid = true;
    v.location = entry.item_location;
    v.data_length = entry.data_length;
    v.entry_checksum = entry.data_chksum;
    v.attr = entry.attr;
    v.head_crc = head_crc;
    v.crc = crc;
    return v;
}

// Images shorter than this take their CRCs on one thread: a second costs more than it saves.
constexpr size_t kTwoThreadCrcBytes = 1u << 20;

// The image's CRCs, a large image's taken in two halves on two threads and joined.
ImageCrcs boot_image_crcs(std::span<const uint8_t> image) {
    if (image.size() < kTwoThreadCrcBytes) return firmware_image_crcs(image);
    const std::span<const uint8_t> head = image.first(image.size() - 4);
    const size_t half = head.size() / 2;
    uint32_t second = 0;
    std::optional<std::thread> helper;
    try {
        helper.emplace([&] { second = firmware_crc32(head.subspan(half)); });
    } catch (const std::system_error&) {
        return firmware_image_crcs(image);  // no second thread to be had
    }
    const uint32_t first = firmware_crc32(head.first(half));
    helper->join();
    ImageCrcs crcs;
    crcs.head = crypto::crc32_combine(first, second, head.size() - half);
    crcs.whole = firmware_crc32_continue(crcs.head, image.last(4));
    return crcs;
}

bool same_entry(const VerifiedBootImage& v, const zelnvm_directory_entry_t& entry) {
    return v.valid && v.location == entry.item_location && v.data_length == entry.data_length &&
           v.entry_checksum == entry.data_chksum && v.attr == entry.attr;
}

}  // namespace

bool nvm_boot_image_verifies(const FlashModel& flash) {
    zelnvm_directory_entry_t entry;
    std::span<const uint8_t> image;
    return boot_image(flash, entry, image) && firmware_item_valid(image, entry);
}

bool nvm_boot_image_verifies(const FlashModel& flash, VerifiedBootImage& verified) {
    zelnvm_directory_entry_t entry;
    std::span<const uint8_t> image;
    if (!boot_image(flash, entry, image)) return false;
    if (same_entry(verified, entry)) {
        const ImageCrcs crcs = boot_image_crcs(image);
        if (crcs.head == verified.head_crc && crcs.whole == verified.crc) return true;
    }
    if (!firmware_item_valid(image, entry)) return false;
    // A boot image that passed is a signed image: it ends in the CRC of what comes
    // before, so its CRCs follow from its last 4 bytes without another pass.
    uint32_t head_crc = 0;
    std::memcpy(&head_crc, image.data() + image.size() - sizeof head_crc, sizeof head_crc);
    verified = verified_image(entry, head_crc);
    return true;
}

void note_installed_boot_image(const FlashModel& flash, uint32_t data_length, uint32_t head_crc,
                               VerifiedBootImage& verified) {
    zelnvm_directory_entry_t entry;
    std::span<const uint8_t> image;
    if (boot_image(flash, entry, image) && entry.data_length == data_length) verified = verified_image(entry, head_crc);
}

void FirmwareChipHost::boot_from_nvm(RecoveryChipState& chip) {
    if (&chip != &ctx_.state.chip) ctx_.state.chip = chip;
    firmware_reset(ctx_, restart_ms_);
    if (&chip != &ctx_.state.chip) chip = ctx_.state.chip;
}

uint16_t sim_registered_vfs(FirmwareContext& ctx) {
    const FunctionDesc& f = ctx.function;
    if (f.is_vf) return 0;
    const uint64_t back = ctx.state.down_until_us + uint64_t{kResetVfReturnMs} * 1000u;
    if (ctx.state.down_until_us != 0 && ctx.now_us < back) return 0;
    unsigned vfs = f.num_vfs;
    if (ctx.state.reset_count > 0 && vfs > 0 && has_fault(ctx, ResetFault::fewer_vfs)) --vfs;
    return static_cast<uint16_t>(vfs);
}

void sim_reset_wait_periods(FirmwareContext& ctx, uint32_t& normal_wait, uint32_t& max_bailout) {
    const bool none = has_fault(ctx, ResetFault::no_wait_periods);
    normal_wait = none ? 0 : kNormalWait;
    max_bailout = none ? 0 : kMaxBailout;
}

bool sim_sync_fails(FirmwareContext& ctx) { return has_fault(ctx, ResetFault::sync_fails); }

void sim_window_recovery_registers(hwrm_error_recovery_qcfg_output& out) {
    out.fw_health_status_reg = zeltFwRegWindowAddress(ZELT_CFG_WINDOW_FW_HEALTH);
    out.fw_heartbeat_reg = zeltFwRegWindowAddress(kWindowHeartbeat);
    out.fw_reset_cnt_reg = zeltFwRegWindowAddress(kWindowResetCount);
    out.reset_inprogress_reg = zeltFwRegWindowAddress(kWindowResetInProgress);
    out.err_recovery_cnt_reg = zeltFwRegWindowAddress(kWindowErrorRecoveryCount);
}

uint32_t sim_window_register(const AdapterState& state, uint64_t now_us, uint16_t offset) {
    const bool restarting = now_us < state.down_until_us;
    switch (offset) {
        case ZELT_CFG_WINDOW_FW_HEALTH:
            if (state.chip.boot != FirmwareBoot::nvm) return chip_boot_health(state.chip);
            return restarting ? 0x0 : 0x8000;
        case kWindowHeartbeat: return static_cast<uint32_t>(now_us / 100000u);
        case kWindowResetCount: return state.reset_count;
        case kWindowResetInProgress: return restarting ? 1 : 0;
        case kWindowErrorRecoveryCount: return state.error_recovery_count;
        default: return 0;
    }
}

}  // namespace zelt::sim
