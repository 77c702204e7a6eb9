#include "device/health_check.h"

#include <memory>
#include <new>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "log/print.h"
#include "transport/fw_health.h"
#include "transport/fw_queries.h"

namespace zelt::device {

namespace {

constexpr const char* kFn = "zeltnvm_invoke_device_health_check";

constexpr const char* kSbiBooted[] = {
    "Secondary SBI was used to boot. As long as SBI Mismatch field is \"0K\", the system can run as is with",
    "full SBI redundancy. Please reset the system to clear this parameter."};
constexpr const char* kSbiMismatch[] = {
    "The primary and secondary SBI images differ. If the firmware was just upgraded, a mismatch is expected.",
    "Executing fw_sync command will synchronize the two SBI partitions. If there was no firmware upgrade done",
    "this means one of the partition is corrupted. Reinstalling the firmware package is recommended."};
constexpr const char* kSrtBooted[] = {
    "Secondary SRT was used to boot. As long as SRT Mismatch is \"OK\", the system can run as is with full",
    "SRT redundancy. Please reset the system to clear this parameter."};
constexpr const char* kSrtMismatch[] = {
    "The primary and secondary SRT images differ. If the firmware was just upgraded, a mismatch is expected.",
    "Executing fw_sync command will synchronize the two SRT partitions. If there was no firmware upgrade done",
    "this means one of the partition is corrupted. Reinstalling the firmware package is recommended."};
constexpr const char* kCrtBooted[] = {
    "Secondary CRT was used to boot. As long as CRT Mismatch is \"OK\", the system can run as is with full",
    "CRT redundancy. Please reset the system to clear this parameter."};
constexpr const char* kCrtMismatch[] = {
    "Primary and secondary CRT images differ. If the firmware was just upgraded, a mismatch is expected.",
    "Executing fw_sync command will synchronize the two CRT partitions.",
    "If there was no firmware upgrade done, this means one of the partition is corrupted.",
    "Reinstalling the firmware package is recommended."};
constexpr const char* kSecondRtSrt[] = {"Second stage RT image is an SRT.", "No impact to image redundancy."};
constexpr const char* kSecondRtCrt[] = {"Second stage RT image is an CRT.", "No impact to image redundancy."};
constexpr const char* kFastbooted[] = {
    "This device has not booted from flash. Make sure a valid firmware package is installed in the flash and",
    "reboot to system."};
constexpr const char* kDirHeaderBooted[] = {
    "Secondary directory header is currently used. Use the \"zeltnvm -dev=<interface name> fw_sync\" command to "
    "synchronize",
    "the two directory header partitions, and revert back to using the primary directory header."};
constexpr const char* kDirHeaderMismatch[] = {
    "NVRAM directory structure redundancy is compromised. Use the \"zeltnvm -dev=<interface name> fw_sync\" command "
    "to",
    "regain redundancy is recommended."};
constexpr const char* kMbrCorrupt[] = {"Master Boot Record is corrupted. Master boot record is compromised."};
constexpr const char* kNvmConfig[] = {"NVM configuration mismatched."};
constexpr const char* kFruConfig[] = {"FRU configuration mismatched."};

constexpr uint32_t kSecondRtBit = 0x0040;

const RedundancyCheck kChecks[] = {
    {0x0001, "SBI Booted Check", kSbiBooted, {}},
    {0x0002, "SBI Mismatch Check", kSbiMismatch, {}},
    {0x0004, "SRT Booted Check", kSrtBooted, {}},
    {0x0008, "SRT Mismatch Check", kSrtMismatch, {}},
    {0x0010, "CRT Booted Check", kCrtBooted, {}},
    {0x0020, "CRT Mismatch Check", kCrtMismatch, {}},
    {kSecondRtBit, "Second RT Check", kSecondRtSrt, kSecondRtCrt, true},
    {0x0080, "Image Fastbooted Check", kFastbooted, {}},
    {0x0100, "Directory Header Booted Check", kDirHeaderBooted, {}},
    {0x0200, "Directory Header Mismatch Check", kDirHeaderMismatch, {}},
    {0x0400, "MBR Corrupt Check", kMbrCorrupt, {}},
    {0x0800, "NVM Configuration", kNvmConfig, {}},
    {0x1000, "FRU Configuration", kFruConfig, {}},
};

bool window_access_failure(const Result& rc) {
    return rc.is(HVXRETVAL_PCI_IOCTL_MMAP_PERMISSION_DENIED) || rc.is(HVXRETVAL_PCI_IOCTL_BAR0_MMAP_FAILED) ||
           rc.is(HVXRETVAL_PCI_IOCTL_HOST_TIMEOUT);
}

// Reads the VPD item whole and writes it back unchanged.
Result rewrite_vpd(const transport::Function& fn) {
    constexpr uint16_t kOrdinal = 0;
    zelnvm_directory_entry_t entry{};
    const auto index = zeltnvmGetDirEntry(fn, ZEL_DIR_TYPE_VPD, kOrdinal, 0, &entry);
    if (index.result().is(HVXRETVAL_ITEM_NOT_FOUND) || (index.ok() && entry.data_length == 0)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Invalid VPD data\n", kFn);
        return Result::tool(kHealthNvmReadFailed);
    }
    if (!index.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to get VPD data at index %d and rc = %d\n", kFn,
                      kOrdinal, index.result().code());
        return Result::tool(kHealthNvmReadFailed);
    }
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[entry.data_length]);
    if (!data) return Result::tool(kHealthNoMemory);
    const auto read = zeltnvmReadItem(fn, ZEL_DIR_TYPE_VPD, kOrdinal, 0, data.get(), entry.data_length, 0, nullptr);
    if (!read.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to get VPD data at index %d and rc = %d\n", kFn,
                      kOrdinal, read.result().code());
        return Result::tool(kHealthNvmReadFailed);
    }
    if (*read == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Invalid VPD data\n", kFn);
        return Result::tool(kHealthNvmReadFailed);
    }
    const auto length = static_cast<uint32_t>(*read);
    // Written back in place: the item keeps its allocation and its directory entry.
    const Result written = zeltnvm_modify_nvm(fn, *index, 0, data.get(), length);
    if (!written.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Failed to write VPD data and rc = %d\n", kFn,
                      written.code());
        return Result::tool(kHealthNvmWriteFailed);
    }
    return Result();
}

}  // namespace

