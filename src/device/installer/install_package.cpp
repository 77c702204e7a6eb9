#include <algorithm>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_install.h"
#include "device/nvm/nvm_items.h"
#include "log/print.h"
#include "package/package_reader.h"
#include "transport/ethtool_channel.h"

using namespace zelt;

namespace {

// Makes sure the update staging item can hold the package: an absent or too small
// item is created with the size the package's update record asks for, and at least
// the package length rounded up to whole units.
int32_t prepareStagingItem(const char* dev, const uint8_t* pkg, uint32_t length, uint16_t pci_device_id) {
    zelnvm_directory_entry_t entry{};
    int32_t rc = zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_UPDATE, 0, 0, &entry);
    if (rc == HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE && pci_device_id == ZELT_ACCESS_CHECK_DEVICE_ID) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Access Denied. Please retry later.");
        return rc;
    }
    if (rc < 0 && rc != HVXRETVAL_ITEM_NOT_FOUND) return rc;
    if (rc >= 0 && entry.item_length >= length) return 0;

    zelpkg_manifest_item_t record{};
    rc = zelpkgFindItem(pkg, length, ZEL_DIR_TYPE_UPDATE, 0, 0, &record);
    if (rc != 0) return rc;
    const uint64_t rounded = (uint64_t{length} + ZELTNVM_STAGING_UNIT - 1) / ZELTNVM_STAGING_UNIT * ZELTNVM_STAGING_UNIT;
    const uint64_t size = std::max<uint64_t>(record.direntry.item_length, rounded);
    if (size > UINT32_MAX) return HVXRETVAL_INVALID_LENGTH;
    rc = zeltnvmCreateItem(dev, ZEL_DIR_TYPE_UPDATE, 0, 0, ZELTNVM_STAGING_ATTR, static_cast<uint32_t>(size));
    return rc < 0 ? rc : 0;
}

}  // namespace

int32_t zeltnvmInstallPackage(const char* dev, const uint8_t* pkg, uint32_t length, int* item_index,
                              int* reboot_needed, uint32_t install_type, uint16_t pci_device_id) {
    if (item_index) *item_index = -1;
    if (dev == nullptr || pkg == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    int32_t rc = prepareStagingItem(dev, pkg, length, pci_device_id);
    if (rc != 0) return rc;
    if (zeltnvmItemGoesByMessage(dev))
        return zeltnvm_linux_SecureUpdate(dev, pkg, length, nullptr, reboot_needed, install_type);
    return zeltnvmSecureUpdate(dev, pkg, length, nullptr, reboot_needed, install_type);
}
