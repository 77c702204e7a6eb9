#include "transport/ethtool_channel.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "common/hvxretval.h"
#include "host/host.h"
#include "host/interrupt.h"
#include "host/output_file.h"
#include "host/run_lock.h"
#include "log/print.h"
#include "transport/answer_text.h"
#include "transport/ethtool_socket.h"
#include "wire/ethtool_nvm.h"

namespace zelt::transport {
namespace {

// The largest dump the driver may hand out: a dump holds the firmware's memory and the
// crash data it keeps, far less than this. A longer length is a damaged answer, not a
// buffer to make.
constexpr uint32_t kDumpMaxBytes = 256u << 20;

// A zero-filled ethtool argument buffer of `size` bytes starting with an
// ethtool_eeprom or ethtool_dump head; aligned for the head's words.
class ArgBuffer {
public:
    explicit ArgBuffer(size_t size) : words_(new (std::nothrow) uint32_t[(size + 3) / 4]()), size_(size) {}
    bool ok() const { return words_ != nullptr; }
    template <class Head>
    Head* head() {
        return reinterpret_cast<Head*>(words_.get());
    }
    uint8_t* payload(size_t head_size) { return reinterpret_cast<uint8_t*>(words_.get()) + head_size; }
    size_t size() const { return size_; }

private:
    std::unique_ptr<uint32_t[]> words_;
    size_t size_;
};

Result eepromRequest(const Function& fn, uint32_t cmd, uint32_t magic, uint32_t offset, uint32_t len,
                     ArgBuffer& buf) {
    auto* ee = buf.head<ethtool_eeprom>();
    ee->magic = magic;
    ee->offset = offset;
    ee->len = len;
    return send_ethtool_cmd(fn, cmd, ee);
}

// One module EEPROM read of `len` bytes at `offset`.
Result moduleRead(const Function& fn, uint32_t offset, uint8_t* out, uint32_t len) {
    ArgBuffer buf(sizeof(ethtool_eeprom) + ZELT_MODULE_VENDOR_NAME_LEN);
    if (!buf.ok()) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    Result rc = eepromRequest(fn, ETHTOOL_GMODULEEEPROM, 0, offset, len, buf);
    if (rc.ok()) std::memcpy(out, buf.payload(sizeof(ethtool_eeprom)), len);
    return rc;
}

Result setDumpFlag(const Function& fn, uint32_t flag) {
    ethtool_dump dump{};
    dump.flag = flag;
    return send_ethtool_cmd(fn, ETHTOOL_SET_DUMP, &dump);
}

Result getDumpFlag(const Function& fn, ethtool_dump& dump) {
    std::memset(&dump, 0, sizeof dump);
    return send_ethtool_cmd(fn, ETHTOOL_GET_DUMP_FLAG, &dump);
}

Result driverInfo(const Function& fn, ethtool_drvinfo& info) {
    std::memset(&info, 0, sizeof info);
    return send_ethtool_cmd(fn, ETHTOOL_GDRVINFO, &info);
}

}  // namespace

Result zeltnvmGetItem(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length) {
    if (length == 0) return Result();
    if (index > ZELT_ETHTOOL_MAX_ERASE_INDEX) return Result::tool(HVXRETVAL_INVALID_INDEX_PARAMETER);
    // The byte offset shares its word with the index: a range past 24 bits would read
    // another item.
    if (static_cast<uint64_t>(offset) + length - 1 > ZELT_ETHTOOL_MAX_ITEM_OFFSET)
        return Result::tool(HVXRETVAL_INVALID_OFFSET_PARAMETER);
    uint32_t done = 0;
    while (done < length) {
        const uint32_t piece = std::min(length - done, ZELT_ETHTOOL_NVM_PIECE);
        ArgBuffer buf(ZELT_ETHTOOL_EEPROM_BUFFER);
        if (!buf.ok()) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
        Result rc = eepromRequest(fn, ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(index, offset + done), piece, buf);
        if (!rc.ok()) return rc;
        std::memcpy(data + done, buf.payload(sizeof(ethtool_eeprom)), piece);
        done += piece;
    }
    return Result();
}

Result zeltnvmWriteItem(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) {
    if (data.empty()) return Result::tool(HVXRETVAL_INVALID_LENGTH_PARAMETER);
    const auto length = static_cast<uint32_t>(data.size());
    ArgBuffer buf(sizeof(ethtool_eeprom) + static_cast<size_t>(length));
    if (!buf.ok()) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    std::memcpy(buf.payload(sizeof(ethtool_eeprom)), data.data(), length);
    return eepromRequest(fn, ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(id.type, id.ext),
                         ethtoolNvmWriteOffset(id.ordinal, attr), length, buf);
}

Result zeltnvmEraseItem(const Function& fn, uint32_t index) {
    if (index > ZELT_ETHTOOL_MAX_ERASE_INDEX) return Result::tool(HVXRETVAL_INVALID_INDEX_PARAMETER);
    ArgBuffer buf(sizeof(ethtool_eeprom) + sizeof(uint32_t));
    if (!buf.ok()) return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    return eepromRequest(fn, ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(index), ethtoolNvmEraseOffset(index), 1, buf);
}

Result zeltnvmEthtoolFlashItem(const Function& fn, const std::string& fname, uint32_t region) {
    ethtool_flash flash{};
    if (fname.size() >= sizeof flash.data) return Result::tool(HVXRETVAL_INVALID_FILENAME_PARAMETER);
    flash.region = region;
    std::memcpy(flash.data, fname.c_str(), fname.size() + 1);
    return send_ethtool_cmd(fn, ETHTOOL_FLASHDEV, &flash);
}

Result zeltnvmSecureUpdate(const Function& fn, std::span<const uint8_t> package, uint32_t install_type,
                           const host::FileSnapshot* snapshot) {
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    auto& host = fn.channel->host();
    // Every installation on the host stages through the one file the driver reads: it is
    // held for this run from its writing until the flash has returned and it is gone.
    zelt::host::LockAttempt staging =
        zelt::host::take_run_lock(host, zelt::host::run_lock_name("staging"), host.lock_wait_ms());
    if (staging.outcome == zelt::host::LockOutcome::kBusy) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO, "The firmware staging file is in use by %s.\n",
                      zelt::host::lock_holder_text(staging.holder).c_str());
        return Result::tool(-ZELT_RC_BUSY);
    }
    if (staging.outcome != zelt::host::LockOutcome::kHeld) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to lock the firmware staging file: %s\n",
                      std::strerror(staging.error));
        return Result::tool(HVXRETVAL_FILE_OPEN_FAILURE);
    }
    if (!host.is_directory(ZELT_FIRMWARE_DIR)) host.make_directories("/lib/firmware");
    // What a run killed outright left behind is nobody's now.
    zelt::host::remove_leftover_temporaries(host, ZELT_FLASH_PACKAGE_PATH);
    // Renamed into place whole, so the driver never reads a torn package. The file
    // lives only until the flash returns, so it is not waited onto the disk.
    // A private snapshot holding exactly these bytes is staged as it is, by a link: the
    // package is not copied once more.
    const bool same_bytes = snapshot != nullptr && snapshot->holds() && snapshot->bytes().data() == package.data() &&
                            snapshot->bytes().size() == package.size();
    if (!same_bytes || !zelt::host::link_replacing(host, ZELT_FLASH_PACKAGE_PATH, snapshot->descriptor())) {
        zelt::host::OutputFile file;
        if (!file.open(host, ZELT_FLASH_PACKAGE_PATH)) return Result::tool(HVXRETVAL_FILE_OPEN_FAILURE);
        if (!file.write(package) || !file.commit_transient()) return Result::tool(HVXRETVAL_FILE_WRITE_FAILURE);
    }
    zelt::host::RemoveOnInterrupt remove_staged(host.map_path(ZELT_FLASH_PACKAGE_PATH));
    // A flash the firmware accepts is carried through by the caller's CarryThrough; one
    // it refuses leaves the run to stop at once.
    zelt::host::arm_carry_through();
    Result rc = zeltnvmEthtoolFlashItem(fn, ZELT_FLASH_PACKAGE_NAME, ethtoolFlashPackageRegion(install_type));
    host.remove_file(ZELT_FLASH_PACKAGE_PATH);
    if (!rc.ok()) zelt::host::disarm_carry_through();
    return rc;
}

