#include "package/anti_rollback.h"

#include <cstring>

#include "common/directory_types.h"
#include "formats/image/image_records.h"
#include "package/package_reader.h"

namespace zelt {

namespace {

// The secure-boot header at `offset` of the item, when it lies inside the package.
bool header_at(const uint8_t* pkg, size_t length, const zelnvm_directory_entry_t& entry, size_t offset,
               AuthenticatedBootImageHeader_t& header) {
    const uint64_t start = uint64_t{entry.item_location} + offset;
    if (start + sizeof header > length || offset + sizeof header > entry.data_length) return false;
    std::memcpy(&header, pkg + start, sizeof header);
    return true;
}

}  // namespace

int32_t zelpkgSecureRevisions(const void* pkg, size_t length, SecureRevisions* out) {
    *out = SecureRevisions{};
    if (zelpkgGetHeader(pkg, length, nullptr) != 0) return ZELPKG_ANTI_ROLLBACK_BAD_HEADER;
    uint32_t count = 0;
    if (zelpkgGetManifestHeader(pkg, length, nullptr) != 0 || zelpkgGetItemCount(pkg, length, &count) != 0)
        return ZELPKG_ANTI_ROLLBACK_BAD_MANIFEST;
    const auto* bytes = static_cast<const uint8_t*>(pkg);
    for (uint32_t i = 0; i < count; ++i) {
        zelpkg_manifest_item_t item{};
        if (zelpkgGetItem(pkg, length, i, &item) != 1) return ZELPKG_ANTI_ROLLBACK_BAD_MANIFEST;
        AuthenticatedBootImageHeader_t h{};
        switch (item.direntry.type) {
            case ZEL_DIR_TYPE_SBI:
                if (header_at(bytes, length, item.direntry, SBI_HEADER_OFFSET_IN_SBI, h)) {
                    out->crid = h.sbi.CustomerRevisionID;
                    out->sbi = h.sbi.SBIRevisionID;
                }
                break;
            case ZEL_DIR_TYPE_SRT:
                if (header_at(bytes, length, item.direntry, 0, h)) out->srt = h.sbi.CustomerRevisionID;
                break;
            case ZEL_DIR_TYPE_CRT:
                if (header_at(bytes, length, item.direntry, 0, h)) out->crt = h.sbi.CustomerRevisionID;
                break;
            default: break;
        }
    }
    return 0;
}

int32_t zelpkgAntiRollbackStatus(const SecureRevisions& package, const SecureRevisions& device) {
    if (package.crid != device.crid || package.sbi < device.sbi || package.srt < device.srt ||
        package.crt < device.crt)
        return ZELPKG_ANTI_ROLLBACK_REFUSED;
    return 0;
}

}  // namespace zelt
