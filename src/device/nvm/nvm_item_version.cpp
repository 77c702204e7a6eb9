#include "device/nvm/nvm_item_version.h"

#include <cstring>
#include <vector>

#include "common/hvxretval.h"
#include "device/nvm/item_bounds.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/item_version.h"
#include "log/print.h"
#include "transport/function.h"

using namespace zelt;

namespace {

// Room for the longest raw version an image can hold.
constexpr size_t kRawVersionBytes = 128;

}  // namespace

namespace zelt::device {

Result zeltnvmGetItemVersionString(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                   int selector, char* text, size_t capacity) {
    if (!text || capacity == 0) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);
    std::memset(text, 0, capacity);
    if (!zeltnvmItemTypeHasVersion(type)) return Result::tool(HVXRETVAL_UNSUPPORTED_DETAIL);
    if (!fn.channel) return Result::tool(HVXRETVAL_FAILURE);

    zelnvm_directory_entry_t entry;
    const auto index = zeltnvmGetDirEntry(fn, type, ordinal, ext, &entry);
    if (!index.ok()) return index.result();

    if (const Result bounded = check_item_length(entry.type, entry.data_length); !bounded.ok()) return bounded;
    size_t offset = 0;
    size_t length = 0;
    int rc = zeltnvmItemVersionReadRange(entry.type, entry.attr, entry.data_length, selector, &offset, &length);
    if (rc != 0) return Result::tool(rc);

    auto made = zeroed_buffer(length > 0 ? length : 1);
    if (!made.ok()) return made.result();
    std::vector<uint8_t>& image = *made;
    const Result read = fn.channel->read_item(fn, *index, static_cast<uint32_t>(offset), image.data(),
                                              static_cast<uint32_t>(length));
    if (!read.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: reading item type %u failed with %d\n",
                      "zeltnvmGetItemVersionString", type, read.code());
        // A refusal by the firmware, the driver or the system reads as a plain failure.
        return read.code() < 0 ? read : Result::tool(HVXRETVAL_FAILURE);
    }

    uint8_t raw[kRawVersionBytes] = {};
    size_t raw_length = sizeof raw;
    int format = 0;
    rc = zeltnvmGetItemBufVersion(entry.type, image.data(), length, selector, raw, &raw_length, &format, entry.attr);
    if (rc != 0) return Result::tool(rc);
    zeltnvmVersionString(raw, raw_length, format, text, capacity);
    return Result();
}

}  // namespace zelt::device
