// Bounds on the lengths the adapter reports for its items, checked before a buffer is
// sized from them, and buffers whose allocation failure is a result, not an abort.
//
// A directory entry, a driver record or a firmware answer comes from outside the tool:
// a damaged NVM or a misbehaving firmware can claim an item of nearly 4 GiB. Every
// length that sizes a buffer passes through here first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/result.h"

namespace zelt::device {

// No supported adapter carries a larger NVM: no item can hold more.
inline constexpr uint32_t ZELTNVM_NVM_SIZE_CEILING = 64u << 20;
// The install log is a short text (the firmware and this tool keep a few KiB of it);
// an entry claiming more than this is damaged.
inline constexpr uint32_t ZELTNVM_PKG_LOG_ITEM_MAX = 1u << 20;

// The most bytes an item of directory type `type` can hold.
uint32_t item_size_limit(uint16_t type);

// Success when `length` bytes fit an item of `type`; INVALID_DATA_LENGTH (-28), with a
// log line, when the adapter claims more.
Result check_item_length(uint16_t type, uint64_t length);

// A zero-filled buffer of `size` bytes, or MALLOC_FAILURE (-3) when memory runs out.
ResultOr<std::vector<uint8_t>> zeroed_buffer(size_t size);

}  // namespace zelt::device
