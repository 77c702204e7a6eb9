// The firmware's installation of the staged package: checks, then the item directives
// applied to a copy of the flash that replaces the flash only when all went well.
#include "sim/firmware/install_staged.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "common/directory_types.h"
#include "formats/image/image_records.h"
#include "formats/image/item_version.h"
#include "formats/image/secure_boot_identity.h"
#include "formats/patch/patch.h"
#include "formats/vpd/vpd.h"
#include "sim/faults/faults.h"
#include "sim/firmware/image_check.h"
#include "sim/firmware/reset.h"
#include "sim/firmware/staged_package.h"
#include "wire/hwrm_nvm.h"
#include "wire/nvm_option_values.h"

namespace zelt::sim {

AntiRollbackCounters anti_rollback_counters(const AdapterDesc& adapter) {
    if (!adapter.secure_boot) return {};
    constexpr image::SecureBootIdentity id = image::kSimulatedSecureBootIdentity;
    return AntiRollbackCounters{id.crid, id.sbi_revision, id.srt_revision, id.crt_revision};
}

std::string voltage_regulator_name(const AdapterDesc& adapter) {
    return adapter.device_type > 7 ? "HVR-4410" : "HVR-2205";
}

namespace {

using Bytes = std::vector<uint8_t>;

uint64_t round_up(uint64_t n, uint64_t unit) { return (n + unit - 1) / unit * unit; }

bool is_write_directive(uint8_t directive) {
    return directive == kDirectiveAlways || directive == kDirectiveReplaceIfPresent ||
           directive == kDirectiveCreateIfAbsent;
}

// The secure-boot header of an SBI, SRT or CRT item inside the package, if it fits.
std::optional<AuthenticatedBootImageHeader_t> secure_boot_header(const StagedPackage& pkg, const StagedRecord& r) {
    const size_t at = r.entry.type == ZEL_DIR_TYPE_SBI ? SBI_HEADER_OFFSET_IN_SBI : 0;
    const std::span<const uint8_t> data = pkg.data(r);
    if (data.size() < at + sizeof(AuthenticatedBootImageHeader_t)) return std::nullopt;
    AuthenticatedBootImageHeader_t h;
    std::memcpy(&h, data.data() + at, sizeof h);
    return h;
}

// True when a secure-boot image of the package is older than the adapter's counters
// allow, or made for another customer.
bool rollback_refused(const StagedPackage& pkg, const AntiRollbackCounters& fuses) {
    for (const StagedRecord& r : pkg.records) {
        const zelnvm_directory_entry_t& e = r.entry;
        if (!is_write_directive(r.directive)) continue;
        if (e.type != ZEL_DIR_TYPE_SBI && e.type != ZEL_DIR_TYPE_SRT && e.type != ZEL_DIR_TYPE_CRT) continue;
        auto h = secure_boot_header(pkg, r);
        if (!h) continue;  // not a secure-boot image; item verification has judged it
        if (e.type == ZEL_DIR_TYPE_SBI && (h->sbi.CustomerRevisionID != fuses.crid || h->sbi.SBIRevisionID < fuses.sbi_rev))
            return true;
        if (e.type == ZEL_DIR_TYPE_SRT && h->sbi.CustomerRevisionID < fuses.srt_rev) return true;
        if (e.type == ZEL_DIR_TYPE_CRT && h->sbi.CustomerRevisionID < fuses.crt_rev) return true;
    }
    return false;
}

// True when the package lists supported voltage regulators and the adapter's is not
// among them.
bool regulator_refused(const StagedPackage& pkg, const AdapterDesc& adapter) {
    std::string list = pkg.property_text(kPropSupportedRegulators);
    const std::string mine = voltage_regulator_name(adapter);
    bool any = false;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        if (comma == std::string::npos) comma = list.size();
        std::string name = list.substr(pos, comma - pos);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t") + 1);
        if (!name.empty()) {
            any = true;
            if (name == mine) return false;
        }
        pos = comma + 1;
    }
    return any;
}

// The fault of `kind` ("install_fault", "install_slow") scheduled for this adapter
// function, if any.
const FaultDesc* install_fault(const FirmwareContext& ctx, const char* kind = "install_fault") {
    if (!ctx.faults) return nullptr;
    for (const FaultDesc& f : *ctx.faults) {
        if (f.kind != kind) continue;
        if (!f.adapter.empty() && f.adapter != ctx.adapter.name) continue;
        if (!f.function.empty() && f.function != ctx.function.address() && f.function != ctx.function.ifname) continue;
        return &f;
    }
    return nullptr;
}

// An installation in progress on an overlay of the flash.
class Installation {
public:
    Installation(const FirmwareContext& ctx, const StagedPackage& pkg, bool may_defrag)
        : overlay_(ctx.flash.bytes()), flash_(overlay_), pkg_(pkg), may_defrag_(may_defrag) {}