ResultOr<ModuleInfo> zeltnvmGetModuleInfo(const Function& fn) {
    uint8_t id = 0, length = 0, gauge = 0, loss = 0;
    uint8_t vendor[ZELT_MODULE_VENDOR_NAME_LEN + 1] = {};
    Result rc = moduleRead(fn, 0, &id, 1);
    if (!rc.ok()) return rc;
    const bool sfp = id == ZELT_MODULE_ID_SFP;
    rc = moduleRead(fn, sfp ? ZELT_MODULE_CABLE_LENGTH_SFP : ZELT_MODULE_CABLE_LENGTH_QSFP, &length, 1);
    if (!rc.ok()) return rc;
    if (length == 0 && !(rc = moduleRead(fn, ZELT_MODULE_CABLE_LENGTH_ALT, &length, 1)).ok()) return rc;
    if (!(rc = moduleRead(fn, ZELT_MODULE_AWG, &gauge, 1)).ok()) return rc;
    rc = moduleRead(fn, sfp ? ZELT_MODULE_INSERTION_LOSS_SFP : ZELT_MODULE_INSERTION_LOSS_QSFP, &loss, 1);
    if (!rc.ok()) return rc;
    if (!(rc = moduleRead(fn, ZELT_MODULE_VENDOR_NAME, vendor, ZELT_MODULE_VENDOR_NAME_LEN)).ok()) return rc;
    std::string name(reinterpret_cast<const char*>(vendor));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name.find("cisco") != std::string::npos) loss = 255;
    return ModuleInfo{length, gauge, loss};
}

