#include <cerrno>

#include <algorithm>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "log/print.h"
#include "package/package_reader.h"
#include "transport/fw_queries.h"

namespace zelt::device {
namespace {

// Makes sure the update staging item can hold the package: an absent or too small
// item is created with the size the package's update record asks for, and at least
// the package length rounded up to whole units.
Result prepareStagingItem(const transport::Function& fn, std::span<const uint8_t> pkg, uint16_t pci_device_id) {
    const auto length = static_cast<uint32_t>(pkg.size());
    zelnvm_directory_entry_t entry{};
    const ResultOr<uint32_t> lookup = zeltnvmGetDirEntry(fn, ZEL_DIR_TYPE_UPDATE, 0, 0, &entry);
    const bool absent = lookup.result().is(HVXRETVAL_ITEM_NOT_FOUND);
    if (!lookup.ok() && !absent) {
        // The directory could not be read: this function's driver refuses while another
        // agent holds the staging item.
        if (pci_device_id == ZELT_ACCESS_CHECK_DEVICE_ID) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Staging item lookup refused (%d): access denied.\n",
                          lookup.result().code());
            return access_denied();
        }
        return lookup.result();
    }
    if (lookup.ok() && entry.item_length >= length) return Result();

    const ResultOr<uint32_t> size = zeltnvmStagingItemSize(pkg);
    if (!size.ok()) return size.result();
    return zeltnvmCreateItem(fn, ZEL_DIR_TYPE_UPDATE, 0, 0, ZELTNVM_STAGING_ATTR, *size);
}

}  // namespace

ResultOr<uint32_t> zeltnvmStagingItemSize(std::span<const uint8_t> pkg) {
    const uint64_t length = pkg.size();
    zelpkg_manifest_item_t record{};
    const int32_t found = zelpkgFindItem(pkg.data(), length, ZEL_DIR_TYPE_UPDATE, 0, 0, &record);
    if (found != 0) return Result::tool(found);
    const uint64_t rounded = (length + ZELTNVM_STAGING_UNIT - 1) / ZELTNVM_STAGING_UNIT * ZELTNVM_STAGING_UNIT;
    const uint64_t size = std::max<uint64_t>(record.direntry.item_length, rounded);
    if (size > UINT32_MAX) return Result::tool(HVXRETVAL_INVALID_LENGTH);
    return static_cast<uint32_t>(size);
}

ResultOr<StagingRoom> zeltnvmStagingRoom(const transport::Function& fn, std::span<const uint8_t> pkg) {
    zelnvm_directory_entry_t entry{};
    const ResultOr<uint32_t> lookup = zeltnvmGetDirEntry(fn, ZEL_DIR_TYPE_UPDATE, 0, 0, &entry);
    const bool absent = lookup.result().is(HVXRETVAL_ITEM_NOT_FOUND);
    if (!lookup.ok() && !absent) return lookup.result();
    StagingRoom room;
    if (lookup.ok() && entry.item_length >= pkg.size()) {
        room.needed = static_cast<uint32_t>(pkg.size());
        room.available = entry.item_length;
        room.fits = true;
        room.reuses_item = true;
        return room;
    }
    const ResultOr<uint32_t> size = zeltnvmStagingItemSize(pkg);
    if (!size.ok()) return size.result();
    uint32_t free_bytes = 0;
    if (const Result rc = transport::zeltnvm_get_nvm_space(fn, nullptr, &free_bytes); !rc.ok()) return rc;
    const uint64_t available = uint64_t{free_bytes} + (lookup.ok() ? entry.item_length : 0);
    room.needed = *size;
    room.available = static_cast<uint32_t>(std::min<uint64_t>(available, UINT32_MAX));
    room.fits = room.needed <= available;
    return room;
}

Result access_denied() { return Result::system(EACCES, HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE); }

bool is_access_denied(const Result& result) { return result == access_denied(); }

Result zeltnvmInstallPackage(const transport::Function& fn, std::span<const uint8_t> pkg, uint32_t install_type,
                             uint16_t pci_device_id, const host::FileSnapshot* snapshot) {
    if (pkg.data() == nullptr || !fn.channel) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);
    const Result rc = prepareStagingItem(fn, pkg, pci_device_id);
    if (!rc.ok()) return rc;
    if (snapshot != nullptr && snapshot->holds() && snapshot->bytes().data() == pkg.data() &&
        snapshot->bytes().size() == pkg.size())
        return fn.channel->install_snapshot(fn, *snapshot, install_type);
    return fn.channel->install_package(fn, pkg, install_type);
}

}  // namespace zelt::device
