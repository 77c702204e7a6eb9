#include "device/nvm/nvm_item_version.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/item_version.h"
#include "log/print.h"
#include "transport/ethtool_channel.h"
#include "transport/function.h"

using namespace zelt;

namespace {

// Room for the longest raw version an image can hold.
constexpr size_t kRawVersionBytes = 128;

}  // namespace

int32_t zeltnvmGetItemVersionString(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, int selector,
                                    char* text, size_t capacity) {
    if (!text || capacity == 0) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    std::memset(text, 0, capacity);
    if (!zeltnvmItemTypeHasVersion(type)) return HVXRETVAL_UNSUPPORTED_DETAIL;

    auto fn = zelt::transport::function_for_name(dev);
    // The directory lookup is what fails first for a name without a function.
    if (!fn.ok()) return HVXRETVAL_FAILURE;
    zelnvm_directory_entry_t entry;
    const auto index = zelt::device::zeltnvmGetDirEntry(*fn, type, ordinal, ext, &entry);
    if (!index.ok()) return index.result().code();

    size_t offset = 0;
    size_t length = 0;
    int rc = zeltnvmItemVersionReadRange(entry.type, entry.attr, entry.data_length, selector, &offset, &length);
    if (rc != 0) return rc;

    std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[length > 0 ? length : 1]);
    if (!image) return HVXRETVAL_MALLOC_FAILURE;
    const uint32_t idx = *index;
    const auto off = static_cast<uint32_t>(offset);
    const auto len = static_cast<uint32_t>(length);
    rc = zelt::device::zeltnvmItemGoesByMessage(*fn) ? zelt::device::zeltnvm_linux_GetItem(*fn, idx, off, image.get(), len).code()
                                                     : zeltnvmGetItem(dev, idx, off, image.get(), len);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: reading item type %u failed with %d\n",
                      "zeltnvmGetItemVersionString", type, rc);
        return rc < 0 ? rc : HVXRETVAL_FAILURE;
    }

    uint8_t raw[kRawVersionBytes] = {};
    size_t raw_length = sizeof raw;
    int format = 0;
    rc = zeltnvmGetItemBufVersion(entry.type, image.get(), length, selector, raw, &raw_length, &format, entry.attr);
    if (rc != 0) return rc;
    zeltnvmVersionString(raw, raw_length, format, text, capacity);
    return 0;
}