std::span<const RedundancyCheck> redundancy_checks() { return kChecks; }

bool redundancy_status_healthy(uint32_t word) { return (word & ~kSecondRtBit) == 0; }

ResultOr<HealthFindings> zeltnvm_invoke_device_health_check(host::Host& host, const InventoryFunction& function,
                                                            HealthCheckObserver& observer) {
    const transport::Function& fn = function.function;
    const int device_type = zeltnvm_table_device_type(function.facts.pci_info.device_id);
    HealthFindings findings;

    const auto health = transport::zeltnvm_get_fw_health_status(host, fn.address, device_type);
    if (health.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: fw health status word = 0x%x\n", kFn,
                      health->status_word);
        if (!health->operational) {
            findings.firmware_operational = false;
            return findings;
        }
    } else if (window_access_failure(health.result())) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "Permission denied or failed to access the device resources because of kernel security. So "
                      "checking the device nvm redundancy.\n");
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: fw health register not read and rc = %d\n", kFn,
                      health.result().code());
    }

    if (!is_kestra_device(device_type)) {
        if (Result rc = rewrite_vpd(fn); !rc.ok()) return rc;
        findings.vpd_rewritten = true;
        findings.healthy = true;
        return findings;
    }

    observer.firmware_running();
    uint32_t word = 0;
    if (const Result rc = transport::zeltnvm_nvm_redundancy_health_check(fn, &word); !rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: Fw health check failed with status = %d\n", kFn, rc.code());
        // A mailbox that timed out says the NVM could not be read.
        if (rc.code() == 3 && !function.has_interface()) return Result::tool(kHealthNvmReadFailed);
        return rc;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: fw_status = 0x%x\n", kFn, word);
    findings.redundancy_status = word;
    findings.healthy = redundancy_status_healthy(word);
    return findings;
}

}  // namespace zelt::device
