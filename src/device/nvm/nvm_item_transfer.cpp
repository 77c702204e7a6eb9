// Item reads and modifies by firmware message, in pieces, and the item read through
// the function's channel.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/verify_item.h"
#include "log/monitor.h"
#include "log/print.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

using namespace zelt;

using zelt::Result;
using zelt::ResultOr;
using zelt::transport::exchange;
using zelt::transport::Function;
using zelt::transport::HwrmData;

namespace {

enum class Direction { read, modify };

// Moves `length` bytes between `data` and the item at `index`, one message per piece,
// through a bounce buffer of one piece so that a failed piece never leaves partial
// data in the caller's buffer.
Result transferPieces(const char* step, Direction dir, const Function& fn, uint32_t index, uint32_t offset,
                      uint8_t* data, uint32_t length) {
    if (length == 0) return Result();
    if (!data) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);
    if (static_cast<uint64_t>(offset) + length > UINT32_MAX + uint64_t{1})
        return Result::tool(HVXRETVAL_INVALID_OFFSET_PARAMETER);

    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    const uint32_t piece = fn.channel->message_piece_size();
    std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[piece]);
    if (!buf) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s:Malloc Failure\n", step);
        return Result::tool(dir == Direction::read ? HVXRETVAL_MALLOC_FAILURE : HVXRETVAL_FAILURE);
    }
    Result rc;

    for (uint32_t done = 0; done < length;) {
        const uint32_t n = std::min(piece, length - done);
        const uint32_t at = offset + done;
        if (dir == Direction::read) {
            hwrm_nvm_read_input req{};
            req.dir_idx = cpu_to_le16(static_cast<uint16_t>(index));
            req.offset = cpu_to_le32(at);
            req.len = cpu_to_le32(n);
            hwrm_nvm_read_output resp{};
            HwrmData dma{buf.get(), n, HWRM_DMA_ADDR_OFFSET, 1};
            rc = exchange(fn, HWRM_NVM_READ, req, resp, &dma);
            if (!rc.ok()) return rc;
            std::memcpy(data + done, buf.get(), n);
        } else {
            std::memcpy(buf.get(), data + done, n);
            hwrm_nvm_modify_input req{};
            req.dir_idx = cpu_to_le16(static_cast<uint16_t>(index));
            req.flags = 0;
            req.offset = cpu_to_le32(at);
            req.len = cpu_to_le32(n);
            hwrm_nvm_modify_output resp{};
            HwrmData dma{buf.get(), n, HWRM_DMA_ADDR_OFFSET, 0};
            rc = exchange(fn, HWRM_NVM_MODIFY, req, resp, &dma);
            if (!rc.ok()) {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s:length = %d offset = %d\n", step,
                              static_cast<int>(length), static_cast<int>(at));
                return rc;
            }
        }
        done += n;
        // A long transfer (a package staged piece by piece) shows how far it is.
        log::report_progress(done, length);
    }
    return Result();
}

}  // namespace

namespace zelt::device {

Result zeltnvm_linux_GetItem(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length) {
    return transferPieces("zeltnvm_linux_GetItem", Direction::read, fn, index, offset, data, length);
}

Result zeltnvm_modify_nvm(const Function& fn, uint32_t index, uint32_t offset, const uint8_t* data, uint32_t length) {
    // The modify path only reads from `data`.
    return transferPieces("zeltnvm_modify_nvm", Direction::modify, fn, index, offset, const_cast<uint8_t*>(data),
                          length);
}

ResultOr<size_t> zeltnvmReadItem(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext, uint8_t* data,
                                 uint32_t length, int verify, zelnvm_directory_entry_t* entry) {
    zelnvm_directory_entry_t e;
    const auto index = zeltnvmGetDirEntry(fn, type, ordinal, ext, &e);
    if (entry) *entry = e;
    if (!index.ok()) return index.result();
    if (length < e.data_length) return Result::tool(HVXRETVAL_INSUFFICIENT_SPACE);
    if (e.data_length > static_cast<uint32_t>(INT32_MAX)) return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);

    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    Result rc = fn.channel->read_item(fn, *index, 0, data, e.data_length);
    // A refusal by the firmware, the driver or the system reads as a plain failure, so
    // that no failure is mistaken for a length by callers that still hold integers.
    if (!rc.ok() && rc.code() > 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: reading item type %u failed with %d\n", "zeltnvmReadItem",
                      type, rc.code());
        rc = Result::tool(HVXRETVAL_FAILURE);
    }
    if (!rc.ok()) return rc;
    if (verify) {
        const int32_t verified = zeltnvmVerifyItem(data, e.data_length, e);
        if (verified != 0) return Result::tool(verified);
    }
    return static_cast<size_t>(e.data_length);
}

}  // namespace zelt::device