    FlashModel& flash() { return flash_; }

    // Writes the blocks the installation changed inside [from, to) to `target`.
    void commit(FlashModel& target, uint64_t from, uint64_t to) {
        for (const FlashOverlay::Change& change : overlay_.changes(from, to))
            target.raw_write(static_cast<uint32_t>(change.offset), change.bytes);
    }

    // Applies one manifest record. Returns 0 (check `result`) or a refusal's cmd_err.
    uint8_t apply(const StagedRecord& record, uint8_t& result, bool& installed) {
        const zelnvm_directory_entry_t& d = record.entry;
        installed = false;
        result = kInstallOk;
        // The staging item holds the package being installed; it is never replaced here.
        if (d.type == ZEL_DIR_TYPE_UPDATE || d.type == 0) return 0;
        const int present = flash_.find(d.type, d.ordinal, d.ext);
        const std::span<const uint8_t> data = pkg_.data(record);
        switch (record.directive) {
            case kDirectiveAlways: break;
            case kDirectiveReplaceIfPresent:
                if (present < 0) return 0;
                break;
            case kDirectiveCreateIfAbsent:
                if (present >= 0 && verifies(static_cast<uint32_t>(present))) return 0;
                break;
            case kDirectiveRemoveIfPresent:
                if (present < 0) return 0;
                flash_.erase_entry(static_cast<uint32_t>(present));
                installed = true;
                return 0;
            case kDirectivePatchIfPresent:
                if (present < 0) return 0;
                return patch(static_cast<uint32_t>(present), data, result, installed);
            default: return 0;  // directives this firmware does not know are skipped
        }
        if (data.empty() && present >= 0) {
            installed = true;  // an item without data only asks for the item to exist
            return 0;
        }
        uint8_t refusal = place(d.type, d.ordinal, d.ext, d.attr, data, d.item_length, result, record.data_crc);
        installed = refusal == 0 && result == kInstallOk;
        return refusal;
    }

    // Writes a whole item, defragmenting the flash first when that is allowed and
    // needed. `data_crc` is the data's CRC-32 when it is known already.
    uint8_t place(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr, std::span<const uint8_t> data,
                  uint32_t item_length, uint8_t& result, std::optional<uint32_t> data_crc = std::nullopt) {
        uint32_t index;
        auto put = [&] {
            return data.empty() && flash_.find(type, ordinal, ext) < 0
                       ? flash_.create(type, ordinal, ext, attr, item_length, index)
                       : flash_.write(type, ordinal, ext, attr, data, item_length, index, data_crc);
        };
        FlashStatus st = put();
        if (st == FlashStatus::fragmented && may_defrag_) {
            flash_.defragment();
            st = put();
        }
        switch (st) {
            case FlashStatus::ok: return 0;
            case FlashStatus::fragmented: return HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR;
            case FlashStatus::no_space:
            case FlashStatus::directory_full: return HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE;
            default: result = kInstallWriteFailed; return 0;
        }
    }

private:
    Bytes item_bytes(uint32_t index, bool whole_allocation) const {
        zelnvm_directory_entry_t e = flash_.entry(index);
        Bytes buf(whole_allocation ? e.item_length : e.data_length);
        if (flash_.read(index, 0, buf) != FlashStatus::ok) buf.clear();
        return buf;
    }

