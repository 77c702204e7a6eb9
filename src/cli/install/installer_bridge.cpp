#include "cli/install/installer_bridge.h"

#include <algorithm>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_install.h"
#include "device/nvm/nvm_items.h"
#include "package/package_reader.h"
#include "transport/ethtool_channel.h"
#include "transport/hwrm_channel.h"

namespace {

constexpr uint32_t kStagingUnit = 4096;
constexpr uint16_t kStagingAttr = 0x0001;

}  // namespace

int32_t zelt_install_stage_and_install(const char* dev, const uint8_t* pkg, uint32_t length, int32_t install_type,
                                       uint16_t) {
    zelnvm_directory_entry_t entry{};
    int32_t rc = zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_UPDATE, 0, 0, &entry);
    if (rc < 0 && rc != HVXRETVAL_ITEM_NOT_FOUND) return rc;
    if (rc == HVXRETVAL_ITEM_NOT_FOUND || entry.item_length < length) {
        zelpkg_manifest_item_t record{};
        rc = zelpkgFindItem(pkg, length, ZEL_DIR_TYPE_UPDATE, 0, 0, &record);
        if (rc != 0) return rc;
        const uint32_t rounded = (length + kStagingUnit - 1) / kStagingUnit * kStagingUnit;
        rc = zeltnvmCreateItem(dev, ZEL_DIR_TYPE_UPDATE, 0, 0, kStagingAttr,
                               std::max(record.direntry.item_length, rounded));
        if (rc < 0) return rc;
    }
    int reboot = 0;
    if (zeltIsPciWindowName(dev))
        return zeltnvm_linux_SecureUpdate(dev, pkg, length, nullptr, &reboot, static_cast<uint32_t>(install_type));
    return zeltnvmSecureUpdate(dev, pkg, length, nullptr, &reboot, static_cast<uint32_t>(install_type));
}

int32_t zelt_install_report_log(const char*, const uint8_t*, uint32_t) { return 0; }
