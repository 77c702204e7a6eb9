#include "device/nvm/item_bounds.h"

#include <new>
#include <stdexcept>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "log/print.h"

namespace zelt::device {

uint32_t item_size_limit(uint16_t type) {
    return type == ZEL_DIR_TYPE_PKG_LOG ? ZELTNVM_PKG_LOG_ITEM_MAX : ZELTNVM_NVM_SIZE_CEILING;
}

Result check_item_length(uint16_t type, uint64_t length) {
    const uint32_t limit = item_size_limit(type);
    if (length <= limit) return Result();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                  "The adapter reports %llu bytes for an item of type %u; at most %u are possible.\n",
                  static_cast<unsigned long long>(length), static_cast<unsigned>(type), limit);
    return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
}

ResultOr<std::vector<uint8_t>> zeroed_buffer(size_t size) {
    const auto no_memory = [size] {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Out of memory for a buffer of %zu bytes.\n", size);
        return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    };
    try {
        return std::vector<uint8_t>(size, 0);
    } catch (const std::bad_alloc&) {
        return no_memory();
    } catch (const std::length_error&) {  // more than a vector can hold at all
        return no_memory();
    }
}

}  // namespace zelt::device