    bool verifies(uint32_t index) const {
        zelnvm_directory_entry_t e = flash_.entry(index);
        Bytes buf = item_bytes(index, false);
        return buf.size() == e.data_length && firmware_item_valid(buf, e);
    }

    // Patches the item in place: a VPD item after its format revision word, any other
    // item as binary patch lines. The item keeps its attributes and allocation.
    uint8_t patch(uint32_t index, std::span<const uint8_t> text, uint8_t& result, bool& installed) {
        zelnvm_directory_entry_t e = flash_.entry(index);
        if (!verifies(index)) {
            result = kInstallBadNvmItem;
            return 0;
        }
        Bytes buf = item_bytes(index, true);
        if (buf.size() != e.item_length || e.data_length > buf.size()) {
            result = kInstallWriteFailed;
            return 0;
        }
        // Bytes past the data are erased flash; the patch sees them as zeros.
        std::fill(buf.begin() + e.data_length, buf.end(), 0);
        const char* patch_text = reinterpret_cast<const char*>(text.data());
        int32_t rc;
        if (e.type == ZEL_DIR_TYPE_VPD) {
            if (e.data_length < VPD_IMAGE_HEADER_SIZE) {
                result = kInstallPatchFailed;
                return 0;
            }
            rc = zeltnvmPatchVPD(buf.data() + VPD_IMAGE_HEADER_SIZE, buf.size() - VPD_IMAGE_HEADER_SIZE, patch_text,
                                 text.size());
            if (rc >= 0) rc += static_cast<int32_t>(VPD_IMAGE_HEADER_SIZE);
        } else {
            rc = zeltnvmPatch(buf.data(), buf.size(), e.data_length, patch_text, text.size());
        }
        if (rc < 0) {
            result = kInstallPatchFailed;
            return 0;
        }
        buf.resize(static_cast<size_t>(rc));
        uint8_t refusal = place(e.type, e.ordinal, e.ext, e.attr, buf, e.item_length, result);
        installed = refusal == 0 && result == kInstallOk;
        return refusal;
    }

    FlashOverlay overlay_;
    FlashModel flash_;
    const StagedPackage& pkg_;
    bool may_defrag_;
};

// Appends `line` to the install log held in `flash`. 0, or the cmd_err of a log that
// found no room (a failed write gives kInstallWriteFailed in `result`).
uint8_t write_log(FlashModel& flash, const std::string& line, bool may_defrag, uint8_t& result) {
    Bytes old;
    uint16_t attr = 0;
    uint32_t item_length = 0;
    int index = flash.find(ZEL_DIR_TYPE_PKG_LOG, 0, 0);
    if (index >= 0) {
        zelnvm_directory_entry_t e = flash.entry(static_cast<uint32_t>(index));
        old.resize(e.data_length);
        if (flash.read(static_cast<uint32_t>(index), 0, old) != FlashStatus::ok) old.clear();
        attr = e.attr;
        item_length = e.item_length;
    }
    std::string text = append_install_log(old, line);
    item_length = std::max<uint32_t>(item_length, static_cast<uint32_t>(round_up(text.size(), FlashModel::kBlock)));
    uint32_t written;
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    FlashStatus st = flash.write(ZEL_DIR_TYPE_PKG_LOG, 0, 0, attr, bytes, item_length, written);
    if (st == FlashStatus::fragmented && may_defrag) {
        flash.defragment();
        st = flash.write(ZEL_DIR_TYPE_PKG_LOG, 0, 0, attr, bytes, item_length, written);
    }
    if (st == FlashStatus::fragmented) return HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR;
    if (st == FlashStatus::no_space || st == FlashStatus::directory_full) return HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE;
    if (st != FlashStatus::ok) result = kInstallWriteFailed;
    return 0;
}

// The primary version of the management firmware the package installs, if it has one.
std::string installed_firmware_version(const StagedPackage& pkg, uint64_t mask) {
    for (uint16_t type : {uint16_t{ZEL_DIR_TYPE_BOOTCODE_2}, uint16_t{ZEL_DIR_TYPE_BOOTCODE}}) {
        for (size_t i = 0; i < pkg.records.size() && i < 64; ++i) {
            const StagedRecord& r = pkg.records[i];
            const std::span<const uint8_t> data = pkg.data(r);
            if (r.entry.type != type || !(mask >> i & 1) || data.empty()) continue;
            char text[256];
            if (zeltnvmGetItemBufVersionString(type, data.data(), data.size(), 0, text, sizeof text, r.entry.attr) == 0)
                return text;
        }
    }
    return {};
}

}  // namespace

