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

using namespace zelt;

namespace {

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

int32_t eepromRequest(const char* devname, uint32_t cmd, uint32_t magic, uint32_t offset, uint32_t len,
                      ArgBuffer& buf) {
    auto* ee = buf.head<ethtool_eeprom>();
    ee->magic = magic;
    ee->offset = offset;
    ee->len = len;
    return send_ethtool_cmd(devname, cmd, ee);
}

// One module EEPROM read of `len` bytes at `offset`.
int32_t moduleRead(const char* devname, uint32_t offset, uint8_t* out, uint32_t len) {
    ArgBuffer buf(sizeof(ethtool_eeprom) + ZELT_MODULE_VENDOR_NAME_LEN);
    if (!buf.ok()) return HVXRETVAL_MALLOC_FAILURE;
    int32_t rc = eepromRequest(devname, ETHTOOL_GMODULEEEPROM, 0, offset, len, buf);
    if (rc == 0) std::memcpy(out, buf.payload(sizeof(ethtool_eeprom)), len);
    return rc;
}

int32_t setDumpFlag(const char* devname, uint32_t flag) {
    ethtool_dump dump{};
    dump.flag = flag;
    return send_ethtool_cmd(devname, ETHTOOL_SET_DUMP, &dump);
}

int32_t getDumpFlag(const char* devname, ethtool_dump& dump) {
    std::memset(&dump, 0, sizeof dump);
    return send_ethtool_cmd(devname, ETHTOOL_GET_DUMP_FLAG, &dump);
}

int32_t driverInfo(const char* devname, ethtool_drvinfo& info) {
    std::memset(&info, 0, sizeof info);
    return send_ethtool_cmd(devname, ETHTOOL_GDRVINFO, &info);
}

}  // namespace

int32_t zeltnvmGetItem(const char* devname, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length) {
    if (length == 0) return 0;
    if (index > ZELT_ETHTOOL_MAX_ERASE_INDEX) return HVXRETVAL_INVALID_INDEX_PARAMETER;
    // The byte offset shares its word with the index: a range past 24 bits would read
    // another item.
    if (static_cast<uint64_t>(offset) + length - 1 > ZELT_ETHTOOL_MAX_ITEM_OFFSET)
        return HVXRETVAL_INVALID_OFFSET_PARAMETER;
    uint32_t done = 0;
    while (done < length) {
        const uint32_t piece = std::min(length - done, ZELT_ETHTOOL_NVM_PIECE);
        ArgBuffer buf(ZELT_ETHTOOL_EEPROM_BUFFER);
        if (!buf.ok()) return HVXRETVAL_MALLOC_FAILURE;
        int32_t rc =
            eepromRequest(devname, ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(index, offset + done), piece, buf);
        if (rc != 0) return rc;
        std::memcpy(data + done, buf.payload(sizeof(ethtool_eeprom)), piece);
        done += piece;
    }
    return 0;
}

int32_t zeltnvmWriteItem(const char* devname, uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                         const uint8_t* data, uint32_t length) {
    if (length == 0) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    ArgBuffer buf(sizeof(ethtool_eeprom) + static_cast<size_t>(length));
    if (!buf.ok()) return HVXRETVAL_MALLOC_FAILURE;
    std::memcpy(buf.payload(sizeof(ethtool_eeprom)), data, length);
    return eepromRequest(devname, ETHTOOL_SEEPROM, ethtoolNvmWriteMagic(type, ext), ethtoolNvmWriteOffset(ordinal, attr),
                         length, buf);
}

int32_t zeltnvmEraseItem(const char* devname, uint32_t index) {
    if (index > ZELT_ETHTOOL_MAX_ERASE_INDEX) return HVXRETVAL_INVALID_INDEX_PARAMETER;
    ArgBuffer buf(sizeof(ethtool_eeprom) + sizeof(uint32_t));
    if (!buf.ok()) return HVXRETVAL_MALLOC_FAILURE;
    return eepromRequest(devname, ETHTOOL_SEEPROM, ethtoolNvmEraseMagic(index), ethtoolNvmEraseOffset(index), 1, buf);
}

int32_t zeltnvmEthtoolFlashItem(const char* devname, const char* fname, uint32_t region) {
    ethtool_flash flash{};
    if (!fname || std::strlen(fname) >= sizeof flash.data) return HVXRETVAL_INVALID_FILENAME_PARAMETER;
    flash.region = region;
    std::memcpy(flash.data, fname, std::strlen(fname) + 1);
    return send_ethtool_cmd(devname, ETHTOOL_FLASHDEV, &flash);
}

int32_t zeltnvmSecureUpdate(const char* devname, const uint8_t* data, uint32_t length, void*, int* reboot_needed,
                            uint32_t install_type) {
    auto& host = zelt::host::current();
    // Every installation on the host stages through the one file the driver reads: it is
    // held for this run from its writing until the flash has returned and it is gone.
    zelt::host::LockAttempt staging =
        zelt::host::take_run_lock(host, zelt::host::run_lock_name("staging"), host.lock_wait_ms());
    if (staging.outcome == zelt::host::LockOutcome::kBusy) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "The firmware staging file is in use by %s.\n",
                      zelt::host::lock_holder_text(staging.holder).c_str());
        return -ZELT_RC_BUSY;
    }
    if (staging.outcome != zelt::host::LockOutcome::kHeld) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to lock the firmware staging file: %s\n",
                      std::strerror(staging.error));
        return HVXRETVAL_FILE_OPEN_FAILURE;
    }
    if (!host.is_directory(ZELT_FIRMWARE_DIR)) host.make_directories("/lib/firmware");
    // What a run killed outright left behind is nobody's now.
    zelt::host::remove_leftover_temporaries(host, ZELT_FLASH_PACKAGE_PATH);
    // Renamed into place whole, so the driver never reads a torn package.
    zelt::host::OutputFile file;
    if (!file.open(host, ZELT_FLASH_PACKAGE_PATH)) return HVXRETVAL_FILE_OPEN_FAILURE;
    if (!file.write(std::span<const uint8_t>(data, length)) || !file.commit()) return HVXRETVAL_FILE_WRITE_FAILURE;
    zelt::host::RemoveOnInterrupt remove_staged(file.final_path());
    int32_t rc = zeltnvmEthtoolFlashItem(devname, ZELT_FLASH_PACKAGE_NAME, ethtoolFlashPackageRegion(install_type));
    host.remove_file(ZELT_FLASH_PACKAGE_PATH);
    if (rc == 0 && reboot_needed) *reboot_needed = 1;
    return rc;
}

