// Item reads and modifies by firmware message, in pieces, and the item read that picks
// the driver or the message path by device name.
#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/verify_item.h"
#include "host/host.h"
#include "log/print.h"
#include "log/run_flags.h"
#include "transport/ethtool_channel.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/lfc.h"

using zelt::transport::exchange;
using zelt::transport::HwrmData;
using zelt::transport::PciFunctionAddress;
using zelt::transport::resolveAddress;

namespace {

enum class Direction { read, modify };

// Moves `length` bytes between `data` and the item at `index`, one message per piece,
// through a bounce buffer of one piece so that a failed piece never leaves partial
// data in the caller's buffer.
int32_t transferPieces(const char* fn, Direction dir, const char* dev, uint32_t index, uint32_t offset, uint8_t* data,
                       uint32_t length) {
    if (length == 0) return 0;
    if (!data) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (static_cast<uint64_t>(offset) + length > UINT32_MAX + uint64_t{1}) return HVXRETVAL_INVALID_OFFSET_PARAMETER;
    PciFunctionAddress addr;
    int32_t rc = resolveAddress(dev, addr);
    if (rc != 0) return rc;

    const uint32_t piece = zeltnvmMessagePieceSize();
    std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[piece]);
    if (!buf) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s:Malloc Failure\n", fn);
        return dir == Direction::read ? HVXRETVAL_MALLOC_FAILURE : HVXRETVAL_FAILURE;
    }

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
            rc = exchange(dev, addr, HWRM_NVM_READ, req, resp, &dma);
            if (rc != 0) return rc;
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
            rc = exchange(dev, addr, HWRM_NVM_MODIFY, req, resp, &dma);
            if (rc != 0) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s:length = %d offset = %d\n", fn,
                              static_cast<int>(length), static_cast<int>(at));
                return rc;
            }
        }
        done += n;
    }
    return 0;
}

}  // namespace

bool zeltnvmItemGoesByMessage(const char* dev) { return zeltIsPciWindowName(dev); }

uint32_t zeltnvmMessagePieceSize() {
    auto& host = zelt::host::current();
    // The device is opened only to learn whether the channel is there.
    const int fd = host.device_open(ZELT_LFC_DEVICE_PATH, O_RDWR);
    const bool channel = fd >= 0;
    if (channel) host.device_close(fd);
    return channel && !recovery_mode_enabled ? ZELTNVM_MSG_PIECE_CHANNEL : ZELTNVM_MSG_PIECE_SMALL;
}

int32_t zeltnvm_linux_GetItem(const char* dev, uint32_t index, uint32_t offset, uint8_t* data, uint32_t length) {
    return transferPieces("zeltnvm_linux_GetItem", Direction::read, dev, index, offset, data, length);
}

int32_t zeltnvm_modify_nvm(const char* dev, uint32_t index, uint32_t offset, const uint8_t* data, uint32_t length) {
    // The modify path only reads from `data`.
    return transferPieces("zeltnvm_modify_nvm", Direction::modify, dev, index, offset, const_cast<uint8_t*>(data),
                          length);
}

int32_t zeltnvmReadItem(const char* dev, uint16_t type, uint16_t ordinal, uint16_t ext, uint8_t* data,
                        uint32_t length, int verify, zelnvm_directory_entry_t* entry) {
    zelnvm_directory_entry_t e;
    const int32_t index = zeltnvmGetDirEntry(dev, type, ordinal, ext, &e);
    if (entry) *entry = e;
    if (index < 0) return index;
    if (length < e.data_length) return HVXRETVAL_INSUFFICIENT_SPACE;
    if (e.data_length > static_cast<uint32_t>(INT32_MAX)) return HVXRETVAL_INVALID_DATA_LENGTH;

    int32_t rc = zeltnvmItemGoesByMessage(dev)
                     ? zeltnvm_linux_GetItem(dev, static_cast<uint32_t>(index), 0, data, e.data_length)
                     : zeltnvmGetItem(dev, static_cast<uint32_t>(index), 0, data, e.data_length);
    if (rc > 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: reading item type %u failed with %d\n", "zeltnvmReadItem",
                      type, rc);
        rc = HVXRETVAL_FAILURE;
    }
    if (rc != 0) return rc;
    if (verify) {
        rc = zeltnvmVerifyItem(data, e.data_length, e);
        if (rc != 0) return rc;
    }
    return static_cast<int32_t>(e.data_length);
}