uint8_t firmware_install_staged(FirmwareContext& ctx, uint32_t install_type, uint16_t flags, InstallResult& result) {
    result = InstallResult{};
    result.valid = true;
    result.install_type = install_type;
    result.when_us = ctx.now_us;
    result.problem_item = kInstallNoProblemItem;
    const bool may_defrag = (flags & HWRM_NVM_INSTALL_UPDATE_FLAGS_ALLOWED_TO_DEFRAG) != 0;

    auto finish = [&](uint8_t cmd_err) {
        if (cmd_err == 0) ctx.state.last_install = result;
        return cmd_err;
    };

    // The staged package, read where it lies: the flash is not changed before the
    // installation is done with the package's bytes.
    int staging = ctx.flash.find(ZEL_DIR_TYPE_UPDATE, 0, 0);
    std::span<const uint8_t> pkg;
    if (staging >= 0) {
        const auto index = static_cast<uint32_t>(staging);
        pkg = ctx.flash.view(index, 0, ctx.flash.entry(index).data_length);
    }
    if (pkg.empty()) {
        result.result = kInstallNothingStaged;
        return finish(0);
    }

    InstallLogFields log;
    log.when_us = ctx.now_us;
    log.install_type = install_type;
    auto fail_logged = [&](uint8_t code, uint8_t problem) {
        // The flash is left as it was; only the log records the attempt.
        result.result = code;
        result.problem_item = problem;
        log.status = "Failed";
        uint8_t ignored = 0;
        write_log(ctx.flash, install_log_line(log), may_defrag, ignored);
        return finish(0);
    };

    const size_t pkg_length = staged_package_length(pkg);
    if (pkg_length == 0) return fail_logged(kInstallBadPackage, kInstallNoProblemItem);
    pkg = pkg.first(pkg_length);

    // Every item is checked before anything is written.
    StagedPackage staged;
    int bad_record = -1;
    const bool sound = check_staged_package(pkg, staged, bad_record);
    log.description = staged.property_text(kPropDescription);
    log.version = staged.property_text(kPropVersion);
    log.pkg_timestamp = staged.property_text(kPropUpdatedOn);
    if (log.pkg_timestamp.empty()) log.pkg_timestamp = staged.property_text(kPropCreatedOn);
    log.has_checksum = staged.checksum.has_value();
    log.checksum = staged.checksum.value_or(0);
    if (!sound)
        return fail_logged(kInstallBadPackage, bad_record >= 0 && bad_record < 0xFF ? static_cast<uint8_t>(bad_record)
                                                                                     : kInstallNoProblemItem);
    const std::vector<StagedRecord>& items = staged.records;
    const uint32_t count = static_cast<uint32_t>(items.size());

    // Refusals change nothing and leave no log entry.
    const FaultDesc* fault = install_fault(ctx);
    if (fault && fault->cmd_err != 0 && !(fault->cmd_err == HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR && may_defrag))
        return finish(fault->cmd_err);
    if (rollback_refused(staged, anti_rollback_counters(ctx.adapter)))
        return finish(HWRM_NVM_INSTALL_UPDATE_CMD_ERR_ANTI_ROLLBACK);
    if (regulator_refused(staged, ctx.adapter)) return finish(HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_VOLTREG_SUPPORT);

    Installation inst(ctx, staged, may_defrag);
    // A forced fragmentation that defragmentation may cure: the firmware defragments.
    if (fault && fault->cmd_err == HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR) inst.flash().defragment();
    uint64_t mask = 0;
    int last_written = -1;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t code = kInstallOk;
        bool installed = false;
        if (uint8_t refusal = inst.apply(items[i], code, installed)) return finish(refusal);
        if (code != kInstallOk) return fail_logged(code, i < 0xFF ? static_cast<uint8_t>(i) : kInstallNoProblemItem);
        if (installed) {
            if (i < 64) mask |= uint64_t{1} << i;
            last_written = static_cast<int>(i);
        }
    }
    // A scheduled write fault breaks the installation at the last item it wrote.
    if (fault && fault->cmd_err == 0)
        return fail_logged(fault->error_code ? static_cast<uint8_t>(fault->error_code) : kInstallWriteFailed,
                           last_written >= 0 && last_written < 0xFF ? static_cast<uint8_t>(last_written)
                                                                    : kInstallNoProblemItem);

    log.status = "Success";
    log.installed_items = static_cast<unsigned>(std::popcount(mask));
    log.installed_mask = mask;
    uint8_t code = kInstallOk;
    if (uint8_t refusal = write_log(inst.flash(), install_log_line(log), may_defrag, code)) return finish(refusal);
    if (code != kInstallOk) return fail_logged(code, kInstallNoProblemItem);

    // What the state needs from the package, taken before the flash (and with it the
    // staged package's bytes) is written.
    const auto live_patch_prop = staged.property(kPropLivePatch);
    const bool live_patch = live_patch_prop && !live_patch_prop->empty();
    const std::string fw = live_patch ? std::string() : installed_firmware_version(staged, mask);
    // The boot code image written from verified package data, noted once the flash holds
    // it so that the boot at the next reset can tell it by its CRC. A verified signed
    // image ends in the CRC of the bytes before it.
    std::optional<std::pair<uint32_t, uint32_t>> boot_written;  // data length, head CRC
    for (uint32_t i = 0; i < count && i < 64; ++i) {
        const StagedRecord& r = items[i];
        const std::span<const uint8_t> data = staged.data(r);
        if (!(mask >> i & 1) || !is_write_directive(r.directive) || r.entry.type != ZEL_DIR_TYPE_BOOTCODE ||
            r.entry.ordinal != 0 || r.entry.ext != 0 || data.size() < sizeof(uint32_t))
            continue;
        uint32_t head_crc = 0;
        std::memcpy(&head_crc, data.data() + data.size() - sizeof head_crc, sizeof head_crc);
        boot_written.emplace(static_cast<uint32_t>(data.size()), head_crc);
    }

    // Everything is in place: the changes reach the flash. A slow part takes its time
    // between the directory and the items.
    const uint64_t flash_size = ctx.flash.size();
    if (install_fault(ctx, "install_slow")) {
        const uint64_t head = std::min<uint64_t>(FlashModel::kDirectoryBytes, flash_size);
        inst.commit(ctx.flash, 0, head);
        std::this_thread::sleep_for(std::chrono::milliseconds(kInstallSlowWriteMs));
        inst.commit(ctx.flash, head, flash_size);
    } else {
        inst.commit(ctx.flash, 0, flash_size);
    }
    if (boot_written)
        note_installed_boot_image(ctx.flash, boot_written->first, boot_written->second, ctx.state.verified_boot);
    result.result = kInstallOk;
    // Firmware that puts the functions' MAC addresses back to the factory's with an
    // update: what the tool set must be written back afterwards.
    if (install_fault(ctx, "install_resets_macs")) ctx.state.options.erase(ZELT_OPT_MAC_ADDRESS);
    result.reset_required = live_patch ? 0 : 1;
    result.installed_items[0] = static_cast<uint32_t>(mask);
    result.installed_items[1] = static_cast<uint32_t>(mask >> 32);
    if (!live_patch) {
        ctx.state.reset_pending = true;
        // The newest chips write the secondary images only when they synchronise, so
        // an update leaves the two copies out of step until then.
        if (ctx.adapter.device_type > 7) ctx.state.fw_status |= kFwStatusImagesUpdated;
        if (!log.version.empty()) ctx.state.pending_pkg_version = log.version;
        if (!fw.empty()) ctx.state.pending_fw_version = fw;
    }
    return finish(0);
}

}  // namespace zelt::sim