int32_t zeltnvmGetModuleInfo(const char* devname, int* cable_length, int* awg, int* insertion_loss) {
    uint8_t id = 0, length = 0, gauge = 0, loss = 0;
    uint8_t vendor[ZELT_MODULE_VENDOR_NAME_LEN + 1] = {};
    int32_t rc = moduleRead(devname, 0, &id, 1);
    if (rc != 0) return rc;
    const bool sfp = id == ZELT_MODULE_ID_SFP;
    rc = moduleRead(devname, sfp ? ZELT_MODULE_CABLE_LENGTH_SFP : ZELT_MODULE_CABLE_LENGTH_QSFP, &length, 1);
    if (rc != 0) return rc;
    if (length == 0 && (rc = moduleRead(devname, ZELT_MODULE_CABLE_LENGTH_ALT, &length, 1)) != 0) return rc;
    if ((rc = moduleRead(devname, ZELT_MODULE_AWG, &gauge, 1)) != 0) return rc;
    rc = moduleRead(devname, sfp ? ZELT_MODULE_INSERTION_LOSS_SFP : ZELT_MODULE_INSERTION_LOSS_QSFP, &loss, 1);
    if (rc != 0) return rc;
    if ((rc = moduleRead(devname, ZELT_MODULE_VENDOR_NAME, vendor, ZELT_MODULE_VENDOR_NAME_LEN)) != 0) return rc;
    std::string name(reinterpret_cast<const char*>(vendor));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name.find("cisco") != std::string::npos) loss = 255;
    if (cable_length) *cable_length = length;
    if (awg) *awg = gauge;
    if (insertion_loss) *insertion_loss = loss;
    return 0;
}

int32_t zeltnvmGetInstalledfwVersion(const char* devname, char* ver) {
    ethtool_drvinfo info;
    int32_t rc = driverInfo(devname, info);
    if (rc != 0) return rc;
    std::string text = zeltFirmwareVersionText(zeltFieldText(info.fw_version, sizeof info.fw_version));
    std::memcpy(ver, text.c_str(), text.size() + 1);
    return 0;
}

int32_t zeltnvmGetInstalledPackageVersion(const char* devname, char* ver, uint32_t maxlen) {
    if (maxlen == 0) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    ethtool_drvinfo info;
    int32_t rc = driverInfo(devname, info);
    if (rc != 0) return rc;
    std::string text;
    if (!zeltPackageVersionText(zeltFieldText(info.fw_version, sizeof info.fw_version), text))
        return HVXRETVAL_ITEM_NOT_FOUND;
    size_t n = std::min<size_t>(text.size(), maxlen - 1);
    std::memcpy(ver, text.data(), n);
    ver[n] = '\0';
    return 0;
}

int zeltnvm_is_ethtool_crashdump_available(const char* devname) {
    ethtool_dump dump;
    bool available = setDumpFlag(devname, ZELT_ETHTOOL_DUMP_FLAG_CRASH) == 0 && getDumpFlag(devname, dump) == 0 &&
                     dump.len != 0;
    setDumpFlag(devname, ZELT_ETHTOOL_DUMP_FLAG_OFF);
    return available ? 1 : 0;
}

int32_t zeltnvmEthtoolCoredump(const char* devname, FILE* fp, int type) {
    // The file is closed on every path, so the caller never has to guess.
    std::unique_ptr<FILE, int (*)(FILE*)> file(fp, [](FILE* f) { return f ? std::fclose(f) : 0; });
    const bool crash = type == 1;
    int32_t rc = 0;
    if (crash && (rc = setDumpFlag(devname, ZELT_ETHTOOL_DUMP_FLAG_CRASH)) != 0) return rc;
    ethtool_dump flag;
    rc = getDumpFlag(devname, flag);
    if (rc == 0 && flag.len == 0) rc = HVXRETVAL_INVALID_DATA_LENGTH;
    if (rc == 0) {
        const uint32_t len = flag.len;
        ArgBuffer buf(sizeof(ethtool_dump) + static_cast<size_t>(len));
        if (!buf.ok()) {
            rc = HVXRETVAL_MALLOC_FAILURE;
        } else {
            auto* dump = buf.head<ethtool_dump>();
            dump->len = len;
            rc = send_ethtool_cmd(devname, ETHTOOL_GET_DUMP_DATA, dump);
            if (rc == 0) {
                // Never more than the buffer holds, whatever length the driver reports.
                const size_t n = std::min<size_t>(dump->len, len);
                FILE* out = file.release();
                bool written = out && std::fwrite(buf.payload(sizeof(ethtool_dump)), 1, n, out) == n;
                if (out && std::fclose(out) != 0) written = false;
                if (!written) rc = HVXRETVAL_FILE_WRITE_FAILURE;
            }
        }
    }
    if (crash && setDumpFlag(devname, ZELT_ETHTOOL_DUMP_FLAG_OFF) != 0) rc = HVXRETVAL_FAILURE;
    return rc;
}