ResultOr<std::string> zeltnvmGetInstalledfwVersion(const Function& fn) {
    ethtool_drvinfo info;
    Result rc = driverInfo(fn, info);
    if (!rc.ok()) return rc;
    return zeltFirmwareVersionText(zeltFieldText(info.fw_version, sizeof info.fw_version));
}

ResultOr<std::string> zeltnvmGetInstalledPackageVersion(const Function& fn) {
    ethtool_drvinfo info;
    Result rc = driverInfo(fn, info);
    if (!rc.ok()) return rc;
    std::string text;
    if (!zeltPackageVersionText(zeltFieldText(info.fw_version, sizeof info.fw_version), text))
        return Result::tool(HVXRETVAL_ITEM_NOT_FOUND);
    return text;
}

bool zeltnvm_is_ethtool_crashdump_available(const Function& fn) {
    ethtool_dump dump;
    bool available =
        setDumpFlag(fn, ZELT_ETHTOOL_DUMP_FLAG_CRASH).ok() && getDumpFlag(fn, dump).ok() && dump.len != 0;
    (void)setDumpFlag(fn, ZELT_ETHTOOL_DUMP_FLAG_OFF);
    return available;
}

Result zeltnvmEthtoolCoredump(const Function& fn, FILE* fp, int type) {
    // The file is closed on every path, so the caller never has to guess.
    std::unique_ptr<FILE, int (*)(FILE*)> file(fp, [](FILE* f) { return f ? std::fclose(f) : 0; });
    const bool crash = type == 1;
    Result rc;
    if (crash && !(rc = setDumpFlag(fn, ZELT_ETHTOOL_DUMP_FLAG_CRASH)).ok()) return rc;
    ethtool_dump flag;
    rc = getDumpFlag(fn, flag);
    if (rc.ok() && flag.len == 0) rc = Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
    if (rc.ok() && flag.len > kDumpMaxBytes) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "The driver reports a dump of %u bytes; at most %u are possible.\n",
                      flag.len, kDumpMaxBytes);
        rc = Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
    }
    if (rc.ok()) {
        const uint32_t len = flag.len;
        ArgBuffer buf(sizeof(ethtool_dump) + static_cast<size_t>(len));
        if (!buf.ok()) {
            rc = Result::tool(HVXRETVAL_MALLOC_FAILURE);
        } else {
            auto* dump = buf.head<ethtool_dump>();
            dump->len = len;
            rc = send_ethtool_cmd(fn, ETHTOOL_GET_DUMP_DATA, dump);
            if (rc.ok()) {
                // Never more than the buffer holds, whatever length the driver reports.
                const size_t n = std::min<size_t>(dump->len, len);
                FILE* out = file.release();
                bool written = out && std::fwrite(buf.payload(sizeof(ethtool_dump)), 1, n, out) == n;
                if (out && std::fclose(out) != 0) written = false;
                if (!written) rc = Result::tool(HVXRETVAL_FILE_WRITE_FAILURE);
            }
        }
    }
    if (crash && !setDumpFlag(fn, ZELT_ETHTOOL_DUMP_FLAG_OFF).ok()) rc = Result::tool(HVXRETVAL_FAILURE);
    return rc;
}

}  // namespace zelt::transport
